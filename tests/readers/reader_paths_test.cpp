#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>

#include "pn532_simulator.h"
#include "reader_paths.h"
#include "reader_support.h"
#include "store/card_store.h"
#include "support/tool_run.h"

namespace tovani::test {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kTransitIdm = 0x010100123456789AULL;

void copySample(const std::string& name, const fs::path& folder) {
    fs::copy_file(fs::path(TOVANI_SOURCE_DIR) / "samples/cards" / name, folder / "card.json",
                  fs::copy_options::overwrite_existing);
}

// The same reader cases over every path: what the user sees must not depend
// on how the reader is reached.
class OverEveryPath : public ::testing::TestWithParam<ReaderPathRow> {
protected:
    void SetUp() override {
        path = GetParam().make();
        std::string why;
        ASSERT_TRUE(path->attach(folder.path(), why)) << why;
        initErrorMessages(reader);
        ASSERT_TRUE(openReader(reader)) << "error " << reader.LastErrorType;
    }
    void TearDown() override {
        closeReader(reader);
        path->detach();
    }

    ReadState read() { return readCard(reader, results, storedRirekiLookup(programDir.str())); }
    void laySample(const std::string& name) {
        copySample(name, folder.path());
        sync();
    }
    void lay(const felica::CardImage& c) {
        writeFile(folder / "card.json", felica::cardImageToJson(c));
        sync();
    }
    void lift() {
        fs::remove(folder / "card.json");
        sync();
    }
    void unplug() {
        writeFile(folder / "unplugged", "");
        sync();
    }
    void plugIn() {
        fs::remove(folder / "unplugged");
        sync();
    }
    void sync() {
        std::string why;
        ASSERT_TRUE(path->sync(why)) << why;
    }

    std::unique_ptr<ReaderPath> path;
    TempDir folder;
    TempDir programDir;
    ReaderState reader;
    CardReadResults results;
};

TEST_P(OverEveryPath, CardsComeGoAndChange) {
    EXPECT_EQ(read(), ReadStateNoCard);
    EXPECT_EQ(reader.LastErrorType, 1036);

    laySample("transit.json");
    ASSERT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardKind, CardKindSF);
    EXPECT_EQ(results.CardID, "0101-0012-3456-789A");
    EXPECT_EQ(results.CardRireki[0].Zangaku, 1982);
    EXPECT_EQ(read(), ReadStateSameCard);

    lift();
    EXPECT_EQ(read(), ReadStateNoCard);
    EXPECT_EQ(results.LastCardIDm, (std::array<uint8_t, 8>{}));
    laySample("transit.json");
    EXPECT_EQ(read(), ReadStateRead);

    // Another card laid in its place without a gap.
    laySample("edy.json");
    ASSERT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardKind, CardKindEdy);
    EXPECT_EQ(results.CardRireki[0].Zangaku, 1456);

    laySample("unsupported-system.json");
    EXPECT_EQ(read(), ReadStateNotSupported);
    EXPECT_EQ(results.CardKind, CardKindEdy);  // the results of the card before stay
    laySample("fe00-no-history.json");
    EXPECT_EQ(read(), ReadStateNotSupported);
    EXPECT_EQ(read(), ReadStateSameCard);
    EXPECT_TRUE(reader.ReaderWriterOpened);
}

TEST_P(OverEveryPath, PulledReaderIsAReaderFailureAndReplugRecovers) {
    laySample("nanaco.json");
    ASSERT_EQ(read(), ReadStateRead);
    lift();
    EXPECT_EQ(read(), ReadStateNoCard);

    // Pulled while the program polls: the is-alive check notices, and so
    // does polling itself; an error, never "no card".
    unplug();
    uint8_t alive = 1;
    EXPECT_FALSE(felica::reader_writer_is_alive(reader.Library, alive));
    int32_t error = 0, detail = 0;
    felica::get_last_error_types(reader.Library, error, detail);
    EXPECT_EQ(error, 1069);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(read(), ReadStateError);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(reader.LastErrorType, 1069);
    EXPECT_EQ(errorMessageText(reader, reader.LastErrorType), "デバイス情報取得に失敗しました");
    EXPECT_FALSE(reader.ReaderWriterOpened);
    EXPECT_FALSE(reader.LibraryInitialized);

    // Asked to reopen before the reader is back: a failure with a text.
    EXPECT_FALSE(openReader(reader));
    EXPECT_TRUE(reader.LastErrorType == 1028 || reader.LastErrorType == 1069) << reader.LastErrorType;
    EXPECT_FALSE(reader.ReaderWriterOpened);

    plugIn();
    ASSERT_TRUE(openReader(reader)) << "error " << reader.LastErrorType;
    EXPECT_EQ(read(), ReadStateNoCard);
    laySample("nanaco.json");
    EXPECT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardKind, CardKindNanaco);
}

