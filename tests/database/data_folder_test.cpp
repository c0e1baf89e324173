// The program folder when it is marked portable, else the user's XDG data
// folder, whoever the user is.

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "database/file_system.h"
#include "support/temp_dir.h"

namespace tovani::test {
namespace {

namespace fs = std::filesystem;

// Run as root, whose rights ignore the mode bits, the checks run as "nobody"
// on folders given to it or left to root; otherwise unwritable is read-only.
constexpr uid_t kNobody = 65534;
bool asRoot() { return ::geteuid() == 0; }

fs::path folder(const fs::path& path, bool writable) {
    fs::create_directories(path);
    fs::permissions(path, writable ? fs::perms(0755) : fs::perms(0555));
    if (asRoot() && writable && ::chown(path.c_str(), kNobody, static_cast<gid_t>(-1)) != 0) ADD_FAILURE() << path;
    return path;
}

struct AsUser {  // a failed return to root would leave the other tests with the wrong rights
    AsUser() : switched_(asRoot()) { EXPECT_TRUE(!switched_ || ::seteuid(kNobody) == 0); }
    ~AsUser() {
        if (!switched_) return;
        if (::seteuid(0) != 0) std::abort();
        // A change of effective user clears the dumpable flag, without which
        // the leak checker cannot look at the process when it ends.
        ::prctl(PR_SET_DUMPABLE, 1);
    }
    const bool switched_;
};

TEST(DataFolder, MarkedProgramFolderElseXdgDataHomeElseHome) {
    enum Who { User, Root };  // Root: only when the test runs as root
    struct Case {
        const char* name;
        bool marked;  // the program folder holds the file "portable"
        bool programWritable;
        Who who;
        std::optional<std::string> xdg;  // "@": a writable folder of the test
        std::string expected;            // below the test's folder
    };
    const Case cases[] = {
        {"marked portable folder", true, true, User, std::nullopt, "program"},
        {"marked portable folder beats XDG_DATA_HOME", true, true, User, "@", "program"},
        {"unmarked and writable, XDG_DATA_HOME set", false, true, User, "@", "xdg/tovani-viewer"},
        {"unmarked and writable", false, true, User, std::nullopt, "home/.local/share/tovani-viewer"},
        {"installed, XDG_DATA_HOME set", false, false, User, "@", "xdg/tovani-viewer"},
        {"installed, XDG_DATA_HOME unset", false, false, User, std::nullopt, "home/.local/share/tovani-viewer"},
        {"installed, XDG_DATA_HOME empty", false, false, User, "", "home/.local/share/tovani-viewer"},
        {"installed, XDG_DATA_HOME relative", false, false, User, "data", "home/.local/share/tovani-viewer"},
        {"root, who may write to the installed folder", false, false, Root, std::nullopt,
         "home/.local/share/tovani-viewer"},
        {"root, marked portable folder", true, false, Root, std::nullopt, "program"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.who == Root && !asRoot()) continue;
        TempDir dir;
        fs::permissions(dir.path(), fs::perms(0755));
        const fs::path program = folder(dir / "program", true);
        if (c.marked) writeFile(program / "portable", "");
        folder(program, c.programWritable);
        folder(dir / "home", true);
        std::optional<std::string> xdgValue = c.xdg;
        if (xdgValue == "@") xdgValue = folder(dir / "xdg", true).string();
        const std::string home = (dir / "home").string();

        std::optional<AsUser> user;
        if (c.who == User) user.emplace();
        const std::string chosen = dataFolderFor(program, xdgValue ? xdgValue->c_str() : nullptr, home.c_str());
        EXPECT_EQ(chosen, (dir / c.expected).string());
        EXPECT_EQ(prepareDataFolder(chosen), "");
        const fs::path made = c.expected.starts_with("home") ? dir / "home/.local" : fs::path(chosen);
        EXPECT_TRUE(c.expected == "program" || fs::status(made).permissions() == fs::perms(0700)) << made;
    }
}

TEST(DataFolder, AFolderThatCannotTakeTheDataIsOneTextNamingIt) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms(0755));
    const fs::path program = folder(dir / "program", true);
    writeFile(program / "portable", "");
    const fs::path lockedHome = folder(dir / "locked-home", false);
    folder(dir / "program/RirekiDB", false);  // left by another user: its history stays in view

    AsUser user;
    const std::string installed = dataFolderFor((dir / "locked-home").string(), nullptr, lockedHome.c_str());
    EXPECT_EQ(prepareDataFolder(installed), "Data folder error: " + installed + ": Permission denied");
    EXPECT_EQ(dataFolderFor(program, nullptr, lockedHome.c_str()), program.string());
    EXPECT_EQ(prepareDataFolder(program, (program / "RirekiDB").string()),
              "Data folder error: " + (program / "RirekiDB").string() + ": Permission denied");
    EXPECT_EQ(prepareDataFolder(""), "Data folder error: no home folder to keep the data in (HOME is not set)");
}

}  // namespace
}  // namespace tovani::test
