// What the program asks of the system answers the same on Linux and on
// Windows: Shift_JIS lists, paths in kana and kanji, private folders and
// files, what is at a path, the environment, loading a library.

#include <gtest/gtest.h>

#include <string>

#include "platform/os/files.h"
#include "platform/os/log_file.h"
#include "platform/os/paths.h"
#include "platform/os/process.h"
#include "platform/os/shared_library.h"
#include "platform/os/shift_jis.h"
#include "support/system.h"
#include "support/temp_dir.h"

namespace tovani::test {
namespace {

TEST(ShiftJis, DecodesTheListsAndRefusesWhatIsNotShiftJis) {
    struct Case {
        const char* name;
        std::string raw;
        std::string utf8;     // when it decodes
        std::string problem;  // else
    };
    const Case cases[] = {
        {"ASCII", "0,1,2,JR", "0,1,2,JR", ""},
        // 表 and 十 end in 0x5C, the backslash, which must stay part of the kanji.
        {"0x5C as a second byte", "\x95\x5C\x8E\x51\x93\xB9,\x8F\x5C\x8F\xF0", "表参道,十条", ""},
        {"half-width kana", "\xB1\xB2\xB3", "ｱｲｳ", ""},
        {"empty", "", "", ""},
        {"a lead byte without its second byte", "AB\x95", "", "incomplete Shift_JIS character at byte 3"},
        {"a second byte that cannot be one", "A\x81\x20", "", "bytes that are not Shift_JIS text at byte 2"},
    };
    os::ShiftJisDecoder decoder;
    ASSERT_EQ(decoder.unusable(), "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out, problem;
        EXPECT_EQ(decoder.decode(c.raw, out, problem), c.problem.empty()) << problem;
        EXPECT_EQ(c.problem.empty() ? out : problem, c.problem.empty() ? c.utf8 : c.problem);
    }
    // The test's own encoder and the decoder agree.
    std::string back, problem;
    EXPECT_TRUE(decoder.decode(toShiftJis("能勢口 バス停"), back, problem)) << problem;
    EXPECT_EQ(back, "能勢口 バス停");
}

TEST(Files, PrivateFoldersAndFilesUnderANameInKanaAndKanji) {
    TempDir dir;
    const std::string top = dir.str() + "/カード 履歴";
    const std::string nested = top + "/駅/RirekiDB";
    EXPECT_TRUE(os::nothingAt(top));
    EXPECT_EQ(os::makePrivateFolders(nested), "");
    EXPECT_EQ(os::makePrivateFolders(nested), "");  // there already
    EXPECT_TRUE(os::isFolder(nested));
    EXPECT_EQ(os::folderWriteProblem(nested), "");
    EXPECT_EQ(os::notPlainFileReason(nested), "not a regular file");

    const std::string file = nested + "/SF_0101.DB";
    EXPECT_EQ(os::notPlainFileReason(file), "");  // nothing there
    EXPECT_TRUE(os::createPrivateFile(file));
    EXPECT_FALSE(os::createPrivateFile(file));  // never over what is there
    EXPECT_TRUE(os::isRegularFile(file));
    EXPECT_EQ(os::notPlainFileReason(file), "");
    EXPECT_TRUE(std::filesystem::exists(os::osPath(file)));
    EXPECT_EQ(os::pathText(os::osPath(file).filename()), "SF_0101.DB");
    EXPECT_EQ(os::pathText(os::osPath(top).filename()), "カード 履歴");

    const std::string temp = file + ".new";
    writeFile(os::osPath(temp), "new");
    EXPECT_TRUE(os::replaceFile(temp, file, true));
    EXPECT_EQ(readFile(os::osPath(file)), "new");
    EXPECT_TRUE(os::nothingAt(temp));
    EXPECT_TRUE(os::removeFile(file));
    EXPECT_TRUE(os::nothingAt(file));

    const std::string inTheWay = dir.str() + "/a file";
    writeFile(os::osPath(inTheWay), "");
    EXPECT_NE(os::makePrivateFolders(inTheWay + "/below"), "");
}

TEST(LogFile, AppendsAcrossOpeningsAndRefusesAFolder) {
    TempDir dir;
    const std::string path = dir.str() + "/読み取り.log";
    std::string why;
    for (const char* line : {"one\n", "two\n"}) {
        os::LogFile log;
        ASSERT_TRUE(log.open(path, why)) << why;
        EXPECT_TRUE(log.append(line, why)) << why;
    }
    EXPECT_EQ(readFile(os::osPath(path)), "one\ntwo\n");
    os::LogFile log;
    ASSERT_TRUE(log.open(path, why)) << why;
    EXPECT_EQ(log.size(), 8);
    os::LogFile folder;
    EXPECT_FALSE(folder.open(dir.str(), why));
    EXPECT_NE(why, "");
}

TEST(Process, EnvironmentInUtf8) {
    const std::string name = "TOVANI_OS_TEST";
    unsetEnvironment(name);
    EXPECT_EQ(os::environmentVariable(name.c_str()), std::nullopt);
    setEnvironment(name, "C:/カード/駅");
    EXPECT_EQ(os::environmentVariable(name.c_str()), std::optional<std::string>("C:/カード/駅"));
    unsetEnvironment(name);
}

TEST(SharedLibrary, AMissingLibraryIsAReasonNotACrash) {
    TempDir dir;
    std::string why;
    EXPECT_EQ(os::loadLibrary(dir.str() + "/" + os::bridgeLibraryName, why), nullptr);
    EXPECT_NE(why, "");
    why.clear();
    void* system = os::loadLibrary(libraryWithoutTheBridge, why);
    ASSERT_NE(system, nullptr) << why;
    EXPECT_EQ(os::librarySymbol(system, "rowgate_open_v2"), nullptr);
}

}  // namespace
}  // namespace tovani::test
