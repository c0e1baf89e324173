// What only the PC/SC path has: pcscd itself stopping and coming back, the
// choice of a PC/SC reader, and the reader listing. The reader cases shared
// with the other paths run from the table in tests/readers.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "platform/felica/pcsc/pcsc_reader.h"
#include "private_pcscd.h"
#include "reader/reader_support.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "support/tool_run.h"
#include "vpcd_card.h"

namespace tovani::test {
namespace {

namespace fs = std::filesystem;

class PcscPath : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!pcscd.start(true, why)) {
            if (why.rfind("another pcscd", 0) == 0) GTEST_SKIP() << why;
            FAIL() << why;
        }
        simulator = std::make_unique<VpcdCard>(readerDir.str(), pcscd.port());
        const std::string name = pcscd.readerName();
        reader.Library = felica::FelicaLibrary([name] { return felica::makePcscTransport({name}); });
        initErrorMessages(reader);
    }
    void TearDown() override {
        closeReader(reader);
        simulator.reset();
        pcscd.stop();
    }

    void laySample(const std::string& name) {
        writeFile(readerDir / "card.json", readFile(fs::path(TOVANI_SOURCE_DIR) / "samples/cards" / name));
        ASSERT_TRUE(pcscd.waitForCard(true)) << pcscd.log();
    }
    void lift() {
        fs::remove(readerDir / "card.json");
        ASSERT_TRUE(pcscd.waitForCard(false)) << pcscd.log();
    }
    ReadState read() { return readCard(reader, results, storedRirekiLookup(programDir.str())); }
    // Another reader in the simulator's place, the card still on it.
    void playReader(ReaderProfile profile) {
        simulator.reset();
        ASSERT_TRUE(pcscd.waitForCard(false)) << pcscd.log();
        simulator = std::make_unique<VpcdCard>(readerDir.str(), pcscd.port(), std::move(profile));
        ASSERT_TRUE(pcscd.waitForCard(true)) << pcscd.log();
    }

    TempDir readerDir;
    TempDir programDir;
    PrivatePcscd pcscd;
    std::unique_ptr<VpcdCard> simulator;
    ReaderState reader;
    CardReadResults results;
};

TEST_F(PcscPath, PcscdStoppedAndRestarted) {
    ASSERT_TRUE(openReader(reader));
    laySample("waon.json");
    ASSERT_EQ(read(), ReadStateRead);

    // Stopped under an open connection: a reader failure.
    pcscd.stop();
    EXPECT_EQ(read(), ReadStateError);
    EXPECT_EQ(reader.LastErrorType, 1069);

    // Not running at all: no reader.
    EXPECT_FALSE(openReader(reader));
    EXPECT_EQ(reader.LastErrorType, 1028);

    std::string why;
    ASSERT_TRUE(pcscd.start(true, why)) << why;
    ASSERT_TRUE(pcscd.waitForCard(true)) << pcscd.log();
    ASSERT_TRUE(openReader(reader));
    EXPECT_EQ(read(), ReadStateSameCard);
    lift();
    EXPECT_EQ(read(), ReadStateNoCard);
    laySample("edy.json");
    EXPECT_EQ(read(), ReadStateRead);
}

// A reader is untrusted input: whatever it answers, the program neither reads
// past an answer nor takes a garbled one for "no card".
TEST_F(PcscPath, GarbledAnswersAreReaderFailuresWithAReason) {
    laySample("transit.json");
    const struct {
        VpcdCard::Fault fault;
        const char* reason;
    } rows[] = {
        {VpcdCard::Fault::OneByte, "no status word"},
        {VpcdCard::Fault::PastTheEnd, "bytes left"},
        {VpcdCard::Fault::NoStatusObject, "without a status object"},
        {VpcdCard::Fault::Refused, "status word 6A 81"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reason);
        simulator->setFault(row.fault);
        ASSERT_TRUE(openReader(reader));
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(read(), ReadStateError);
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(reader.LastErrorType, 1069);
        EXPECT_NE(err.find(row.reason), std::string::npos) << err;
        EXPECT_FALSE(reader.ReaderWriterOpened);
    }
    simulator->setFault(VpcdCard::Fault::None);
    ASSERT_TRUE(openReader(reader));
    EXPECT_EQ(read(), ReadStateRead);
}

