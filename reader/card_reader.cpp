#include <algorithm>
#include <span>

#include "cards/decoders.h"
#include "reader/reader.h"

namespace tovani {

namespace {

using namespace felica;

// How one family is recognised and read.
struct Family {
    int32_t kind;
    std::array<uint8_t, 2> historyService;  // low byte first, as the card lists it
    uint8_t historyBlocks;
    std::array<uint8_t, 2> infoService;
    uint8_t infoBlocks;
};

constexpr std::array<uint8_t, 2> kSystemCommon{0xFE, 0x00};
constexpr std::array<uint8_t, 2> kSystemTransit{0x00, 0x03};

// In the order an FE 00 service entry is tested against them.
constexpr Family kCommonFamilies[] = {
    {CardKindEdy, {0x0F, 0x17}, 6, {0x0B, 0x11}, 2},
    {CardKindNanaco, {0x4F, 0x56}, 5, {0x8B, 0x55}, 2},
    {CardKindWaon, {0x0B, 0x68}, 6, {0x4F, 0x68}, 2},
};
constexpr Family kTransitFamily{CardKindSF, {0x0F, 0x09}, 20, {0x8B, 0x00}, 1};

constexpr size_t kSystemCodeListSize = 256;
constexpr size_t kServiceCodeListSize = 510;
constexpr size_t kBlockListSize = 40;
constexpr size_t kBlockDataSize = 320;

// The buffers of one read, owned by readCard for the length of the calls.
struct Buffers {
    std::array<uint8_t, 2> systemCode{};
    std::array<uint8_t, 8> idm{};
    std::array<uint8_t, 8> pmm{};
    std::array<uint8_t, kSystemCodeListSize> systemCodes{};
    std::array<uint8_t, kServiceCodeListSize> serviceCodes{};
    std::array<uint8_t, kServiceCodeListSize> areaCodes{};
    std::array<uint8_t, kServiceCodeListSize> endServiceCodes{};
    std::array<uint8_t, 2> serviceCode{};
    std::array<uint8_t, kBlockListSize> blockList{};
    std::array<uint8_t, kBlockDataSize> blockData{};
};

bool sameCode(std::span<const uint8_t> list, size_t i, const std::array<uint8_t, 2>& code) {
    return list[2 * i] == code[0] && list[2 * i + 1] == code[1];
}

// Reads blocks 0..count-1 of a service into the block data buffer; the
// number of blocks returned comes back in `returned`.
bool readService(ReaderState& reader, Buffers& b, const std::array<uint8_t, 2>& service, uint8_t count,
                 size_t& returned) {
    b.blockList.fill(0);
    for (uint8_t i = 0; i < count; ++i) {
        b.blockList[2 * i] = 0x80;
        b.blockList[2 * i + 1] = i;
    }
    b.serviceCode = service;
    input_read_block_without_encryption in{b.idm, 1, b.serviceCode, count, b.blockList};
    output_read_block_without_encryption out{};
    out.block_data = b.blockData;
    if (!read_block_without_encryption(reader.Library, in, out)) return false;
    // Never more than asked for: only blocks of this read are decoded.
    returned = std::min<size_t>(out.result_number_of_blocks, count);
    return true;
}

// The family's slots start empty, so that slots past the blocks returned
// hold nothing of an earlier read.
void clearSlots(CardReadResults& card, int32_t kind) {
    card.AmountUnknown.fill(false);
    const int slots = rirekiSlotCount(kind);
    for (int i = 0; i < slots; ++i) {
        card.CardRireki[static_cast<size_t>(i)].RiyouKubun = 0;
        if (kind == CardKindWaon) card.CardRireki[static_cast<size_t>(i)].TorihikiTsuuban = 0;
    }
}

void decodeHistory(CardReadResults& card, const Family& family, std::span<const uint8_t> data, size_t n,
                   const CardRirekiLookup& storedRireki) {
    switch (family.kind) {
    case CardKindEdy:
        for (size_t i = 0; i < n; ++i) decodeEdyRireki(card, data, 16 * i, static_cast<int>(i));
        break;
    case CardKindNanaco:
        for (size_t i = 0; i < n; ++i) decodeNanacoRireki(card, data, 16 * i, static_cast<int>(i));
        break;
    case CardKindWaon:
        // One use spans two blocks.
        for (size_t i = 0; i + 1 <= n; i += 2) decodeWaonRireki(card, data, 16 * i, static_cast<int>(i / 2));
        sortWaonRireki(card);
        break;
    case CardKindSF: {
        RirekiLookup lookup;
        if (storedRireki) {
            lookup = [&storedRireki, id = card.CardID](int32_t serial, RirekiInfo& out) {
                return storedRireki(id, serial, out);
            };
        }
        // Oldest first: each amount is worked out from the older neighbour.
        for (size_t i = n; i-- > 0;) decodeSFRireki(card, data, 16 * i, static_cast<int>(i), lookup);
        break;
    }
    }
}

void decodeInfo(CardReadResults& card, int32_t kind, std::span<const uint8_t> data) {
    switch (kind) {
    case CardKindEdy: decodeEdyInfo(card, data, 0); break;
    case CardKindNanaco: decodeNanacoInfo(card, data, 0); break;
    case CardKindWaon: decodeWaonInfo(card, data, 0); break;
    case CardKindSF: decodeSFInfo(card, data, 0); break;
    }
}

ReadState failure(ReaderState& reader, CardReadResults& card) {
    get_last_error_types(reader.Library, reader.LastErrorType, reader.LastErrorType2);
    if (reader.LastErrorType == ErrorTypeNoCard) {
        card.LastCardIDm.fill(0);
        return ReadStateNoCard;
    }
    if (reader.ReaderWriterOpened) {
        const bool closed = close_reader_writer(reader.Library);
        reader.ReaderWriterOpened = false;
        if (!closed) get_last_error_types(reader.Library, reader.LastErrorType, reader.LastErrorType2);
    }
    if (reader.LibraryInitialized) {
        dispose_library(reader.Library);
        reader.LibraryInitialized = false;
    }
    return ReadStateError;
}

}  // namespace

std::vector<uint16_t> servicesRead(const std::array<uint8_t, 2>& systemCode) {
    const auto number = [](const std::array<uint8_t, 2>& code) {
        return static_cast<uint16_t>(code[0] | (code[1] << 8));
    };
    std::vector<uint16_t> codes;
    const auto add = [&](const Family& f) {
        codes.push_back(number(f.historyService));
        codes.push_back(number(f.infoService));
    };
    if (systemCode == kSystemCommon) {
        for (const Family& f : kCommonFamilies) add(f);
    } else if (systemCode == kSystemTransit) {
        add(kTransitFamily);
    }
    return codes;
}

ReadState readCard(ReaderState& reader, CardReadResults& card, const CardRirekiLookup& storedRireki) {
    FelicaLibrary& lib = reader.Library;
    Buffers b;
    uint8_t unused = 0;

    unused = 0;
    if (!reader_writer_is_alive(lib, unused)) return failure(reader, card);
    unused = 0;
    if (!reader_writer_is_open(lib, unused)) return failure(reader, card);

    // Any system; then the first supported one in the card's list.
    b.systemCode = {0xFF, 0xFF};
    polling poll{b.systemCode, 0};
    card_information info{b.idm, b.pmm};
    output_request_system_code systems{0, b.systemCodes};
    uint8_t cards = 0;
    if (!polling_and_request_system_code(lib, poll, cards, info, systems)) return failure(reader, card);
    const size_t systemCount = std::min<size_t>(systems.number_of_system_codes, kSystemCodeListSize / 2);
    for (size_t i = 0; i < systemCount; ++i) {
        if (sameCode(b.systemCodes, i, kSystemCommon) || sameCode(b.systemCodes, i, kSystemTransit)) {
            b.systemCode = {b.systemCodes[2 * i], b.systemCodes[2 * i + 1]};
            break;
        }
    }
    if (b.systemCode == std::array<uint8_t, 2>{0xFF, 0xFF}) return ReadStateNotSupported;
    const bool transit = b.systemCode == kSystemTransit;

    b.idm.fill(0);
    b.pmm.fill(0);
    if (!polling_and_get_card_information(lib, poll, cards, info)) return failure(reader, card);
    if (b.idm == card.LastCardIDm) return ReadStateSameCard;
    card.LastCardIDm = b.idm;

    output_search_service_code services{0, b.serviceCodes, 0, b.areaCodes, b.endServiceCodes};
    if (!polling_and_search_service_code(lib, poll, input_search_service_code{255, 255, 0}, info, services))
        return failure(reader, card);

    card.CardKind = CardKindNone;
    const Family* family = nullptr;
    const size_t serviceCount =
        std::min<size_t>(static_cast<size_t>(std::max(services.number_of_service_codes, 0)), kServiceCodeListSize / 2);
    for (size_t i = 0; i < serviceCount && !family; ++i) {
        if (transit) {
            if (sameCode(b.serviceCodes, i, kTransitFamily.historyService)) family = &kTransitFamily;
            continue;
        }
        for (const Family& f : kCommonFamilies) {
            if (sameCode(b.serviceCodes, i, f.historyService)) {
                family = &f;
                break;
            }
        }
    }
    if (!family) return ReadStateNotSupported;
    card.CardKind = family->kind;
    if (family->kind == CardKindSF) card.CardID = cardIdText(b.idm.data());

    size_t n = 0;
    if (!readService(reader, b, family->historyService, family->historyBlocks, n)) return failure(reader, card);
    clearSlots(card, family->kind);
    decodeHistory(card, *family, b.blockData, n, storedRireki);

    b.blockData.fill(0);
    if (!readService(reader, b, family->infoService, family->infoBlocks, n)) return failure(reader, card);
    decodeInfo(card, family->kind, b.blockData);
    return ReadStateRead;
}

}  // namespace tovani
