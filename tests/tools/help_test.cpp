// --help (-h) and --version of every executable; help2man makes the manual pages from them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/felica/reader_help.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace tovani::test {
namespace {

ToolRun runWithoutDisplay(const std::string& program, const std::string& args, const TempDir& scratch) {
    const std::string path = shellQuoted(std::string(TOVANI_PROGRAM_DIR) + "/" + program);
    return runShell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + path + " " + args, scratch / "err");
}

TEST(Help, EveryExecutableAnswersHelpAndVersionWithoutADisplay) {
    struct Case {
        const char* program;
        std::vector<std::string> named;  // what its help must tell, beyond the usage
    };
    // The programs that open a reader tell every way to choose one.
    const std::string readers = felica::readerEnvironmentHelp();
    const Case cases[] = {
        {"TovaniViewer", {readers, "XDG_DATA_HOME", "Exit status:"}},
        {"tovani-card", {readers, "XDG_DATA_HOME", "--program-dir"}},
        {"tovani-view", {"XDG_DATA_HOME", "Station.DB", "--csv"}},
        {"tovani-import-stations", {"XDG_DATA_HOME", "StationCode.csv"}},
    };
    TempDir scratch;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        const ToolRun help = runWithoutDisplay(c.program, "--help", scratch);
        EXPECT_EQ(help.status, 0) << help.err;
        EXPECT_TRUE(help.out.starts_with(std::string("Usage: ") + c.program + " ")) << help.out;
        for (const std::string& word : c.named) EXPECT_NE(help.out.find(word), std::string::npos) << word;

        const ToolRun version = runWithoutDisplay(c.program, "--version", scratch);
        EXPECT_EQ(version.status, 0) << version.err;
        EXPECT_EQ(version.out, std::string(c.program) + " " + TOVANI_VERSION + "\n");

        // -h is --help everywhere, and either of them (or --version) beside
        // anything else is the program's usage error.
        const ToolRun h = runWithoutDisplay(c.program, "-h", scratch);
        EXPECT_EQ(h.status, 0) << h.err;
        EXPECT_EQ(h.out, help.out);
        for (const char* args : {"--help extra", "-h --version", "extra --version"}) {
            const ToolRun misused = runWithoutDisplay(c.program, args, scratch);
            EXPECT_EQ(misused.status, 2) << args;
            EXPECT_EQ(misused.out, "") << args;
            EXPECT_NE(misused.err.find(std::string("Try '") + c.program + " --help'"), std::string::npos)
                << args << ": " << misused.err;
        }
    }

    // Without a display the window fails to open with a reason, not an abort.
    const ToolRun window = runWithoutDisplay("TovaniViewer", "", scratch);
    EXPECT_EQ(window.status, 1);
    EXPECT_NE(window.err, "");
}

}  // namespace
}  // namespace tovani::test