// Readers whose name says nothing ("Tovani Test Reader"): the firmware query
// tells an ACS reader, for the whole time the reader is open; a card of
// another kind is "not a supported card" and leaves the route as it is. A
// FeliCa command the reader refuses has a stand-in where the read can go on
// without it, and its own reason where it cannot.
TEST_F(PcscPath, RoutesAndRefusedCommandsOfReadersWhoseNameSaysNothing) {
    const struct {
        const char* what;
        ReaderProfile profile;
        ReadState state;
        const char* reason;  // of a failed read
    } rows[] = {
        {"RC-S300 refusing Polling too", {ReaderProfile::Rcs300, {0x00, 0x02, 0x0A, 0x0C}, {}}, ReadStateRead, ""},
        {"RC-S300 refusing the read", {ReaderProfile::Rcs300, {0x06}, {}}, ReadStateError,
         "the reader refused FeliCa command 0x06"},
        {"ACR122U", {ReaderProfile::Acr122, {}, {}}, ReadStateRead, ""},
        {"ACR1252U", {ReaderProfile::Acr1252, {}, {}}, ReadStateRead, ""},
        {"RC-S300 with a card of another kind that fails the switch to FeliCa",
         {ReaderProfile::Rcs300, {}, {}, {0x04, 0xA1, 0xB2, 0xC3}, true}, ReadStateNotSupported, ""},
        {"RC-S300 refusing Polling, a card of another kind",
         {ReaderProfile::Rcs300, {0x00, 0x02, 0x0A, 0x0C}, {}, {0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}, false},
         ReadStateNotSupported, ""},
    };
    laySample("transit.json");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        playReader(row.profile);
        results = {};  // a failed read keeps its card as the last one: each row starts afresh
        ASSERT_TRUE(openReader(reader));
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(read(), row.state);
        ::testing::internal::GetCapturedStderr();
        if (row.state == ReadStateError) {
            EXPECT_EQ(reader.LastErrorType, 1069);
            EXPECT_NE(reader.Library.lastErrorReason().find(row.reason), std::string::npos)
                << reader.Library.lastErrorReason();
            continue;
        }
        if (row.state == ReadStateNotSupported) {
            // The reader stays open on its route: the FeliCa card laid next reads.
            ReaderProfile felicaCard = row.profile;
            felicaCard.otherCardUid.clear();
            playReader(felicaCard);
            EXPECT_EQ(read(), ReadStateRead);
        }
        EXPECT_EQ(results.CardKind, CardKindSF);
        EXPECT_EQ(results.CardRireki[0].Zangaku, 1982);
        EXPECT_EQ(read(), ReadStateSameCard);
        laySample("edy.json");
        EXPECT_EQ(read(), ReadStateRead);
        EXPECT_EQ(results.CardKind, CardKindEdy);
        lift();
        EXPECT_EQ(read(), ReadStateNoCard);
        laySample("transit.json");
        closeReader(reader);
    }

    // A reader that drops a session left idle: the session starts again and
    // the exchange goes through. Idleness is the condition itself, so the
    // test has to let the time pass. The reader's patience is well above the
    // program's idea of idle, so that pcscd's own delays never drop a session
    // in the middle of a read.
    playReader({ReaderProfile::Rcs300, {}, std::chrono::milliseconds(200)});
    results = {};
    ASSERT_TRUE(openReader(reader));
    ASSERT_EQ(read(), ReadStateRead);
    for (int i = 0; i < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        EXPECT_EQ(read(), ReadStateSameCard);
    }
}

// 14 blocks fit pcsc-lite's answer buffer, 15 do not; the library never
// asks for more than 14 on this path (the table's 20-block read), and a
// transport asked for 15 fails soundly.
TEST_F(PcscPath, FifteenBlocksOverflowTheAnswerBufferFourteenFit) {
    laySample("transit.json");
    std::unique_ptr<felica::Transport> t = felica::makePcscTransport({pcscd.readerName()});
    ASSERT_EQ(t->open(), felica::OpenResult::Opened);
    EXPECT_EQ(t->maxBlocksPerRead(), 14u);
    felica::Frame answer;
    ASSERT_EQ(t->transceive(felica::buildPolling({0x00, 0x03}, felica::RequestNone, 0), answer),
              felica::Exchange::Answered);
    felica::PollingAnswer polled;
    std::string why;
    ASSERT_TRUE(felica::parsePolling(answer, polled, why)) << why;
    const auto readOf = [&](uint16_t count) {
        std::vector<felica::BlockElement> blocks;
        for (uint16_t b = 0; b < count; ++b) blocks.push_back({0, b});
        const uint16_t services[] = {0x090F};
        return felica::buildReadWithoutEncryption(polled.idm, services, blocks);
    };
    ASSERT_EQ(t->transceive(readOf(14), answer), felica::Exchange::Answered);
    EXPECT_EQ(answer.size(), 13u + 14 * 16);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(t->transceive(readOf(15), answer), felica::Exchange::ReaderFault);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("longer than 264 bytes"), std::string::npos) << err;
    t->close();
}

