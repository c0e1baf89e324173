// The program folder when it is marked portable, else the user's XDG data folder, root's too.

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "database/file_system.h"
#include "platform/os/posix/xdg_data_folder.h"
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
    struct Case {
        const char* name;
        bool programWritable;
        std::optional<std::string> xdg;  // "@": a writable folder of the test
        std::string expected;            // below the test's folder
        bool marked = false;             // the program folder holds the file "portable"
        bool root = false;               // run as root (only when the test is)
    };
    const Case cases[] = {
        {"portable folder", true, std::nullopt, "program", true},
        {"portable folder beats XDG_DATA_HOME", true, "@", "program", true},
        {"unmarked and writable", true, std::nullopt, "home/.local/share/tovani-viewer"},
        {"installed, XDG_DATA_HOME set", false, "@", "xdg/tovani-viewer"},
        {"installed, XDG_DATA_HOME unset", false, std::nullopt, "home/.local/share/tovani-viewer"},
        {"installed, XDG_DATA_HOME empty", false, "", "home/.local/share/tovani-viewer"},
        {"installed, XDG_DATA_HOME relative", false, "data", "home/.local/share/tovani-viewer"},
        {"root, who may write anywhere", false, std::nullopt, "home/.local/share/tovani-viewer", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.root && !asRoot()) continue;
        TempDir dir;
        fs::permissions(dir.path(), fs::perms(0755));
        const fs::path program = folder(dir / "program", c.programWritable);
        if (c.marked) writeFile(program / "portable", "");
        folder(dir / "home", true);
        std::optional<std::string> xdgValue = c.xdg;
        if (xdgValue == "@") xdgValue = folder(dir / "xdg", true).string();
        const std::string home = (dir / "home").string();

        std::optional<AsUser> user;
        if (!c.root) user.emplace();
        const std::string chosen =
            dataFolderFor(program, os::xdgDataFolder(xdgValue ? xdgValue->c_str() : nullptr, home.c_str()));
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
    const std::string installed = dataFolderFor((dir / "locked-home").string(), os::xdgDataFolder(nullptr, lockedHome.c_str()));
    EXPECT_EQ(prepareDataFolder(installed), "Data folder error: " + installed + ": Permission denied");
    EXPECT_EQ(dataFolderFor(program, os::xdgDataFolder(nullptr, lockedHome.c_str())), program.string());
    EXPECT_EQ(prepareDataFolder(program, (program / "RirekiDB").string()),
              "Data folder error: " + (program / "RirekiDB").string() + ": Permission denied");
    EXPECT_EQ(prepareDataFolder(""), "Data folder error: no home folder to keep the data in (HOME is not set)");
}

}  // namespace
}  // namespace tovani::test
