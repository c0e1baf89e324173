#include <gtest/gtest.h>

#include "pn532_simulator.h"
#include "reader_support.h"
#include "support/bytes.h"

namespace tovani::test {
namespace {

using namespace pn532;
using Kind = FrameReader::Kind;

std::vector<FrameReader::Item> readAll(const Bytes& stream, size_t pieceSize) {
    FrameReader reader;
    std::vector<FrameReader::Item> items;
    for (size_t at = 0; at < stream.size(); at += pieceSize) {
        const size_t n = std::min(pieceSize, stream.size() - at);
        reader.feed(std::span<const uint8_t>(stream.data() + at, n));
        while (auto item = reader.next()) items.push_back(std::move(*item));
    }
    return items;
}

TEST(Pn532Frames, HostStreamIsCutIntoFramesWhicheverWayItArrives) {
    const Bytes wakeUp{0x55, 0x55, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    const Bytes sam{0x00, 0x00, 0xFF, 0x03, 0xFD, 0xD4, 0x14, 0x01, 0x17, 0x00};
    const Bytes ack(Ack.begin(), Ack.end()), nack(Nack.begin(), Nack.end());
    Bytes badLength = sam;
    badLength[4] = 0xFC;
    Bytes badData = sam;
    badData[8] = 0x18;
    Bytes fromChip = sam;
    fromChip[5] = 0xD5;
    fromChip[8] = 0x16;
    Bytes big(300, 0x42);
    big[0] = HostToChip;
    const Bytes extended = frame(big);

    const struct {
        const char* what;
        Bytes stream;
        std::vector<Kind> kinds;
    } cases[] = {
        {"wake-up then a command", concat({wakeUp, sam}), {Kind::Command}},
        {"ack and nack", concat({ack, nack}), {Kind::Acknowledge, Kind::NotAcknowledge}},
        {"extended frame", extended, {Kind::Command}},
        {"length checksum wrong, next frame still read", concat({badLength, sam}), {Kind::Bad, Kind::Command}},
        {"data checksum wrong", concat({badData, sam}), {Kind::Bad, Kind::Command}},
        {"a chip's frame from the host", fromChip, {Kind::Bad}},
        {"noise only", Bytes{0xFF, 0x12, 0x00}, {}},
    };
    for (const auto& c : cases) {
        for (size_t piece : {size_t{1}, size_t{3}, c.stream.size()}) {
            SCOPED_TRACE(std::string(c.what) + ", pieces of " + std::to_string(piece));
            const auto items = readAll(c.stream, std::max<size_t>(piece, 1));
            ASSERT_EQ(items.size(), c.kinds.size());
            for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(items[i].kind, c.kinds[i]) << i;
        }
    }
    EXPECT_EQ(readAll(concat({wakeUp, sam}), 1)[0].payload, (Bytes{0xD4, 0x14, 0x01}));
    EXPECT_EQ(readAll(extended, 7)[0].payload, big);
}

TEST(Pn532Frames, FramesCarryTheirLengthAndChecksums) {
    for (size_t size : {size_t{1}, size_t{2}, size_t{255}, size_t{256}, size_t{1000}}) {
        SCOPED_TRACE(size);
        Bytes payload(size, 0xA5);
        payload[0] = HostToChip;
        const Bytes f = frame(payload);
        const size_t head = size <= 255 ? 5 : 8;
        ASSERT_EQ(f.size(), head + size + 2);
        EXPECT_EQ(f[2], 0xFF);
        uint8_t total = 0;
        for (size_t i = head; i < head + size + 1; ++i) total = static_cast<uint8_t>(total + f[i]);
        EXPECT_EQ(total, 0);  // data checksum
        const auto items = readAll(f, f.size());
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].payload, payload);
    }
    EXPECT_TRUE(frame({}).empty());
}

// The chip against a card folder, without the terminal.
class Pn532Chip : public ::testing::Test {
protected:
    Bytes ask(Bytes command) {
        command.insert(command.begin(), HostToChip);
        return chip.answer(command);
    }
    void laySample(const std::string& name) {
        writeFile(dir / "card.json", readFile(std::filesystem::path(TOVANI_SOURCE_DIR) / "samples/cards" / name));
    }
    // The status byte of every answer that has one: never one that makes a
    // host driver give up on the chip.
    static void expectSoundStatus(const Bytes& answer) {
        ASSERT_GE(answer.size(), 2u);
        if (answer == Bytes{0x7F}) return;
        ASSERT_GE(answer.size(), 3u);
        EXPECT_EQ(answer[2] & 0xC0, 0) << "status " << int(answer[2]);
    }