// The variables that choose the reader, over the environment as the window
// and the tools read it.
TEST_F(PcscPath, TheEnvironmentChoosesTheReader) {
    const std::string name = pcscd.readerName();
    TempDir virtualFolder;
    const struct {
        const char* virtualReader;
        std::string tovaniReader;  // "-" for unset
        bool cardLaid;
        int32_t openError;  // 0: opens
        ReadState state;    // when it opens
    } rows[] = {
        // Nothing set: a PC/SC reader showing a FeliCa card comes first...
        {nullptr, "-", true, 0, ReadStateRead},
        // ...and with no card anywhere (and no libnfc device) the first PC/SC reader.
        {nullptr, "-", false, 0, ReadStateNoCard},
        {nullptr, "pcsc", true, 0, ReadStateRead},
        {nullptr, "pcsc:" + name, true, 0, ReadStateRead},
        {nullptr, "pcsc:No Such Reader 00 00", true, 1028, ReadStateError},
        {nullptr, "pcsc:", true, 1028, ReadStateError},
        {nullptr, "libnfc:pn532_uart:/nonexistent/tty", true, 1028, ReadStateError},
        {nullptr, "smartcard", true, 1028, ReadStateError},
        // The virtual reader wins over everything.
        {"virtual", "pcsc:" + name, true, 0, ReadStateNoCard},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.tovaniReader + (row.virtualReader ? " with the virtual reader" : "") +
                     (row.cardLaid ? ", card laid" : ", no card"));
        if (row.cardLaid) {
            laySample("edy.json");
        } else {
            lift();
        }
        if (row.virtualReader) {
            setenv("FELICA_VIRTUAL_READER", virtualFolder.str().c_str(), 1);
        } else {
            unsetenv("FELICA_VIRTUAL_READER");
        }
        if (row.tovaniReader == "-") {
            unsetenv("TOVANI_READER");
        } else {
            setenv("TOVANI_READER", row.tovaniReader.c_str(), 1);
        }
        ReaderState chosen;  // its library takes the transport the environment names
        initErrorMessages(chosen);
        const bool opened = openReader(chosen);
        EXPECT_EQ(opened, row.openError == 0) << chosen.LastErrorType;
        if (!opened) {
            EXPECT_EQ(chosen.LastErrorType, row.openError);
            continue;
        }
        CardReadResults card;
        EXPECT_EQ(readCard(chosen, card, storedRirekiLookup(programDir.str())), row.state);
        closeReader(chosen);
    }
    unsetenv("FELICA_VIRTUAL_READER");
    unsetenv("TOVANI_READER");
}

// Runs `tovani-card readers`; its standard output and exit status.
int listReaders(std::string& out) {
    TempDir dir;
    const ToolRun r = runShell(shellQuoted(std::string(TOVANI_PROGRAM_DIR) + "/tovani-card") + " readers", dir / "err");
    out = r.out + r.err;
    return r.status;
}

TEST_F(PcscPath, ReadersAreListedWithWhatTheyShow) {
    unsetenv("FELICA_VIRTUAL_READER");
    unsetenv("TOVANI_READER");
    std::string out;
    EXPECT_EQ(listReaders(out), 0) << out;
    const std::string line = "pcsc:" + pcscd.readerName() + "\t" + pcscd.readerName() +
                             "\tanswers\tpcsc: transparent session, or direct transmit if its firmware is ACS's";
    EXPECT_NE(out.find(line + "\tno card\n"), std::string::npos) << out;

    laySample("transit.json");
    EXPECT_EQ(listReaders(out), 0) << out;
    EXPECT_NE(out.find(line + "\ta FeliCa card lies on it\n"), std::string::npos) << out;
    // The ACR122T's own ATR of a FeliCa card.
    playReader({ReaderProfile::Acr122, {}, {}});
    EXPECT_EQ(listReaders(out), 0) << out;
    EXPECT_NE(out.find(line + "\ta FeliCa card lies on it\n"), std::string::npos) << out;

    pcscd.stop();
    EXPECT_EQ(listReaders(out), 3) << out;
    EXPECT_NE(out.find("PC/SC: pcscd is not running"), std::string::npos) << out;
    EXPECT_EQ(out.find("pcsc:"), std::string::npos) << out;
}

}  // namespace
}  // namespace tovani::test
