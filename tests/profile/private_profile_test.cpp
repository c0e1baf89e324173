#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

#include "platform/profile/private_profile.h"
#include "platform/profile/window_setting.h"
#include "support/temp_dir.h"

namespace tovani::test {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(PrivateProfileRead, ValuesDefaultsAndLeadingIntegers) {
    struct Case {
        const char* file;  // nullptr: no file at all
        const char* section;
        const char* key;
        int32_t expected;  // with default 77
    };
    const char* usual = "[Setting]\nLeft=1200\nTop=900\n";
    const Case cases[] = {
        {nullptr, "Setting", "Left", 77},
        {"", "Setting", "Left", 77},
        {usual, "Setting", "Left", 1200},
        {usual, "Setting", "Top", 900},
        {usual, "Setting", "Width", 77},
        {usual, "Other", "Left", 77},
        {"Left=5\n[Setting]\n", "Setting", "Left", 77},  // outside any section
        {"[Other]\nLeft=5\n[Setting]\nTop=1\n", "Setting", "Left", 77},
        {"[setting]\nleft=15\n", "Setting", "Left", 15},  // names ignore letter case
        {"  [ Setting ]  \r\n  Left  =  -240  \r\n", "Setting", "Left", -240},
        {"[Setting]\nLeft=12px\n", "Setting", "Left", 12},
        {"[Setting]\nLeft=+7\n", "Setting", "Left", 7},
        {"[Setting]\nLeft=abc\n", "Setting", "Left", 0},
        {"[Setting]\nLeft=-\n", "Setting", "Left", 0},
        {"[Setting]\nLeft=1.9\n", "Setting", "Left", 1},
        {"[Setting]\nLeft=\n", "Setting", "Left", 77},  // no value at all
        {"[Setting]\nLeft=   \n", "Setting", "Left", 77},
        {"[Setting]\nLeft=2147483647\n", "Setting", "Left", kMax},
        {"[Setting]\nLeft=2147483648\n", "Setting", "Left", kMax},
        {"[Setting]\nLeft=99999999999999999999999\n", "Setting", "Left", kMax},
        {"[Setting]\nLeft=-2147483648\n", "Setting", "Left", kMin},
        {"[Setting]\nLeft=-2147483649\n", "Setting", "Left", kMin},
        {"[Setting]\n;Left=3\nLeft=4\n", "Setting", "Left", 4},  // comments are no keys
        {"[Setting]\nLeft=1\nLeft=2\n", "Setting", "Left", 1},   // the first key counts
        {"[Setting]\nLeft=1\n[Setting]\nLeft=2\nTop=3\n", "Setting", "Top", 77},  // and the first section
        {"[Setting]\nLeft=8", "Setting", "Left", 8},  // no line end at the end
        {"\xEF\xBB\xBF[Setting]\r\nLeft=640\r\n", "Setting", "Left", 640},  // saved by an editor with a BOM
        {"\xEF\xBB\xBFLeft=3\n[Setting]\n", "Setting", "Left", 77},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "(no file)");
        TempDir dir;
        const std::string file = (dir / "a.ini").string();
        if (c.file) writeFile(file, c.file);
        EXPECT_EQ(getPrivateProfileInt(c.section, c.key, 77, file), c.expected);
    }
}

TEST(PrivateProfileRead, AFolderInPlaceOfTheFileGivesTheDefault) {
    TempDir dir;
    std::filesystem::create_directory(dir / "a.ini");
    EXPECT_EQ(getPrivateProfileInt("Setting", "Left", -3, (dir / "a.ini").string()), -3);
}

