#include <gtest/gtest.h>

#include "support/system.h"
#include "reader_support.h"

namespace tovani::test {
namespace {

TEST(ErrorTexts, TableCoversTheLibraryErrorValues) {
    ReaderState reader;
    initErrorMessages(reader);
    EXPECT_EQ(errorMessageText(reader, 1000), "エラーは発生していません");
    EXPECT_EQ(errorMessageText(reader, 1025), "FeliCa リーダ／ライタコントロールライブラリを見つけることができません");
    EXPECT_EQ(errorMessageText(reader, 1036), "ポーリングに失敗しました");
    EXPECT_EQ(errorMessageText(reader, 1060), "この OS では実装されていいない API です");
    EXPECT_EQ(errorMessageText(reader, 1076), "Communicate Thruコマンドの実行に失敗しました");
    EXPECT_EQ(errorMessageText(reader, 1096), "");
    EXPECT_EQ(errorMessageText(reader, 1097), "ソフトリセットに失敗しました");
    EXPECT_EQ(errorMessageText(reader, 999), std::nullopt);
    EXPECT_EQ(errorMessageText(reader, 1098), std::nullopt);
    EXPECT_EQ(errorMessageText(reader, 0), std::nullopt);
    int filled = 0;
    for (const std::string& text : reader.ErrorMessages) filled += !text.empty();
    EXPECT_EQ(filled, 97);
}

class Connection : public ::testing::Test, public VirtualReaderFixture {
protected:
    ReaderState reader;
};

TEST_F(Connection, OpensAndClosesOnce) {
    ASSERT_TRUE(openReader(reader));
    EXPECT_TRUE(reader.LibraryInitialized);
    EXPECT_TRUE(reader.ReaderWriterOpened);
    closeReader(reader);
    EXPECT_FALSE(reader.LibraryInitialized);
    EXPECT_FALSE(reader.ReaderWriterOpened);
    // The second close calls nothing: the library still reports what the
    // first close left (no failure).
    closeReader(reader);
    int32_t e1 = 0, e2 = 0;
    felica::get_last_error_types(reader.Library, e1, e2);
    EXPECT_EQ(e1, felica::ErrorNone);
    // A new connection after closing.
    EXPECT_TRUE(openReader(reader));
    closeReader(reader);
}

TEST_F(Connection, NoReaderWriterWindsBack) {
    setEnvironment("FELICA_VIRTUAL_READER", readerDir.str() + "/missing");
    EXPECT_FALSE(openReader(reader));
    EXPECT_EQ(reader.LastErrorType, 1028);
    EXPECT_FALSE(reader.LibraryInitialized);
    EXPECT_FALSE(reader.ReaderWriterOpened);
}

TEST_F(Connection, ReaderThatOpensButDoesNotAnswerLeavesBothFlagsFalse) {
    unplug();
    EXPECT_FALSE(openReader(reader));
    EXPECT_EQ(reader.LastErrorType, 1069);
    EXPECT_FALSE(reader.LibraryInitialized);
    EXPECT_FALSE(reader.ReaderWriterOpened);
    plugIn();
    EXPECT_TRUE(openReader(reader));
}

TEST_F(Connection, LibraryThatCannotStartKeepsTheLastErrorType) {
    ASSERT_TRUE(felica::initialize_library(reader.Library));  // initialised behind the flags' back
    reader.LastErrorType = 1031;
    EXPECT_FALSE(openReader(reader));
    EXPECT_EQ(reader.LastErrorType, 1031);
    EXPECT_FALSE(reader.LibraryInitialized);
}

}  // namespace
}  // namespace tovani::test
