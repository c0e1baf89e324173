// What the program asks of the system answers the same on Linux and on
// Windows: paths in kana and kanji, private folders and files, what is at a
// path, the log file; of the Shift_JIS lists what the station import's tests
// (on both systems too) leave out. The environment and loading a library are
// the reader's and the bridge's tests' on both systems.

#include <gtest/gtest.h>

#include <string>

#include "platform/os/files.h"
#include "platform/os/log_file.h"
#include "platform/os/paths.h"
#include "platform/os/shift_jis.h"
#include "support/temp_dir.h"

namespace tovani::test {
namespace {

// A lead byte whose second byte cannot follow it: refused where the
// character starts.
TEST(ShiftJis, ABadSecondByteIsRefusedAtItsLeadByte) {
    os::ShiftJisDecoder decoder;
    std::string out, problem;
    EXPECT_FALSE(decoder.decode("A\x81\x20", out, problem));
    EXPECT_EQ(problem, "bytes that are not Shift_JIS text at byte 2");
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

}  // namespace
}  // namespace tovani::test