TEST_P(OverEveryPath, PulledWhileACardLiesThereKeepsItAsTheSameCard) {
    laySample("waon.json");
    ASSERT_EQ(read(), ReadStateRead);
    unplug();
    EXPECT_EQ(read(), ReadStateError);
    EXPECT_EQ(reader.LastErrorType, 1069);
    plugIn();
    ASSERT_TRUE(openReader(reader)) << "error " << reader.LastErrorType;
    EXPECT_EQ(read(), ReadStateSameCard);
}

TEST_P(OverEveryPath, TwentyTransitBlocksArriveWhole) {
    // More blocks than the card gives in one read: the read goes in pieces.
    lay(card({system(0x0003, kTransitIdm,
                     {service(0x008B, {felica::Block{}}), service(0x090F, transitHistory(20, 220, 1000))})}));
    ASSERT_EQ(read(), ReadStateRead);
    for (size_t i = 0; i < 20; ++i) {
        EXPECT_EQ(results.CardRireki[i].TorihikiTsuuban, static_cast<int32_t>(220 - i)) << i;
        EXPECT_EQ(results.CardRireki[i].Zangaku, static_cast<int32_t>(1000 + 100 * i)) << i;
    }
    EXPECT_EQ(results.CardRireki[0].Kingaku, 100);
}

