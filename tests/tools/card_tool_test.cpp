#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace tovani::test {
namespace {

namespace fs = std::filesystem;

class CardTool : public ::testing::Test {
protected:
    // Runs tovani-card from the program folder with the virtual reader in
    // `reader` (arguments already quoted for the shell).
    ToolRun run(const std::string& args, const fs::path& readerFolder) {
        return runShell("FELICA_VIRTUAL_READER=" + shellQuoted(readerFolder.string()) + " " +
                            shellQuoted(std::string(TOVANI_PROGRAM_DIR) + "/tovani-card") + " " + args,
                        scratch / "stderr.txt");
    }
    ToolRun read(const TempDir& programDir) { return run("read --program-dir '" + programDir.str() + "'", reader.path()); }
    void laySample(const std::string& name) {
        fs::copy_file(fs::path(TOVANI_SOURCE_DIR) / "samples/cards" / name, reader / "card.json",
                      fs::copy_options::overwrite_existing);
    }

    TempDir reader;
    TempDir scratch;
};

TEST_F(CardTool, DumpOfEverySampleReadsBackToTheSameHistory) {
    for (const char* sample : {"edy.json", "nanaco.json", "waon.json", "transit.json"}) {
        SCOPED_TRACE(sample);
        TempDir fromOriginal, fromDump;
        laySample(sample);
        const ToolRun original = read(fromOriginal);
        ASSERT_EQ(original.status, 0) << original.err;
        EXPECT_NE(original.out.find("ReadStateRead\n"), std::string::npos);

        const fs::path dumped = scratch / "dump.json";
        const ToolRun dump = run("dump '" + dumped.string() + "'", reader.path());
        ASSERT_EQ(dump.status, 0) << dump.err;
        fs::copy_file(dumped, reader / "card.json", fs::copy_options::overwrite_existing);
        const ToolRun again = read(fromDump);
        ASSERT_EQ(again.status, 0) << again.err;
        EXPECT_EQ(again.out, original.out);
    }
}

TEST_F(CardTool, DumpKeepsOnlyTheServicesTheProgramReads) {
    laySample("transit.json");
    const ToolRun dump = run("dump", reader.path());
    ASSERT_EQ(dump.status, 0) << dump.err;
    EXPECT_NE(dump.out.find("\"090F\""), std::string::npos);
    EXPECT_NE(dump.out.find("\"008B\""), std::string::npos);
    EXPECT_EQ(dump.out.find("\"108F\""), std::string::npos);  // gate records: not read
    EXPECT_NE(dump.out.find("\"FE00\""), std::string::npos);  // every system is kept
}

TEST_F(CardTool, ReadingTheSameCardTwiceStoresItOnce) {
    TempDir programDir;
    laySample("transit.json");
    const ToolRun first = read(programDir);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("CardID 0101-0012-3456-789A\n"), std::string::npos);
    EXPECT_NE(first.out.find("Stored history in RirekiDB/SF_0101-0012-3456-789A.DB: 20 entries\n"),
              std::string::npos)
        << first.out;
    const ToolRun second = read(programDir);
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out, first.out);
}

// The README's steps: the sample station lists name every place the sample
// transit card passes.
TEST_F(CardTool, TheSampleStationListsNameTheSampleTransitCardsPlaces) {
    TempDir programDir;
    for (const char* name : {"StationCode.csv", "irucabus.csv"})
        fs::copy_file(fs::path(TOVANI_SOURCE_DIR) / "samples/stations" / name, programDir / name);
    const std::string tools = std::string(TOVANI_PROGRAM_DIR) + "/";
    ASSERT_EQ(runShell(shellQuoted(tools + "tovani-import-stations") + " " + shellQuoted(programDir.str()),
                       scratch / "stderr.txt").status, 0);
    laySample("transit.json");
    ASSERT_EQ(read(programDir).status, 0);
    const ToolRun history =
        runShell(shellQuoted(tools + "tovani-view") + " history " +
                     shellQuoted(programDir.str() + "/RirekiDB/SF_0101-0012-3456-789A.DB") + " --program-dir " +
                     shellQuoted(programDir.str()),
                 scratch / "stderr.txt");
    ASSERT_EQ(history.status, 0) << history.err;
    EXPECT_EQ(history.out.find("未登録"), std::string::npos) << history.out;
}

TEST_F(CardTool, FailuresHaveMessagesAndExitCodes) {
    TempDir programDir;
    ToolRun r = read(programDir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no card"), std::string::npos) << r.err;
    r = run("dump", reader.path());
    EXPECT_EQ(r.status, 1);

    laySample("unsupported-system.json");
    r = read(programDir);
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.err.find("not one the program reads"), std::string::npos) << r.err;

    r = run("read --program-dir '" + programDir.str() + "'", reader / "missing");
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("1028"), std::string::npos) << r.err;

    // RirekiDB is a file: the card's file cannot be made.
    laySample("edy.json");
    writeFile(programDir / "RirekiDB", "");
    r = read(programDir);
    EXPECT_EQ(r.status, 5);
    EXPECT_NE(r.err.find("RirekiDB"), std::string::npos) << r.err;

    // A write that fails on standard output is a failure too.
    r = run("dump >/dev/full", reader.path());
    EXPECT_EQ(r.status, 5);
    EXPECT_NE(r.err.find("standard output"), std::string::npos) << r.err;

    r = run("frobnicate", reader.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("Usage: tovani-card ", 0), 0u) << r.err;
}

}  // namespace
}  // namespace tovani::test
