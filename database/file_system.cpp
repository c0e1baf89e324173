#include "database/file_system.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/os/paths.h"
#include "platform/os/program_folder.h"

namespace tovani {

namespace fs = std::filesystem;

namespace {

std::string folderError(const std::string& folder, const std::string& reason) {
    return "Data folder error: " + folder + ": " + reason;
}

bool isPortable(const std::string& programDir) {
    return os::isRegularFile(programDir + "/" + portableMarker);
}

bool holdsCardFiles(const std::string& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(os::osPath(folder), ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (it->path().extension() == ".DB") return true;
    }
    return false;
}

}  // namespace

std::string programFolder() {
    std::string why;
    const std::string exe = os::executablePath(why);
    return exe.empty() ? std::string() : os::pathText(os::osPath(exe).parent_path());
}

std::string programFolderError() {
    std::string why;
    if (!os::executablePath(why).empty()) return std::string();
    return "Program folder error: the program's folder cannot be found (" + os::executablePathProblem(why) +
           "); the database library is loaded from that folder only";
}

std::string dataFolderFor(const std::string& programDir, const std::string& userFolder) {
    if (!programDir.empty() && isPortable(programDir)) return programDir;
    return userFolder;
}

std::string dataFolder() {
    const std::string program = programFolder();
    std::string why;
    const std::string data = dataFolderFor(program, os::userDataFolder(why));
    // An earlier version kept the data beside any program folder it could
    // write to. Those files are neither moved nor used; say where they are so
    // that the history stays findable.
    if (!program.empty() && data != program && holdsCardFiles(program + "/RirekiDB")) {
        std::fprintf(stderr,
                     "Tovani Viewer: %s/RirekiDB holds card files of an earlier version, which are not used: "
                     "the data folder is %s. Move them there, or put a file named %s into %s to keep the "
                     "data beside the program.\n",
                     program.c_str(), data.empty() ? "unknown" : data.c_str(), portableMarker, program.c_str());
    }
    return data;
}

std::string prepareDataFolder(const std::string& folder, const std::string& cardFolder) {
    if (folder.empty()) return std::string("Data folder error: ") + os::noUserDataFolder;
    // Each missing folder on the way is made private: ~/.local/share may not
    // exist yet in a fresh home.
    if (const std::string error = os::makePrivateFolders(folder); !error.empty()) return folderError(folder, error);
    auto check = [](const std::string& f) {
        if (!os::isFolder(f)) return folderError(f, "not a folder");
        if (const std::string error = os::folderWriteProblem(f); !error.empty()) return folderError(f, error);
        return std::string();
    };
    if (std::string error = check(folder); !error.empty()) return error;
    // A card folder that is there but cannot take a card keeps its history
    // visible; a missing one is made at the first store.
    if (!cardFolder.empty() && !os::nothingAt(cardFolder)) return check(cardFolder);
    return std::string();
}

bool folderExists(const std::string& path) { return os::isFolder(path); }

bool fileExists(const std::string& path) { return os::isRegularFile(path); }

bool createFolder(const std::string& path, std::string* why) {
    const std::string error = os::makePrivateFolders(path);
    if (why != nullptr) *why = error;
    return error.empty();
}

}  // namespace tovani
