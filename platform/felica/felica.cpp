#include "platform/felica/felica.h"

#include <algorithm>

#include "platform/felica/felica_commands.h"

namespace tovani::felica {

FelicaLibrary::FelicaLibrary() : FelicaLibrary(makeDefaultTransport) {}
FelicaLibrary::FelicaLibrary(TransportFactory f) : factory(std::move(f)) {}
FelicaLibrary::~FelicaLibrary() {
    if (transport) transport->close();
}
FelicaLibrary::FelicaLibrary(FelicaLibrary&&) noexcept = default;
FelicaLibrary& FelicaLibrary::operator=(FelicaLibrary&&) noexcept = default;

bool FelicaLibrary::fail(int32_t errorType, int32_t errorType2, std::string why) {
    error1 = errorType;
    error2 = errorType2;
    reason = std::move(why);
    return false;
}

namespace {

bool fail(FelicaLibrary& lib, const Outcome& o) { return lib.fail(o.error, o.detail, o.reason); }

// The checks every card operation starts with.
bool ready(FelicaLibrary& lib) {
    if (!lib.initialized) return lib.fail(ErrorNotInitialized, 0, "the library is not initialised");
    if (!lib.opened || !lib.transport) return lib.fail(ErrorNotOpen, 0, "the reader/writer is not open");
    return true;
}

// The history services the program knows, per system, in the order a
// stand-in tries them (Edy, nanaco, WAON; SF). A reader that refuses the
// commands which list a card's systems and services leaves only these to ask.
constexpr std::array<uint8_t, 2> SystemCommon{0xFE, 0x00};
constexpr std::array<uint8_t, 2> SystemTransit{0x00, 0x03};
constexpr uint16_t CommonHistoryServices[] = {0x170F, 0x564F, 0x680B};
constexpr uint16_t TransitHistoryServices[] = {0x090F};

std::span<const uint16_t> knownHistoryServices(std::array<uint8_t, 2> systemCode) {
    if (systemCode == SystemCommon) return CommonHistoryServices;
    if (systemCode == SystemTransit) return TransitHistoryServices;
    return {};
}

bool refused(const FelicaLibrary& lib, uint8_t commandCode) { return lib.refusedCommands.test(commandCode); }

// Takes note of a refusal; false (with the failure recorded) when the
// outcome is a failure of another kind.
bool noteRefusal(FelicaLibrary& lib, const Outcome& o, uint8_t commandCode) {
    if (!o.refused) return fail(lib, o);
    lib.refusedCommands.set(commandCode);
    return true;
}

// Which of `services` the card with `idm` answers a one-block read for.
bool servicesThatAnswer(FelicaLibrary& lib, const Idm& idm, std::span<const uint16_t> services,
                        std::vector<uint16_t>& present) {
    present.clear();
    for (uint16_t service : services) {
        bool there = false;
        Outcome o = serviceAnswers(*lib.transport, idm, service, there);
        if (!o.ok) return fail(lib, o);
        if (there) present.push_back(service);
    }
    return true;
}

// Polling refused: the reader's own view of the card in its field gives the
// IDm, and a system is taken to be there when one of its known history
// services answers a read. A card that is not FeliCa sets `otherCard`.
bool pollWithoutPolling(FelicaLibrary& lib, std::array<uint8_t, 2> systemCode, PollingAnswer& answer,
                        bool& otherCard) {
    answer = {};
    switch (lib.transport->cardIdentity(answer.idm, answer.pmm)) {
    case Exchange::Answered:
        break;
    case Exchange::OtherCard:
        otherCard = true;
        return true;
    case Exchange::NoAnswer:
        return lib.fail(ErrorPolling, 0, "no card");
    case Exchange::ReaderFault:
        return fail(lib, Outcome::failure(ErrorReaderNotAnswering, lib.transport->lastDetail(),
                                          "the reader/writer does not answer"));
    case Exchange::Refused:
        return fail(lib, Outcome::refusedCommand(code::Polling));
    }
    if (systemCode == std::array<uint8_t, 2>{0xFF, 0xFF}) return true;
    std::vector<uint16_t> present;
    if (!servicesThatAnswer(lib, answer.idm, knownHistoryServices(systemCode), present)) return false;
    if (present.empty()) return lib.fail(ErrorPolling, 0, "no card of system " + hexText(systemCode));
    return true;
}

// Polls for the system the caller names and fills the IDm and PMm buffers.
// A card that is not FeliCa (where the reader/writer tells) is no card to
// talk to, unless the caller takes `otherCard`: then the buffers are zeros
// and no card is polled.
bool pollFor(FelicaLibrary& lib, const polling& p, card_information& info, PollingAnswer& answer,
             bool* otherCard = nullptr) {
    if (!ready(lib)) return false;
    if (p.system_code.size() < 2 || info.card_idm.size() < 8 || info.card_pmm.size() < 8)
        return lib.fail(ErrorInvalidArgument, 0, "a polling buffer is too small");
    // A new polling forgets the card before: reads go to the card it finds.
    lib.polledIdm.reset();
    const std::array<uint8_t, 2> systemCode{p.system_code[0], p.system_code[1]};
    bool polled = false, foreign = false;
    if (!refused(lib, code::Polling)) {
        Outcome o = pollCard(*lib.transport, systemCode, RequestNone, answer);
        polled = o.ok;
        foreign = o.otherCard;
        if (!o.ok && !foreign && !noteRefusal(lib, o, code::Polling)) return false;
    }
    if (!polled && !foreign && !pollWithoutPolling(lib, systemCode, answer, foreign)) return false;
    if (foreign && !otherCard) return lib.fail(ErrorPolling, 0, "the card is not a FeliCa card");
    if (otherCard) *otherCard = foreign;
    if (foreign) answer = {};
    else lib.polledIdm = answer.idm;
    std::copy(answer.idm.begin(), answer.idm.end(), info.card_idm.begin());
    std::copy(answer.pmm.begin(), answer.pmm.end(), info.card_pmm.begin());
    return true;
}

// The stand-in for Request System Code: Polling for FE 00, then 00 03 (or,
// where Polling is refused too, reads alone). The first system that answers
// and has one of the known history services is the card's list; failing
// that, the first that answered Polling. A transit card answers Polling for
// FE 00 too (its common area holds no history the program knows), so taking
// the first answer alone would leave it unread.
bool systemsByPolling(FelicaLibrary& lib, const Idm& idm, std::vector<std::array<uint8_t, 2>>& codes) {
    codes.clear();
    std::optional<std::array<uint8_t, 2>> firstAnswered;
    for (const std::array<uint8_t, 2>& system : {SystemCommon, SystemTransit}) {
        Idm systemIdm = idm;
        bool polled = false;
        if (!refused(lib, code::Polling)) {
            PollingAnswer a;
            Outcome o = pollCard(*lib.transport, system, RequestNone, a);
            polled = o.ok;
            if (o.ok) systemIdm = a.idm;
            // No answer to Polling for a system: the card does not have it.
            else if (o.error != ErrorPolling && !noteRefusal(lib, o, code::Polling)) return false;
            if (!polled && !refused(lib, code::Polling)) continue;
        }
        std::vector<uint16_t> present;
        if (!servicesThatAnswer(lib, systemIdm, knownHistoryServices(system), present)) return false;
        if (!present.empty()) {
            codes.push_back(system);
            break;
        }
        if (polled && !firstAnswered) firstAnswered = system;
    }
    if (codes.empty() && firstAnswered) codes.push_back(*firstAnswered);
    // Later commands address the card polled for any system, as after
    // Request System Code.
    lib.polledIdm = idm;
    return true;
}

void putLe16(std::span<uint8_t> list, size_t index, uint16_t value) {
    list[2 * index] = static_cast<uint8_t>(value & 0xFF);
    list[2 * index + 1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

bool initialize_library(FelicaLibrary& lib) {
    if (lib.initialized) return lib.fail(ErrorAlreadyInitialized, 0, "the library is already initialised");
    lib.initialized = true;
    return true;
}

bool dispose_library(FelicaLibrary& lib) {
    if (!lib.initialized) return lib.fail(ErrorNotInitialized, 0, "the library is not initialised");
    if (lib.transport) lib.transport->close();
    lib.transport.reset();
    lib.opened = false;
    lib.polledIdm.reset();
    lib.initialized = false;
    return true;
}

bool open_reader_writer_auto(FelicaLibrary& lib) {
    if (!lib.initialized) return lib.fail(ErrorNotInitialized, 0, "the library is not initialised");
    if (lib.opened) return lib.fail(ErrorAlreadyOpen, 0, "the reader/writer is already open");
    std::unique_ptr<Transport> transport = lib.factory ? lib.factory() : nullptr;
    if (!transport) return lib.fail(ErrorNoReaderWriter, 0, "no reader/writer found");
    switch (transport->open()) {
    case OpenResult::Opened:
        lib.transport = std::move(transport);
        lib.opened = true;
        lib.refusedCommands.reset();
        return true;
    case OpenResult::NotFound:
        return lib.fail(ErrorNoReaderWriter, transport->lastDetail(), "no reader/writer found");
    case OpenResult::OpenFailed:
        break;
    }
    return lib.fail(ErrorOpenFailed, transport->lastDetail(), "the reader/writer could not be opened");
}

bool close_reader_writer(FelicaLibrary& lib) {
    if (!lib.initialized) return lib.fail(ErrorNotInitialized, 0, "the library is not initialised");
    if (!lib.opened) return lib.fail(ErrorNotOpen, 0, "the reader/writer is not open");
    if (lib.transport) lib.transport->close();
    lib.transport.reset();
    lib.opened = false;
    lib.polledIdm.reset();
    lib.refusedCommands.reset();
    return true;
}

bool reader_writer_is_alive(FelicaLibrary& lib, uint8_t& alive) {
    alive = 0;
    if (!ready(lib)) return false;
    if (!lib.transport->isAlive())
        return lib.fail(ErrorReaderNotAnswering, lib.transport->lastDetail(), "the reader/writer does not answer");
    alive = 1;
    return true;
}

bool reader_writer_is_open(FelicaLibrary& lib, uint8_t& open) {
    open = 0;
    if (!ready(lib)) return false;
    open = 1;
    return true;
}

bool get_last_error_types(const FelicaLibrary& lib, int32_t& errorType, int32_t& errorType2) {
    errorType = lib.error1;
    errorType2 = lib.error2;
    return true;
}

bool polling_and_request_system_code(FelicaLibrary& lib, const polling& p, uint8_t& number_of_cards,
                                     card_information& info, output_request_system_code& out) {
    number_of_cards = 0;
    out.number_of_system_codes = 0;
    PollingAnswer answer;
    bool otherCard = false;
    if (!pollFor(lib, p, info, answer, &otherCard)) return false;
    number_of_cards = 1;
    // A card of another kind has no FeliCa system at all.
    if (otherCard) return true;
    std::vector<std::array<uint8_t, 2>> codes;
    bool listed = false;
    if (!refused(lib, code::RequestSystemCode)) {
        Outcome o = requestSystemCodes(*lib.transport, answer.idm, codes);
        listed = o.ok;
        if (!o.ok && !noteRefusal(lib, o, code::RequestSystemCode)) return false;
    }
    if (!listed && !systemsByPolling(lib, answer.idm, codes)) return false;
    if (codes.size() > 0xFF || codes.size() * 2 > out.system_code_list.size())
        return lib.fail(ErrorSystemCodeList, 0,
                        std::to_string(codes.size()) + " system codes do not fit the caller's list");
    for (size_t i = 0; i < codes.size(); ++i) {
        out.system_code_list[2 * i] = codes[i][0];
        out.system_code_list[2 * i + 1] = codes[i][1];
    }
    out.number_of_system_codes = static_cast<uint8_t>(codes.size());
    return true;
}

bool polling_and_get_card_information(FelicaLibrary& lib, const polling& p, uint8_t& number_of_cards,
                                      card_information& info) {
    number_of_cards = 0;
    PollingAnswer answer;
    if (!pollFor(lib, p, info, answer)) return false;
    number_of_cards = 1;
    return true;
}

bool polling_and_search_service_code(FelicaLibrary& lib, const polling& p, const input_search_service_code& in,
                                     card_information& info, output_search_service_code& out) {
    out.number_of_service_codes = 0;
    out.number_of_area_codes = 0;
    PollingAnswer answer;
    if (!pollFor(lib, p, info, answer)) return false;
    // The most entries each list can take: the caller's limit and its buffers.
    const size_t maxServices = std::min<size_t>(std::max(in.max_service_codes, 0), out.service_code_list.size() / 2);
    const size_t maxAreas = std::min({static_cast<size_t>(std::max(in.max_area_codes, 0)),
                                      out.area_code_list.size() / 2, out.end_service_code_list.size() / 2});
    ServiceList list;
    bool searched = false;
    if (!refused(lib, code::SearchServiceCode)) {
        Outcome o = searchServiceCodes(*lib.transport, answer.idm, std::max(maxServices, maxAreas), list);
        searched = o.ok;
        if (!o.ok && !noteRefusal(lib, o, code::SearchServiceCode)) return false;
    }
    // The stand-in lists the known history services that answer a read.
    if (!searched) {
        list = {};
        if (!servicesThatAnswer(lib, answer.idm, knownHistoryServices({p.system_code[0], p.system_code[1]}),
                                list.services))
            return false;
    }
    if (list.services.size() > maxServices || list.areas.size() > maxAreas)
        return lib.fail(ErrorServiceCodeList, 0,
                        std::to_string(list.services.size()) + " service codes and " +
                            std::to_string(list.areas.size()) + " area codes do not fit the caller's lists");
    // Entries before the start index are skipped, as the caller asked.
    const size_t start = static_cast<size_t>(std::max(in.start_index, 0));
    size_t n = 0;
    for (size_t i = start; i < list.services.size(); ++i) putLe16(out.service_code_list, n++, list.services[i]);
    out.number_of_service_codes = static_cast<int32_t>(n);
    for (size_t i = 0; i < list.areas.size(); ++i) {
        putLe16(out.area_code_list, i, list.areas[i]);
        putLe16(out.end_service_code_list, i, list.areaEnds[i]);
    }
    out.number_of_area_codes = static_cast<int32_t>(list.areas.size());
    return true;
}

bool read_block_without_encryption(FelicaLibrary& lib, const input_read_block_without_encryption& in,
                                   output_read_block_without_encryption& out) {
    out.result_number_of_blocks = 0;
    if (!ready(lib)) return false;
    if (!lib.polledIdm) return lib.fail(ErrorNotPolled, 0, "no card has been polled");
    if (in.card_idm.size() < 8 || !std::equal(lib.polledIdm->begin(), lib.polledIdm->end(), in.card_idm.begin()))
        return lib.fail(ErrorIdmMismatch, 0, "the IDm is not that of the polled card");
    // One service per read; its blocks are listed as two-byte elements.
    if (in.number_of_services != 1 || in.service_code_list.size() < 2)
        return lib.fail(ErrorInvalidArgument, 0, "one service per read");
    if (in.number_of_blocks == 0 || in.block_list.size() < 2u * in.number_of_blocks)
        return lib.fail(ErrorInvalidArgument, 0, "the block list does not hold the blocks asked for");
    if (out.block_data.size() < BlockSize * in.number_of_blocks)
        return lib.fail(ErrorInvalidArgument, 0, "the block buffer is too small for the blocks asked for");
    std::vector<uint16_t> numbers;
    for (size_t i = 0; i < in.number_of_blocks; ++i) {
        const uint8_t head = in.block_list[2 * i];
        if ((head & 0x80) == 0 || (head & 0x0F) != 0)
            return lib.fail(ErrorInvalidArgument, 0, "a block list element is not 0x80 and a block number");
        numbers.push_back(in.block_list[2 * i + 1]);
    }
    const uint16_t service = static_cast<uint16_t>(in.service_code_list[0] | (in.service_code_list[1] << 8));
    std::vector<uint8_t> data;
    Outcome o = readBlocks(*lib.transport, *lib.polledIdm, service, numbers, data,
                           lib.transport->maxBlocksPerRead());
    if (!o.ok) {
        out.status_flag_1 = static_cast<uint8_t>(o.detail >> 8);
        out.status_flag_2 = static_cast<uint8_t>(o.detail & 0xFF);
        return fail(lib, o);
    }
    // readBlocks never returns more than asked; checked again because the
    // copy below relies on it.
    const size_t count = data.size() / BlockSize;
    if (count > in.number_of_blocks) return lib.fail(ErrorReadFailed, 1, "more blocks than asked for");
    std::copy(data.begin(), data.end(), out.block_data.begin());
    out.status_flag_1 = 0;
    out.status_flag_2 = 0;
    out.result_number_of_blocks = static_cast<uint8_t>(count);
    return true;
}

}  // namespace tovani::felica
