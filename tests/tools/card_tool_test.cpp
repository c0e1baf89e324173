#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <utility>

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

// Without /proc the program cannot tell its folder; the current one would
// load the database library from wherever the user stands.
TEST_F(CardTool, WithoutProcTheDatabaseToolsFailAndMakeNothing) {
    if (::geteuid() != 0 || runShell("unshare -m true", scratch / "err").status != 0)
        GTEST_SKIP() << "hiding /proc needs root and mount namespaces";
    TempDir cwd, home;
    laySample("transit.json");
    for (const auto& [command, status] :
         {std::pair{"tovani-card read", 5}, {"tovani-view balances", 1}, {"tovani-import-stations", 1}}) {
        const std::string hidden = "mount -t tmpfs none /proc && cd " + shellQuoted(cwd.str()) + " && " +
                                   shellQuoted(TOVANI_PROGRAM_DIR "/") + command;
        const ToolRun r = runShell("HOME=" + shellQuoted(home.str()) + " FELICA_VIRTUAL_READER=" +
                                       shellQuoted(reader.str()) + " unshare -m sh -c " + shellQuoted(hidden),
                                   scratch / "err");
        // The sanitizer build's leak check needs /proc itself (it cannot even
        // read its options without it) and ends the program with status 1.
        if (r.err.find("LeakSanitizer has encountered a fatal error") == std::string::npos) {
            EXPECT_EQ(r.status, status) << r.err;
        }
        EXPECT_NE(r.err.find("Program folder error: "), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_empty(cwd.path()) && fs::is_empty(home.path())) << command;
    }
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
