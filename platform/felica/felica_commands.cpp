#include "platform/felica/felica_commands.h"

#include <algorithm>

namespace tovani::felica {

namespace {

// Second error value of a malformed answer.
constexpr int32_t DetailMalformed = 1;

Outcome readerFault(const Transport& t) {
    return Outcome::failure(ErrorReaderNotAnswering, t.lastDetail(), "the reader/writer does not answer");
}

// Status flags of a refusal as the second error value: flag 1 high, flag 2 low.
int32_t statusDetail(const ReadAnswer& a) { return (a.statusFlag1 << 8) | a.statusFlag2; }

// One Read Without Encryption command of at most maxPerCommand blocks.
Exchange readOnce(Transport& t, const Idm& idm, uint16_t serviceCode, std::span<const uint16_t> numbers,
                  ReadAnswer& answer, std::string& why) {
    std::vector<BlockElement> elements;
    for (uint16_t n : numbers) elements.push_back({0, n});
    const uint16_t services[] = {serviceCode};
    Frame command = buildReadWithoutEncryption(idm, services, elements);
    Frame response;
    Exchange e = t.transceive(command, response);
    if (e != Exchange::Answered) return e;
    if (!parseReadWithoutEncryption(response, idm, numbers.size(), answer, why)) {
        why = "malformed read answer: " + why;
    }
    return Exchange::Answered;
}

}  // namespace

Outcome Outcome::refusedCommand(uint8_t commandCode) {
    static const char digits[] = "0123456789ABCDEF";
    Outcome o = failure(ErrorReaderNotAnswering, commandCode,
                        std::string("the reader refused FeliCa command 0x") + digits[commandCode >> 4] +
                            digits[commandCode & 0x0F]);
    o.refused = true;
    return o;
}

Outcome pollCard(Transport& t, std::array<uint8_t, 2> systemCode, uint8_t requestCode, PollingAnswer& out) {
    Frame response;
    Exchange e = t.transceive(buildPolling(systemCode, requestCode, 0), response);
    if (e == Exchange::Refused) return Outcome::refusedCommand(code::Polling);
    if (e == Exchange::ReaderFault) return readerFault(t);
    if (e == Exchange::NoAnswer) return Outcome::failure(ErrorPolling, 0, "no card");
    if (e == Exchange::OtherCard) {
        Outcome o = Outcome::failure(ErrorPolling, 0, "the card is not a FeliCa card");
        o.otherCard = true;
        return o;
    }
    std::string why;
    // A garbled polling answer is no card to talk to: polling failed.
    if (!parsePolling(response, out, why))
        return Outcome::failure(ErrorPolling, DetailMalformed, "malformed polling answer: " + why);
    return Outcome::success();
}

Outcome requestSystemCodes(Transport& t, const Idm& idm, std::vector<std::array<uint8_t, 2>>& out) {
    Frame response;
    Exchange e = t.transceive(buildRequestSystemCode(idm), response);
    if (e == Exchange::Refused) return Outcome::refusedCommand(code::RequestSystemCode);
    if (e == Exchange::ReaderFault) return readerFault(t);
    if (e == Exchange::NoAnswer) return Outcome::failure(ErrorSystemCodeList, 0, "the card did not answer");
    std::string why;
    if (!parseRequestSystemCode(response, idm, out, why))
        return Outcome::failure(ErrorSystemCodeList, DetailMalformed, "malformed system code answer: " + why);
    return Outcome::success();
}

Outcome searchServiceCodes(Transport& t, const Idm& idm, size_t maxEntries, ServiceList& out) {
    out = {};
    for (uint32_t index = 0; index < EndOfServiceList; ++index) {
        Frame response;
        Exchange e = t.transceive(buildSearchServiceCode(idm, static_cast<uint16_t>(index)), response);
        if (e == Exchange::Refused) return Outcome::refusedCommand(code::SearchServiceCode);
        if (e == Exchange::ReaderFault) return readerFault(t);
        if (e == Exchange::NoAnswer)
            return Outcome::failure(ErrorServiceCodeList, 0, "the card did not answer");
        SearchAnswer a;
        std::string why;
        if (!parseSearchServiceCode(response, idm, a, why))
            return Outcome::failure(ErrorServiceCodeList, DetailMalformed, "malformed search answer: " + why);
        if (a.kind == SearchAnswer::End) return Outcome::success();
        if (a.kind == SearchAnswer::Service) {
            out.services.push_back(a.code);
        } else {
            out.areas.push_back(a.code);
            out.areaEnds.push_back(a.endServiceCode);
        }
        if (out.services.size() > maxEntries || out.areas.size() > maxEntries)
            return Outcome::failure(ErrorServiceCodeList, 0,
                                    "more than " + std::to_string(maxEntries) + " service or area codes");
    }
    return Outcome::failure(ErrorServiceCodeList, 0, "the service list does not end");
}

Outcome readBlocks(Transport& t, const Idm& idm, uint16_t serviceCode, std::span<const uint16_t> blockNumbers,
                   std::vector<uint8_t>& data, size_t maxPerCommand) {
    data.clear();
    if (blockNumbers.empty()) return Outcome::failure(ErrorInvalidArgument, 0, "no block asked for");
    // The largest command frame: 16 header bytes and 3 bytes per element.
    size_t chunk = std::clamp<size_t>(maxPerCommand, 1, (MaxFrameLength - 16) / 3);
    size_t pos = 0;
    Outcome last;
    while (pos < blockNumbers.size()) {
        size_t count = std::min(chunk, blockNumbers.size() - pos);
        ReadAnswer answer;
        std::string why;
        Exchange e = readOnce(t, idm, serviceCode, blockNumbers.subspan(pos, count), answer, why);
        if (e == Exchange::Refused) return Outcome::refusedCommand(code::ReadWithoutEncryption);
        if (e == Exchange::ReaderFault) return readerFault(t);
        if (e == Exchange::NoAnswer) {
            last = Outcome::failure(ErrorReadRefused, 0, "the card did not answer");
            data.clear();  // the card is gone: what came before is not this read's end
            return last;
        }
        if (!why.empty()) {
            // A garbled answer is never taken for the end of the service.
            data.clear();
            return Outcome::failure(ErrorReadFailed, DetailMalformed, why);
        }
        if (answer.statusFlag1 == 0) {
            data.insert(data.end(), answer.blockData.begin(), answer.blockData.end());
            pos += answer.blockCount();
            // Fewer blocks than asked: the card has no more.
            if (answer.blockCount() < count) break;
            continue;
        }
        const std::array<uint8_t, 2> flags{answer.statusFlag1, answer.statusFlag2};
        last = Outcome::failure(ErrorReadRefused, statusDetail(answer),
                                "the card refused the read (status " + hexText(flags) + ")");
        if (count > 1) {
            // Perhaps too many blocks for this card in one go, or the end of
            // the service lies inside this piece: try smaller pieces.
            chunk = (count + 1) / 2;
            continue;
        }
        break;  // a single block refused: the service ends before it
    }
    if (data.empty()) return last.ok ? Outcome::failure(ErrorReadRefused, 0, "no block read") : last;
    return Outcome::success();
}

Outcome serviceAnswers(Transport& t, const Idm& idm, uint16_t serviceCode, bool& present) {
    present = false;
    const uint16_t block0[] = {0};
    ReadAnswer answer;
    std::string why;
    Exchange e = readOnce(t, idm, serviceCode, block0, answer, why);
    if (e == Exchange::Refused) return Outcome::refusedCommand(code::ReadWithoutEncryption);
    if (e == Exchange::ReaderFault) return readerFault(t);
    if (e == Exchange::NoAnswer) return Outcome::failure(ErrorServiceCodeList, 0, "the card did not answer");
    if (!why.empty()) return Outcome::failure(ErrorServiceCodeList, DetailMalformed, why);
    present = answer.statusFlag1 == 0;
    return Outcome::success();
}

}  // namespace tovani::felica
