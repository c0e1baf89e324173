#include "platform/profile/window_setting.h"

#include <algorithm>
#include <filesystem>

#include "platform/os/paths.h"
#include "platform/profile/private_profile.h"

namespace tovani {

namespace {
constexpr const char* kSection = "Setting";
}

std::string settingsFilePath(const std::string& programDir, const std::string& exeBaseName) {
    return programDir + "/" + exeBaseName + ".ini";
}

std::string settingsFileOfExecutable(const std::string& exePath) {
    const std::filesystem::path p = os::osPath(exePath);
    return settingsFilePath(os::pathText(p.parent_path()), os::pathText(p.stem()));
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

int64_t overlap(int64_t start, int64_t length, int64_t otherStart, int64_t otherLength) {
    return std::max<int64_t>(0, std::min(start + length, otherStart + otherLength) - std::max(start, otherStart));
}

PixelRect cutToScreen(const PixelRect& window, const std::vector<PixelRect>& areas) {
    const PixelRect* landed = nullptr;
    int64_t most = 0;
    for (const PixelRect& a : areas) {
        const int64_t shared = overlap(window.left, window.width, a.left, a.width) *
                               overlap(window.top, window.height, a.top, a.height);
        if (shared > most) {
            most = shared;
            landed = &a;
        }
    }
    if (landed == nullptr) return window;
    PixelRect cut = window;
    if (cut.width > landed->width) {
        cut.width = landed->width;
        cut.left = landed->left;
    }
    if (cut.height > landed->height) {
        cut.height = landed->height;
        cut.top = landed->top;
    }
    return cut;
}

}  // namespace tovani