    TempDir dir;
    felica::CardFolder field{dir.str(), "test"};
    Chip chip{field};
};

TEST_F(Pn532Chip, PollsExchangesAndReportsSilenceAsTheChipWould) {
    const Bytes pollAny{0x4A, 0x01, 0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00};
    EXPECT_EQ(ask(pollAny), (Bytes{0xD5, 0x4B, 0x00}));  // no card
    const Bytes noTarget = ask({0x40, 0x01, 0x06, 0x00, 0xFF, 0xFF, 0x00, 0x00});
    expectSoundStatus(noTarget);
    EXPECT_NE(noTarget[2], 0x00);

    laySample("transit.json");
    const Bytes polled = ask(pollAny);
    ASSERT_EQ(polled.size(), 4u + 20u);
    EXPECT_EQ((Bytes(polled.begin(), polled.begin() + 6)), (Bytes{0xD5, 0x4B, 0x01, 0x01, 20, 0x01}));

    // Request System Code through the exchange, the frame's length byte kept.
    Bytes request{0x40, 0x01, 0x0A, 0x0C};
    request.insert(request.end(), polled.begin() + 6, polled.begin() + 14);
    const Bytes codes = ask(request);
    ASSERT_GE(codes.size(), 5u);
    EXPECT_EQ(codes[2], 0x00);
    EXPECT_EQ(codes[3], codes.size() - 3);  // the card frame's own length byte
    EXPECT_EQ(codes[4], 0x0D);

    // A card that keeps silent (here: asked with another card's IDm) is
    // reported by the chip with a status, never by silence of the chip.
    Bytes stranger = request;
    ASSERT_EQ(stranger.size(), 12u);
    stranger[11] = static_cast<uint8_t>(stranger[11] ^ 0xFF);
    const Bytes silent = ask(stranger);
    expectSoundStatus(silent);
    EXPECT_EQ(silent, (Bytes{0xD5, 0x41, 0x01}));

    // Lifted: the next polling finds nothing and drops the target.
    std::filesystem::remove(dir / "card.json");
    EXPECT_EQ(ask(pollAny), (Bytes{0xD5, 0x4B, 0x00}));
    expectSoundStatus(ask(request));

    // Commands it does not know, or malformed ones, get the error frame.
    EXPECT_EQ(ask({0x7E}), (Bytes{0x7F}));
    EXPECT_EQ(ask({0x4A, 0x01, 0x01, 0x00}), (Bytes{0x7F}));
    EXPECT_EQ(ask({0x06, 0x63}), (Bytes{0x7F}));
}

TEST_F(Pn532Chip, EveryCommandOfOpenAndCloseIsAnsweredSoundly) {
    laySample("edy.json");
    const std::vector<Bytes> session = {
        {0x14, 0x01}, {0x00, 0x00, 'l', 'i', 'b'}, {0x02}, {0x12, 0x14}, {0x06, 0x63, 0x02, 0x63, 0x03},
        {0x08, 0x63, 0x02, 0x80}, {0x32, 0x01, 0x01}, {0x32, 0x05, 0xFF, 0xFF, 0xFF},
        {0x4A, 0x01, 0x01, 0x00, 0xFE, 0x00, 0x00, 0x00}, {0x04}, {0x44, 0x01}, {0x52, 0x00}, {0x32, 0x01, 0x00},
        {0x16, 0xF0},
    };
    for (const Bytes& command : session) {
        SCOPED_TRACE(int(command[0]));
        const Bytes a = ask(command);
        ASSERT_NE(a, Bytes{0x7F});
        EXPECT_EQ(a[0], ChipToHost);
        EXPECT_EQ(a[1], command[0] + 1);
        if (command[0] == 0x16 || command[0] == 0x44 || command[0] == 0x52) expectSoundStatus(a);
    }
    EXPECT_EQ(ask({0x00, 0x00, 'l', 'i', 'b'}), (Bytes{0xD5, 0x01, 0x00, 'l', 'i', 'b'}));  // echoed
    EXPECT_EQ(ask({0x06, 0x63, 0x02}), (Bytes{0xD5, 0x07, 0x80}));                        // as written
}

}  // namespace
}  // namespace tovani::test
