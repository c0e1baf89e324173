#pragma once

// Where the main window was and how large it was, kept in the settings file
// beside the program between runs: section "Setting", keys "Left", "Top",
// "Width", "Height", whole numbers of twips.

#include <cstdint>
#include <string>
#include <vector>

namespace tovani {

struct WindowSetting {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;

    bool operator==(const WindowSetting&) const = default;
};

// programDir + "/" + exeBaseName + ".ini" (TovaniViewer.ini for the program).
std::string settingsFilePath(const std::string& programDir, const std::string& exeBaseName);
// The same for the path of the running executable: its folder, and its file
// name without the last extension.
std::string settingsFileOfExecutable(const std::string& exePath);

// The four keys, each defaulting on its own: Left and Top to 0, Width and
// Height to the window's designed size.
WindowSetting loadWindowSetting(const std::string& settingsFile, int32_t designedWidth,
                                int32_t designedHeight);

// Writes Left, Top, Width, Height in that order as decimal text. Returns
// false when any of them could not be written (the window does not check).
bool saveWindowSetting(const std::string& settingsFile, const WindowSetting& setting);

// A rectangle on the desktop in pixels, as the window system places windows.
struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const PixelRect&) const = default;
};

// The window cut to the screen it lands on, the free area (of `areas`) it
// overlaps most: a width or height larger than that area's is cut to it, and
// on that side the window then starts where the area starts, so the far edge
// (the message line) shows too. A size that fits keeps its place, and a
// window on no area is returned as it is.
PixelRect cutToScreen(const PixelRect& window, const std::vector<PixelRect>& areas);

// The length two spans (start and length on one axis) share, 0 for none; 64
// bits, so no stored value overflows.
int64_t overlap(int64_t start, int64_t length, int64_t otherStart, int64_t otherLength);

}  // namespace tovani