TEST(PrivateProfileWrite, KeysAreReplacedInPlaceAndEverythingElseIsKept) {
    struct Case {
        const char* what;
        const char* before;  // nullptr: no file
        const char* section;
        const char* key;
        const char* value;
        const char* after;
    };
    const Case cases[] = {
        {"new file", nullptr, "Setting", "Left", "1200", "[Setting]\nLeft=1200\n"},
        {"empty file", "", "Setting", "Left", "0", "[Setting]\nLeft=0\n"},
        {"replace in place", "[Setting]\nLeft=1\nTop=2\n", "Setting", "Left", "-5",
         "[Setting]\nLeft=-5\nTop=2\n"},
        {"replace keeps comments, other sections and order",
         "; placement\n[Other]\nLeft=9\n\n[Setting]\n; x\nTop=2\nLeft=1\n\n[Last]\nA=b\n", "Setting", "Left", "7",
         "; placement\n[Other]\nLeft=9\n\n[Setting]\n; x\nTop=2\nLeft=7\n\n[Last]\nA=b\n"},
        {"names ignore letter case", "[SETTING]\n  left = 1  \n", "Setting", "Left", "2", "[SETTING]\nLeft=2\n"},
        {"missing key goes to the end of its section, before blank lines",
         "[Setting]\nLeft=1\n\n[Other]\nX=1\n", "Setting", "Top", "3",
         "[Setting]\nLeft=1\nTop=3\n\n[Other]\nX=1\n"},
        {"missing section goes to the end", "[Other]\nX=1\n", "Setting", "Width", "9360",
         "[Other]\nX=1\n[Setting]\nWidth=9360\n"},
        {"a last line without line end", "[Other]\nX=1", "Setting", "Width", "1",
         "[Other]\nX=1\n[Setting]\nWidth=1\n"},
        {"a key in a section without line end", "[Setting]\nLeft=1", "Setting", "Top", "2",
         "[Setting]\nLeft=1\nTop=2\n"},
        {"CR LF files stay CR LF", "[Setting]\r\nLeft=1\r\n", "Setting", "Top", "2",
         "[Setting]\r\nLeft=1\r\nTop=2\r\n"},
        {"only the first of two equal keys", "[Setting]\nLeft=1\nLeft=2\n", "Setting", "Left", "3",
         "[Setting]\nLeft=3\nLeft=2\n"},
        {"a key of the same name elsewhere stays", "[Other]\nLeft=1\n", "Setting", "Left", "3",
         "[Other]\nLeft=1\n[Setting]\nLeft=3\n"},
        {"an empty value", "[Setting]\nLeft=1\n", "Setting", "Left", "", "[Setting]\nLeft=\n"},
        {"text without any section", "just some text\n", "Setting", "Left", "1",
         "just some text\n[Setting]\nLeft=1\n"},
        {"a byte-order mark stays in front, the section behind it is found", "\xEF\xBB\xBF[Setting]\nLeft=1\n",
         "Setting", "Left", "2", "\xEF\xBB\xBF[Setting]\nLeft=2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string file = (dir / "a.ini").string();
        if (c.before) writeFile(file, c.before);
        ASSERT_TRUE(writePrivateProfileString(c.section, c.key, c.value, file));
        EXPECT_EQ(readFile(file), c.after);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
            << "no temporary file left behind";
    }
}

TEST(PrivateProfileWrite, WhatCannotBeStoredIsRefusedAndTheFileKept) {
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"Setting", "", "1"},        {"Setting", "Le=ft", "1"}, {"Setting", "Left", "1\n[Evil]"},
        {"Set]ting", "Left", "1"},   {"Setting", "Left\r", "1"}, {"Setting", " Left", "1"},
        {"Setting\nX", "Left", "1"}, {"Setting", ";Left", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key + "/" + c.value);
        TempDir dir;
        const std::string file = (dir / "a.ini").string();
        writeFile(file, "[Setting]\nLeft=1\n");
        EXPECT_FALSE(writePrivateProfileString(c.section, c.key, c.value, file));
        EXPECT_EQ(readFile(file), "[Setting]\nLeft=1\n");
    }
}

