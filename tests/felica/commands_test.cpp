#include <gtest/gtest.h>

#include <functional>

#include "platform/felica/card_image.h"
#include "platform/felica/felica_commands.h"

namespace tovani::felica {
namespace {

const Idm kIdm{0x01, 0x01, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};

// A transport whose answers a test decides; counts the commands sent.
class ScriptedTransport : public Transport {
public:
    std::function<Exchange(std::span<const uint8_t>, Frame&)> answer;
    std::vector<Frame> sent;
    size_t maxBlocks = 20;

    OpenResult open() override { return OpenResult::Opened; }
    void close() override {}
    bool isAlive() override { return true; }
    Exchange transceive(std::span<const uint8_t> command, Frame& response) override {
        sent.emplace_back(command.begin(), command.end());
        return answer(command, response);
    }
    size_t maxBlocksPerRead() const override { return maxBlocks; }
};

// A transport in front of a simulated card with `blocks` blocks in 090F.
struct CardOnTransport {
    explicit CardOnTransport(size_t blocks, size_t cardLimit) {
        CardImage image;
        SystemImage system{{0x00, 0x03}, kIdm, {}};
        ServiceImage history{0x090F, {}};
        for (size_t i = 0; i < blocks; ++i) history.blocks.push_back(Block{static_cast<uint8_t>(i)});
        system.services.push_back(history);
        image.systems.push_back(system);
        card.emplace(image, cardLimit);
        transport.answer = [this](std::span<const uint8_t> command, Frame& response) {
            auto a = card->respond(command);
            if (!a) return Exchange::NoAnswer;
            response = *a;
            return Exchange::Answered;
        };
    }
    std::optional<SimulatedCard> card;
    ScriptedTransport transport;
};

std::vector<uint16_t> range(uint16_t n) {
    std::vector<uint16_t> v;
    for (uint16_t i = 0; i < n; ++i) v.push_back(i);
    return v;
}

TEST(FelicaReadBlocks, SplitsLongReadsAndPutsThemBackInOrder) {
    CardOnTransport c(20, 15);
    std::vector<uint8_t> data;
    Outcome o = readBlocks(c.transport, kIdm, 0x090F, range(20), data, 7);
    ASSERT_TRUE(o.ok) << o.reason;
    ASSERT_EQ(data.size(), 20u * 16);
    for (size_t b = 0; b < 20; ++b) EXPECT_EQ(data[16 * b], b);
    EXPECT_EQ(c.transport.sent.size(), 3u);  // 7 + 7 + 6
}

TEST(FelicaReadBlocks, FallsBackToSmallerPiecesWhenTheCardRefusesTheLength) {
    CardOnTransport c(20, 5);  // the reader would carry 14, the card takes 5
    std::vector<uint8_t> data;
    Outcome o = readBlocks(c.transport, kIdm, 0x090F, range(20), data, 14);
    ASSERT_TRUE(o.ok) << o.reason;
    ASSERT_EQ(data.size(), 20u * 16);
    for (size_t b = 0; b < 20; ++b) EXPECT_EQ(data[16 * b], b);
}

TEST(FelicaReadBlocks, ServiceEndingEarlyGivesTheBlocksBeforeIt) {
    for (size_t held : {1u, 6u, 10u, 13u, 19u}) {
        CardOnTransport c(held, 15);
        std::vector<uint8_t> data;
        Outcome o = readBlocks(c.transport, kIdm, 0x090F, range(20), data, 14);
        ASSERT_TRUE(o.ok) << held << ": " << o.reason;
        ASSERT_EQ(data.size(), held * 16) << held;
        EXPECT_EQ(data[16 * (held - 1)], held - 1);
    }
}

TEST(FelicaReadBlocks, NoBlockAtAllIsAFailure) {
    CardOnTransport empty(0, 15);
    std::vector<uint8_t> data;
    Outcome o = readBlocks(empty.transport, kIdm, 0x090F, range(20), data, 14);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.error, ErrorReadRefused);
    EXPECT_EQ(o.detail & 0xFF, 0xA8);  // status flag 2 of the refusal

    CardOnTransport c(20, 15);
    o = readBlocks(c.transport, kIdm, 0x1234, range(2), data, 14);  // no such service
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.error, ErrorReadRefused);
    EXPECT_TRUE(data.empty());
}

TEST(FelicaReadBlocks, MalformedOrMissingAnswersFailTheWholeRead) {
    ScriptedTransport t;
    std::vector<uint8_t> data;
    // The card announces 20 blocks but sends one.
    t.answer = [](std::span<const uint8_t>, Frame& r) {
        r = buildReadAnswer(kIdm, 0, 0, std::vector<uint8_t>(16, 1));
        r[12] = 20;
        return Exchange::Answered;
    };
    Outcome o = readBlocks(t, kIdm, 0x090F, range(20), data, 20);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.error, ErrorReadFailed);
    EXPECT_TRUE(data.empty());

    // A good first piece, then the card stops answering: not a short service.
    int calls = 0;
    t.answer = [&calls](std::span<const uint8_t>, Frame& r) {
        if (calls++ > 0) return Exchange::NoAnswer;
        r = buildReadAnswer(kIdm, 0, 0, std::vector<uint8_t>(10 * 16, 1));
        return Exchange::Answered;
    };
    o = readBlocks(t, kIdm, 0x090F, range(20), data, 10);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.error, ErrorReadRefused);

    t.answer = [](std::span<const uint8_t>, Frame&) { return Exchange::ReaderFault; };
    o = readBlocks(t, kIdm, 0x090F, range(2), data, 10);
    EXPECT_EQ(o.error, ErrorReaderNotAnswering);
}

TEST(FelicaCommands, PollingSearchAndSystemCodes) {
    ScriptedTransport t;
    PollingAnswer p;
    t.answer = [](std::span<const uint8_t>, Frame&) { return Exchange::NoAnswer; };
    EXPECT_EQ(pollCard(t, {0xFF, 0xFF}, RequestNone, p).error, ErrorPolling);
    t.answer = [](std::span<const uint8_t>, Frame& r) {
        r = {0x05, 0x01, 0, 0, 0};
        return Exchange::Answered;
    };
    Outcome o = pollCard(t, {0xFF, 0xFF}, RequestNone, p);
    EXPECT_EQ(o.error, ErrorPolling);
    EXPECT_NE(o.reason.find("malformed"), std::string::npos);

    // A card whose service list never ends is refused once past the limit.
    t.answer = [](std::span<const uint8_t>, Frame& r) {
        r = buildSearchServiceCodeAnswer(kIdm, {SearchAnswer::Service, 0x090F, 0});
        return Exchange::Answered;
    };
    ServiceList list;
    o = searchServiceCodes(t, kIdm, 255, list);
    EXPECT_EQ(o.error, ErrorServiceCodeList);
    EXPECT_EQ(t.sent.size(), 256u + 2);

    t.answer = [](std::span<const uint8_t>, Frame& r) {
        r = buildRequestSystemCodeAnswer(kIdm, std::vector<std::array<uint8_t, 2>>{{0xFE, 0x00}});
        r[10] = 0xFF;  // 255 codes announced, one sent
        return Exchange::Answered;
    };
    std::vector<std::array<uint8_t, 2>> codes;
    EXPECT_EQ(requestSystemCodes(t, kIdm, codes).error, ErrorSystemCodeList);
}

}  // namespace
}  // namespace tovani::felica
