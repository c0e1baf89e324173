// Without /proc the program cannot tell its own folder. It must not take the
// current folder instead: the database library would be loaded from wherever
// the user stands, and RirekiDB made there.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace tovani::test {
namespace {

namespace fs = std::filesystem;

TEST(ProgramFolder, WithoutProcEveryDatabaseToolFailsAndMakesNothing) {
    TempDir cwd, home, reader, scratch;
    // Only root may hide /proc, in a mount namespace of the test's own.
    if (::geteuid() != 0 || runShell("unshare -m true", scratch / "err").status != 0)
        GTEST_SKIP() << "needs root and mount namespaces";
    fs::copy_file(fs::path(TOVANI_SOURCE_DIR) / "samples/cards/transit.json", reader / "card.json");
    struct Case {
        const char* command;
        int status;
    };
    for (const Case& c : {Case{"tovani-card read", 5}, Case{"tovani-view balances", 1},
                          Case{"tovani-import-stations", 1}}) {
        SCOPED_TRACE(c.command);
        const std::string inside = "mount -t tmpfs none /proc && cd " + shellQuoted(cwd.str()) +
                                   " && HOME=" + shellQuoted(home.str()) +
                                   " FELICA_VIRTUAL_READER=" + shellQuoted(reader.str()) + " exec " +
                                   shellQuoted(std::string(TOVANI_PROGRAM_DIR) + "/") + c.command;
        const ToolRun r = runShell("unshare -m sh -c " + shellQuoted(inside), scratch / "err");
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find("Program folder error: "), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_empty(cwd.path()));
        EXPECT_TRUE(fs::is_empty(home.path()));
    }
}

}  // namespace
}  // namespace tovani::test