// The reader log holds each exchange of a read both ways, under the path's
// route; a log that cannot be written is one warning and the read goes on.
TEST_P(OverEveryPath, TheReaderLogHoldsBothWaysAndNeverFailsARead) {
    // The log is taken when the connection opens.
    const auto reopen = [&] {
        closeReader(reader);
        ASSERT_TRUE(openReader(reader)) << "error " << reader.LastErrorType;
    };
    const fs::path log = programDir / "reader.log";
    setenv("TOVANI_READER_LOG", log.c_str(), 1);
    reopen();
    laySample("edy.json");
    EXPECT_EQ(read(), ReadStateRead);
    const std::string text = readFile(log);
    const std::string route = " " + GetParam().logRoute;
    size_t sent = 0, received = 0;
    for (size_t pos = 0, end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
        const std::string line = text.substr(pos, end - pos);
        // "2026-12-07 18:30:01.123 pcsc > FF C2 ..."; a route may log finer
        // layers under its name ("usb-felica").
        ASSERT_GT(line.size(), 24u) << line;
        EXPECT_EQ(line[4], '-') << line;
        EXPECT_EQ(line[19], '.') << line;
        EXPECT_EQ(line.compare(23, route.size(), route), 0) << line;
        const size_t routeEnd = line.find(' ', 24);
        const char way = routeEnd != std::string::npos && routeEnd + 1 < line.size() ? line[routeEnd + 1] : ' ';
        sent += way == '>';
        received += way == '<';
    }
    EXPECT_GT(sent, 3u) << text;
    EXPECT_GT(received, 3u) << text;

    // A folder cannot be appended to, whoever runs the test.
    setenv("TOVANI_READER_LOG", folder.str().c_str(), 1);
    laySample("transit.json");
    ::testing::internal::CaptureStderr();
    reopen();
    EXPECT_EQ(read(), ReadStateRead);
    const std::string err = ::testing::internal::GetCapturedStderr();
    unsetenv("TOVANI_READER_LOG");
    EXPECT_EQ(results.CardKind, CardKindSF);
    EXPECT_EQ(results.CardRireki[0].Zangaku, 1982);
    // One warning per process: the first path's read gave it.
    const size_t warning = err.find("cannot be written");
    EXPECT_EQ(err.find("cannot be written", warning + 1), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(Readers, OverEveryPath, ::testing::ValuesIn(readerPaths()),
                         [](const ::testing::TestParamInfo<ReaderPathRow>& row) { return row.param.name; });

// Everything libnfc's serial driver sends in a session (open, polling with
// and without a card, exchanges, close) is a command the simulated chip
// knows and carries out.
TEST(LibnfcSession, EveryCommandOfASessionIsAnswered) {
    TempDir folder, programDir;
    pn532::Simulator sim(folder.str());
    std::string why;
    ASSERT_TRUE(sim.start(why)) << why;
    unsetenv("FELICA_VIRTUAL_READER");
    setenv("TOVANI_READER", ("libnfc:" + sim.connectionString()).c_str(), 1);
    ReaderState reader;
    initErrorMessages(reader);
    CardReadResults results;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(openReader(reader)) << "error " << reader.LastErrorType;
        EXPECT_EQ(readCard(reader, results, storedRirekiLookup(programDir.str())), ReadStateNoCard);
        copySample("waon.json", folder.path());
        EXPECT_EQ(readCard(reader, results, storedRirekiLookup(programDir.str())), ReadStateRead);
        fs::remove(folder / "card.json");
        closeReader(reader);
    }
    unsetenv("TOVANI_READER");
    EXPECT_GT(sim.commandCount(), 20u);
    EXPECT_EQ(sim.refusedCount(), 0u);
}

// A PN532 whose answers come damaged, through libnfc's own frame checks:
// every damage is a reader failure (never "no card", never a crash), and the
// reader opens again once the chip is sound.
TEST(LibnfcDamagedFrames, DamagedAnswersAreReaderFailures) {
    using Fault = pn532::Simulator::Fault;
    constexpr uint8_t IsAlive = 0x32, Polling = 0x4A, Exchange = 0x40;
    const struct {
        const char* what;
        Fault fault;
        uint8_t command;
    } cases[] = {
        {"is-alive, length checksum", Fault::LengthChecksum, IsAlive},
        {"polling, data checksum", Fault::DataChecksum, Polling},
        {"polling, cut short", Fault::Truncated, Polling},
        {"exchange, data checksum", Fault::DataChecksum, Exchange},
        {"exchange, length checksum", Fault::LengthChecksum, Exchange},
        {"exchange, cut short", Fault::Truncated, Exchange},
    };
    TempDir folder, programDir;
    copySample("transit.json", folder.path());
    pn532::Simulator sim(folder.str());
    std::string why;
    ASSERT_TRUE(sim.start(why)) << why;
    unsetenv("FELICA_VIRTUAL_READER");
    setenv("TOVANI_READER", ("libnfc:" + sim.connectionString()).c_str(), 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim.injectFault(Fault::None);
        ReaderState reader;
        initErrorMessages(reader);
        ASSERT_TRUE(openReader(reader)) << "error " << reader.LastErrorType;
        sim.injectFault(c.fault, c.command);
        CardReadResults results;
        EXPECT_EQ(readCard(reader, results, storedRirekiLookup(programDir.str())), ReadStateError);
        EXPECT_EQ(reader.LastErrorType, 1069);
        EXPECT_FALSE(reader.ReaderWriterOpened);

        sim.injectFault(Fault::None);
        ASSERT_TRUE(openReader(reader)) << "error " << reader.LastErrorType;
        CardReadResults fresh;
        EXPECT_EQ(readCard(reader, fresh, storedRirekiLookup(programDir.str())), ReadStateRead);
        closeReader(reader);
    }
    unsetenv("TOVANI_READER");
}

// Runs `tovani-card read` against the reader the environment names.
int runCardTool(const fs::path& programDir, std::string& err) {
    const fs::path errFile = programDir / "stderr.txt";
    const ToolRun r = runShell(shellQuoted(std::string(TOVANI_PROGRAM_DIR) + "/tovani-card") + " read --program-dir " +
                                   shellQuoted(programDir.string()),
                               errFile);
    fs::remove(errFile);  // not one of the files the tool stored
    err = r.err;
    return r.status;
}

// Every file under `dir`, by its path relative to it.
std::map<std::string, std::string> filesUnder(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file()) files[fs::relative(entry.path(), dir).string()] = readFile(entry.path());
    return files;
}

TEST(CardFilesOverEveryPath, EverySampleIsStoredByteForByteAlike) {
    for (const char* sample : {"edy.json", "nanaco.json", "waon.json", "transit.json"}) {
        SCOPED_TRACE(sample);
        std::map<std::string, std::string> first;
        std::string firstPath;
        for (const ReaderPathRow& row : readerPaths()) {
            SCOPED_TRACE(row.name);
            TempDir folder, programDir;
            copySample(sample, folder.path());
            std::unique_ptr<ReaderPath> path = row.make();
            std::string why;
            ASSERT_TRUE(path->attach(folder.path(), why)) << why;
            std::string err;
            const int status = runCardTool(programDir.path(), err);
            path->detach();
            ASSERT_EQ(status, 0) << err;
            std::map<std::string, std::string> files = filesUnder(programDir.path());
            ASSERT_FALSE(files.empty());
            if (firstPath.empty()) {
                first = std::move(files);
                firstPath = row.name;
                continue;
            }
            ASSERT_EQ(files.size(), first.size());
            for (const auto& [name, bytes] : first) {
                ASSERT_TRUE(files.count(name)) << name;
                EXPECT_TRUE(files[name] == bytes) << name << " differs from the one stored through " << firstPath;
            }
        }
    }
}

}  // namespace
}  // namespace tovani::test
