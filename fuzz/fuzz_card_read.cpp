// A whole card read through a reader whose answers are corrupted at will:
// polling, system codes, service search, block reads and the decoders, as
// the program runs them. A simulated card serves one of the sample images
// (byte 0 picks it); each exchange then takes one action from the input:
// pass the card's answer on, stay silent, fail as a reader, replace the
// answer with input bytes, or change one byte of it. However the answers
// go wrong, the read ends in a known state, a failure carries an error
// value with a text, and a read nothing went wrong in equals a clean read.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/felica/card_image.h"
#include "reader/reader.h"

using namespace tovani;
using namespace tovani::felica;
using tovani::fuzz::check;

namespace {

const std::vector<CardImage>& samples() {
    static const std::vector<CardImage> images = [] {
        std::vector<CardImage> out;
        for (const char* name : {"edy", "nanaco", "waon", "transit", "fe00-no-history", "unsupported-system"}) {
            CardImage image;
            std::string why;
            check(loadCardImage(std::string(TOVANI_SAMPLE_CARDS) + "/" + name + ".json", image, why),
                  "the sample card images load");
            out.push_back(std::move(image));
        }
        return out;
    }();
    return images;
}

class CorruptingReader : public Transport {
public:
    CorruptingReader(const CardImage& image, size_t maxBlocks, FuzzedDataProvider* actions, bool& corrupted)
        : card_(image), maxBlocks_(maxBlocks), actions_(actions), corrupted_(corrupted) {}

    OpenResult open() override { return OpenResult::Opened; }
    void close() override {}
    bool isAlive() override { return true; }
    size_t maxBlocksPerRead() const override { return maxBlocks_; }

    Exchange transceive(std::span<const uint8_t> command, Frame& response) override {
        response.clear();
        // A read asks a bounded number of questions; more would be a loop.
        check(++exchanges_ <= 1000, "a read ends");
        std::optional<Frame> answer = card_.respond(command);
        const uint8_t action = actions_ && actions_->remaining_bytes() ? actions_->ConsumeIntegral<uint8_t>() : 0;
        switch (action % 8) {
        case 4:
            corrupted_ = true;
            return Exchange::NoAnswer;
        case 5:
            corrupted_ = true;
            return Exchange::ReaderFault;
        case 6:
            corrupted_ = true;
            answer = actions_->ConsumeBytes<uint8_t>(actions_->ConsumeIntegralInRange<size_t>(0, 300));
            break;
        case 7:
            if (answer && !answer->empty()) {
                corrupted_ = true;
                const size_t at = actions_->ConsumeIntegralInRange<size_t>(0, answer->size() - 1);
                (*answer)[at] = actions_->ConsumeIntegral<uint8_t>();
            }
            break;
        default:
            break;  // the card's own answer
        }
        if (!answer) return Exchange::NoAnswer;
        response = std::move(*answer);
        return Exchange::Answered;
    }

private:
    SimulatedCard card_;
    size_t maxBlocks_;
    FuzzedDataProvider* actions_;
    bool& corrupted_;
    size_t exchanges_ = 0;
};

struct Outcome {
    ReadState state;
    CardReadResults card;
    int32_t error;
    bool opened;
};

Outcome read(const CardImage& image, size_t maxBlocks, FuzzedDataProvider* actions, bool& corrupted,
             const CardRirekiLookup& lookup) {
    ReaderState reader;
    initErrorMessages(reader);
    reader.Library = FelicaLibrary([&]() -> std::unique_ptr<Transport> {
        return std::make_unique<CorruptingReader>(image, maxBlocks, actions, corrupted);
    });
    check(openReader(reader), "a reader that answers opens");
    Outcome o{};
    o.state = readCard(reader, o.card, lookup);
    o.error = reader.LastErrorType;
    if (o.state == ReadStateError) {
        check(o.error != 0 && errorMessageText(reader, o.error).has_value(),
              "a failed read has an error value with a text");
        check(!reader.ReaderWriterOpened, "a failed read closes the reader");
    }
    o.opened = reader.ReaderWriterOpened;
    closeReader(reader);
    return o;
}

bool realDate(int32_t ymd) {
    if (ymd == 0) return true;
    const int32_t y = ymd / 10000, m = ymd / 100 % 100, d = ymd % 100;
    return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= 31;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const CardImage& image = samples()[data[0] % samples().size()];
    // The readers carry 14 or 15 blocks; a smaller number splits reads more.
    const size_t maxBlocks = 1 + data[1] % 15;
    FuzzedDataProvider actions(data + 2, size - 2);
    // What the card's own file answers for the oldest transit amounts.
    const StoredRireki stored =
        actions.PickValueInArray({StoredRireki::NotStored, StoredRireki::Found, StoredRireki::Unreadable});
    RirekiInfo storedEntry{};
    storedEntry.Kingaku = actions.ConsumeIntegral<int32_t>();
    storedEntry.Charge = actions.ConsumeIntegral<int32_t>();
    storedEntry.Zangaku = actions.ConsumeIntegral<int32_t>();
    const CardRirekiLookup lookup = [&](const std::string&, int32_t, RirekiInfo& out) {
        if (stored == StoredRireki::Found) out = storedEntry;
        return stored;
    };

    bool corrupted = false;
    const Outcome o = read(image, maxBlocks, &actions, corrupted, lookup);
    check(o.state >= ReadStateError && o.state <= ReadStateNotSupported, "a read ends in a known state");
    if (o.state == ReadStateRead) {
        check(o.card.CardKind == CardKindEdy || o.card.CardKind == CardKindNanaco || o.card.CardKind == CardKindWaon ||
                  o.card.CardKind == CardKindSF,
              "a read card is of a known kind");
        check(o.card.CardID.size() == 19, "a read card has a card number");
        check(realDate(o.card.HakkouYmd), "an issue date is a real date");
        for (const RirekiInfo& e : o.card.CardRireki) check(realDate(e.RiyouYmd), "a history date is a real date");
    }
    if (!corrupted) {
        bool clean = false;
        const Outcome reference = read(image, maxBlocks, nullptr, clean, lookup);
        check(o.state == reference.state && o.card.CardKind == reference.card.CardKind &&
                  o.card.CardID == reference.card.CardID && o.card.HakkouYmd == reference.card.HakkouYmd &&
                  o.card.CardRireki == reference.card.CardRireki,
              "a read nothing went wrong in equals a clean read");
    }
    return 0;
}
