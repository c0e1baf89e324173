#include "platform/os/user_data_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/os/posix/xdg_data_folder.h"

namespace tovani::os {

namespace {

bool isAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

std::string withoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string homeFolder(const char* home) {
    if (isAbsolute(home)) return home;
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        isAbsolute(found->pw_dir))
        return found->pw_dir;
    return std::string();
}

}  // namespace

std::string xdgDataFolder(const char* xdgDataHome, const char* home) {
    std::string base;
    if (isAbsolute(xdgDataHome)) {
        base = withoutTrailingSeparators(xdgDataHome);
    } else {
        const std::string h = homeFolder(home);
        if (h.empty()) return std::string();
        base = withoutTrailingSeparators(h) + "/.local/share";
    }
    if (base == "/") base.clear();
    return base + "/tovani-viewer";
}

std::string userDataFolder(std::string& why) {
    std::string folder = xdgDataFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    if (folder.empty()) why = noUserDataFolder;
    return folder;
}

const char* const noUserDataFolder = "no home folder to keep the data in (HOME is not set)";
const char* const dataFolderHelp =
    "PROGRAM is the folder of the program. DATA is PROGRAM when it holds a file\n"
    "named portable (a build or a portable copy), else, for every user, root too,\n"
    "$XDG_DATA_HOME/tovani-viewer, or ~/.local/share/tovani-viewer when\n"
    "XDG_DATA_HOME is unset or not an absolute path; that folder is made with\n"
    "mode 0700 when it is first used. Card files and Station.DB are made with\n"
    "mode 0600.\n";
const char* const dataFolderEnvironmentHelp =
    "  XDG_DATA_HOME          holds the data folder tovani-viewer unless the program\n"
    "                         folder is portable (unset, empty or not absolute:\n"
    "                         ~/.local/share)\n"
    "  HOME                   the user's home folder, for ~/.local/share\n";

}  // namespace tovani::os
