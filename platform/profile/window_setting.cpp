#include "platform/profile/window_setting.h"

#include <filesystem>

#include "platform/profile/private_profile.h"

namespace tovani {

namespace {
constexpr const char* kSection = "Setting";
}

std::string settingsFilePath(const std::string& programDir, const std::string& exeBaseName) {
    return programDir + "/" + exeBaseName + ".ini";
}

std::string settingsFileOfExecutable(const std::string& exePath) {
    const std::filesystem::path p(exePath);
    return settingsFilePath(p.parent_path().string(), p.stem().string());
}

WindowSetting loadWindowSetting(const std::string& settingsFile, int32_t designedWidth,
                                int32_t designedHeight) {
    WindowSetting s;
    s.Left = getPrivateProfileInt(kSection, "Left", 0, settingsFile);
    s.Top = getPrivateProfileInt(kSection, "Top", 0, settingsFile);
    s.Width = getPrivateProfileInt(kSection, "Width", designedWidth, settingsFile);
    s.Height = getPrivateProfileInt(kSection, "Height", designedHeight, settingsFile);
    return s;
}

bool saveWindowSetting(const std::string& settingsFile, const WindowSetting& setting) {
    bool ok = writePrivateProfileString(kSection, "Left", std::to_string(setting.Left), settingsFile);
    ok = writePrivateProfileString(kSection, "Top", std::to_string(setting.Top), settingsFile) && ok;
    ok = writePrivateProfileString(kSection, "Width", std::to_string(setting.Width), settingsFile) && ok;
    ok = writePrivateProfileString(kSection, "Height", std::to_string(setting.Height), settingsFile) && ok;
    return ok;
}

}  // namespace tovani
