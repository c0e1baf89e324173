#include "platform/os/user_data_folder.h"

#include "platform/os/windows/wide.h"

#include <shlobj.h>

namespace tovani::os {

std::string userDataFolder(std::string& why) {
    wchar_t* folder = nullptr;
    const HRESULT hr = ::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &folder);
    std::string out;
    if (SUCCEEDED(hr) && folder != nullptr && *folder != L'\0')
        out = utf8(folder) + "\\Tovani Viewer";
    else
        why = std::string(noUserDataFolder) + ": " + systemMessage(static_cast<DWORD>(hr));
    ::CoTaskMemFree(folder);
    return out;
}

const char* const noUserDataFolder = "Windows names no local application data folder (%LOCALAPPDATA%)";
const char* const dataFolderHelp =
    "PROGRAM is the folder of the program. DATA is PROGRAM when it holds a file\n"
    "named portable (a build or a portable copy), else the user's own folder\n"
    "%LOCALAPPDATA%\\Tovani Viewer, made when it is first used.\n";
const char* const dataFolderEnvironmentHelp = "";

}  // namespace tovani::os