TEST(PrivateProfileWrite, FailuresAreReportedNotHidden) {
    TempDir dir;
    // The folder does not exist: it is not made.
    EXPECT_FALSE(writePrivateProfileString("Setting", "Left", "1", (dir / "no" / "a.ini").string()));
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));

    // A folder in place of the file.
    std::filesystem::create_directory(dir / "d.ini");
    EXPECT_FALSE(writePrivateProfileString("Setting", "Left", "1", (dir / "d.ini").string()));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "d.ini"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no temporary file left";

    if (::geteuid() != 0) {  // root writes anywhere
        const std::string file = (dir / "a.ini").string();
        writeFile(file, "[Setting]\nLeft=1\n");
        ::chmod(dir.str().c_str(), 0555);
        EXPECT_FALSE(writePrivateProfileString("Setting", "Left", "2", file));
        ::chmod(dir.str().c_str(), 0755);
        EXPECT_EQ(readFile(file), "[Setting]\nLeft=1\n");
    }
}

TEST(PrivateProfileWrite, ALinkedFileIsWrittenWhereTheLinkPoints) {
    TempDir dir;
    std::filesystem::create_directory(dir / "real");
    writeFile(dir / "real" / "a.ini", "[Setting]\nLeft=1\n");
    std::filesystem::create_symlink("real/a.ini", dir / "a.ini");
    ASSERT_TRUE(writePrivateProfileString("Setting", "Left", "2", (dir / "a.ini").string()));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "a.ini"));
    EXPECT_EQ(readFile(dir / "real" / "a.ini"), "[Setting]\nLeft=2\n");
}

TEST(WindowSettingFile, FirstStartUsesDefaultsAndClosingWritesAllFourKeys) {
    TempDir dir;
    const std::string file = settingsFilePath(dir.str(), "TovaniViewer");
    EXPECT_EQ(file, dir.str() + "/TovaniViewer.ini");
    EXPECT_EQ(loadWindowSetting(file, 9360, 5490), (WindowSetting{0, 0, 9360, 5490}));

    ASSERT_TRUE(saveWindowSetting(file, {1200, 900, 9360, 5490}));
    EXPECT_EQ(readFile(file), "[Setting]\nLeft=1200\nTop=900\nWidth=9360\nHeight=5490\n");
    EXPECT_EQ(loadWindowSetting(file, 1, 1), (WindowSetting{1200, 900, 9360, 5490}));

    // Moved off-screen and closed: restored unchanged, negative values too.
    ASSERT_TRUE(saveWindowSetting(file, {-3000, 20000, 100, kMax}));
    EXPECT_EQ(loadWindowSetting(file, 1, 1), (WindowSetting{-3000, 20000, 100, kMax}));
    EXPECT_EQ(readFile(file), "[Setting]\nLeft=-3000\nTop=20000\nWidth=100\nHeight=2147483647\n");
}

TEST(WindowSettingFile, EachKeyDefaultsOnItsOwn) {
    TempDir dir;
    const std::string file = (dir / "TovaniViewer.ini").string();
    writeFile(file, "[Setting]\nWidth=8000\nHeight=6000\n");
    EXPECT_EQ(loadWindowSetting(file, 9360, 5490), (WindowSetting{0, 0, 8000, 6000}));
    writeFile(file, "[Setting]\nLeft=10\n");
    EXPECT_EQ(loadWindowSetting(file, 9360, 5490), (WindowSetting{10, 0, 9360, 5490}));
}

TEST(WindowSettingFile, PathOfTheRunningExecutable) {
    EXPECT_EQ(settingsFileOfExecutable("/opt/tovani/bin/TovaniViewer"), "/opt/tovani/bin/TovaniViewer.ini");
    EXPECT_EQ(settingsFileOfExecutable("/opt/x/Viewer.bin"), "/opt/x/Viewer.ini");
    EXPECT_EQ(settingsFileOfExecutable("/opt/x.y/Viewer"), "/opt/x.y/Viewer.ini");
}

}  // namespace
}  // namespace tovani::test
