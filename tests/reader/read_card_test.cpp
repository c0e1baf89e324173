#include <gtest/gtest.h>

#include "reader_support.h"
#include "store/card_store.h"
#include "store/db_files.h"

namespace tovani::test {
namespace {

constexpr uint64_t kTransitIdm = 0x010100123456789AULL;
constexpr uint64_t kEdyIdm = 0x012E4CD500A00F72ULL;

felica::ServiceImage transitInfo() { return service(0x008B, {felica::Block{}}); }
felica::ServiceImage edyInfo() { return service(0x110B, {felica::Block{}, felica::Block{}}); }

felica::CardImage transitCard(uint64_t idm, std::vector<felica::Block> history) {
    return card({system(0x0003, idm, {transitInfo(), service(0x090F, std::move(history))})});
}

class ReadCard : public ::testing::Test, public VirtualReaderFixture {
protected:
    void SetUp() override {
        initErrorMessages(reader);
        ASSERT_TRUE(openReader(reader));
    }
    ReadState read() { return readCard(reader, results, storedRirekiLookup(programDir.str())); }
    void reopen() { ASSERT_TRUE(openReader(reader)); }

    ReaderState reader;
    CardReadResults results;
};

TEST_F(ReadCard, CardIsReadOnceWhileItStaysAndAgainAfterLifting) {
    EXPECT_EQ(read(), ReadStateNoCard);
    EXPECT_EQ(reader.LastErrorType, 1036);
    EXPECT_TRUE(reader.ReaderWriterOpened);

    laySample("edy.json");
    EXPECT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardKind, CardKindEdy);
    EXPECT_EQ(results.CardID, "012E-4CD5-00A0-0F72");
    EXPECT_EQ(results.HakkouYmd, 20120401);
    EXPECT_EQ(results.CardRireki[0].Zangaku, 1456);
    EXPECT_EQ(results.LastCardIDm, idmBytes(kEdyIdm));

    EXPECT_EQ(read(), ReadStateSameCard);
    EXPECT_EQ(read(), ReadStateSameCard);

    lift();
    EXPECT_EQ(read(), ReadStateNoCard);
    EXPECT_EQ(results.LastCardIDm, (std::array<uint8_t, 8>{}));
    laySample("edy.json");
    EXPECT_EQ(read(), ReadStateRead);

    // Swapping cards without a gap in between is a new card too.
    laySample("waon.json");
    EXPECT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardKind, CardKindWaon);
    EXPECT_EQ(results.HakkouYmd, 0);
    EXPECT_EQ(results.CardRireki[0].TorihikiTsuuban, 43);  // sorted, newest first
    EXPECT_EQ(results.CardRireki[2].TorihikiTsuuban, 41);
}

TEST_F(ReadCard, EverySampleFamilyIsRecognised) {
    const struct {
        const char* file;
        int32_t kind;
        const char* id;
        int32_t balance;
    } samples[] = {
        {"edy.json", CardKindEdy, "012E-4CD5-00A0-0F72", 1456},
        {"nanaco.json", CardKindNanaco, "7006-1234-5678-9012", 2602},
        {"waon.json", CardKindWaon, "6800-1234-5678-9000", 1000},
        {"transit.json", CardKindSF, "0101-0012-3456-789A", 1982},
    };
    for (const auto& s : samples) {
        lift();
        EXPECT_EQ(read(), ReadStateNoCard);
        laySample(s.file);
        ASSERT_EQ(read(), ReadStateRead) << s.file;
        EXPECT_EQ(results.CardKind, s.kind) << s.file;
        EXPECT_EQ(results.CardID, s.id) << s.file;
        EXPECT_EQ(results.CardRireki[0].Zangaku, s.balance) << s.file;
    }
    // The transit sample's newest use: 200 yen paid from 2182.
    EXPECT_EQ(results.CardRireki[0].Kingaku, 200);
    EXPECT_EQ(results.CardRireki[0].Charge, 0);
    EXPECT_EQ(results.CardRireki[0].RiyouYmd, 20150315);
}

TEST_F(ReadCard, FirstSupportedSystemInTheCardsListWins) {
    const auto edy = system(0xFE00, kEdyIdm, {edyInfo(), service(0x170F, {edyBlock(0x20, 5, 100, 900)})});
    const auto transit = system(0x0003, kTransitIdm, {transitInfo(), service(0x090F, transitHistory(2, 9, 500))});
    const auto other = system(0x88B4, 0x0909090909090909ULL, {});

    lay(card({other, transit, edy}));
    EXPECT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardKind, CardKindSF);
    EXPECT_EQ(results.CardID, "0101-0012-3456-789A");  // from the IDm of the transit system

    lift();
    EXPECT_EQ(read(), ReadStateNoCard);
    lay(card({other, edy, transit}));
    EXPECT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardKind, CardKindEdy);
    EXPECT_EQ(results.LastCardIDm, idmBytes(kEdyIdm));
}

TEST_F(ReadCard, FirstMatchingServiceInTheListWins) {
    felica::Block waonFirst{}, waonSecond{};
    waonFirst[14] = 7;      // serial, offsets 13-14 of the pair
    waonSecond[1] = 0x04;   // use kind, offset 17 of the pair
    const auto waonHistory = service(0x680B, {waonFirst, waonSecond});
    const auto edyHistory = service(0x170F, {edyBlock(0x20, 5, 100, 900)});
    const auto waonInfo = service(0x684F, {felica::Block{}, felica::Block{}});

    lay(card({system(0xFE00, kEdyIdm, {waonHistory, edyHistory, waonInfo, edyInfo()})}));
    EXPECT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardKind, CardKindWaon);

    lift();
    EXPECT_EQ(read(), ReadStateNoCard);
    lay(card({system(0xFE00, kEdyIdm, {edyHistory, waonHistory, waonInfo, edyInfo()})}));
    EXPECT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardKind, CardKindEdy);

    // On a transit system only the transit history counts.
    lift();
    EXPECT_EQ(read(), ReadStateNoCard);
    lay(card({system(0x0003, kTransitIdm,
                     {edyHistory, edyInfo(), transitInfo(), service(0x090F, transitHistory(1, 3, 100))})}));
    EXPECT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardKind, CardKindSF);
}

TEST_F(ReadCard, UnsupportedSystemLeavesTheResultsAlone) {
    laySample("edy.json");
    ASSERT_EQ(read(), ReadStateRead);
    laySample("unsupported-system.json");
    EXPECT_EQ(read(), ReadStateNotSupported);
    EXPECT_EQ(results.CardKind, CardKindEdy);
    EXPECT_EQ(results.LastCardIDm, idmBytes(kEdyIdm));
    EXPECT_EQ(read(), ReadStateNotSupported);  // nothing remembered: asked again every time
}

TEST_F(ReadCard, CommonAreaCardWithoutHistoryIsNotSupportedThenTheSameCard) {
    laySample("edy.json");
    ASSERT_EQ(read(), ReadStateRead);
    laySample("fe00-no-history.json");
    EXPECT_EQ(read(), ReadStateNotSupported);
    EXPECT_EQ(results.CardKind, CardKindNone);
    EXPECT_EQ(read(), ReadStateSameCard);
    EXPECT_EQ(read(), ReadStateSameCard);
    lift();
    EXPECT_EQ(read(), ReadStateNoCard);
    laySample("fe00-no-history.json");
    EXPECT_EQ(read(), ReadStateNotSupported);
}

TEST_F(ReadCard, ShortHistoryDecodesOnlyItsBlocksAndNothingOfTheCardBefore) {
    lay(transitCard(0x0101000000000001ULL, transitHistory(20, 120, 1000)));
    ASSERT_EQ(read(), ReadStateRead);
    for (const RirekiInfo& e : results.CardRireki) ASSERT_NE(e.RiyouKubun, 0);

    lay(transitCard(kTransitIdm, transitHistory(3, 30, 700)));
    ASSERT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardRireki[0].TorihikiTsuuban, 30);
    EXPECT_EQ(results.CardRireki[0].Kingaku, 100);
    EXPECT_EQ(results.CardRireki[2].TorihikiTsuuban, 28);
    // The oldest block returned has no older neighbour and no file: no amount.
    EXPECT_EQ(results.CardRireki[2].Kingaku, 0);
    for (size_t i = 3; i < 20; ++i) EXPECT_EQ(results.CardRireki[i].RiyouKubun, 0) << i;

    // An Edy card of two blocks after an Edy card of six.
    std::vector<felica::Block> six;
    for (int i = 0; i < 6; ++i) six.push_back(edyBlock(0x20, 50 - i, 10, 1000 + 10 * i));
    lay(card({system(0xFE00, 0x0101000000000009ULL, {edyInfo(), service(0x170F, six)})}));
    ASSERT_EQ(read(), ReadStateRead);
    lay(card({system(0xFE00, kEdyIdm,
                     {edyInfo(), service(0x170F, {edyBlock(0x20, 8, 10, 90), edyBlock(0x02, 7, 100, 100)})})}));
    ASSERT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardRireki[1].TorihikiTsuuban, 7);
    for (size_t i = 2; i < 6; ++i) EXPECT_EQ(results.CardRireki[i].RiyouKubun, 0) << i;
}

// A WAON use of two blocks: serial at offsets 13-14, use kind at offset 17.
std::vector<felica::Block> waonUse(int serial) {
    felica::Block first{}, second{};
    first[13] = static_cast<uint8_t>(serial >> 8);
    first[14] = static_cast<uint8_t>(serial);
    second[1] = 0x04;
    return {first, second};
}

TEST_F(ReadCard, AShortWaonHistorySortsTheEmptySlotsOfTheCardBeforeLast) {
    const auto waonInfo = service(0x684F, {felica::Block{}, felica::Block{}});
    std::vector<felica::Block> three;
    for (int serial : {100, 99, 98}) {
        for (const auto& b : waonUse(serial)) three.push_back(b);
    }
    lay(card({system(0xFE00, 0x0101000000000003ULL, {service(0x680B, three), waonInfo})}));
    ASSERT_EQ(read(), ReadStateRead);
    ASSERT_EQ(results.CardRireki[2].TorihikiTsuuban, 98);

    // Another WAON card with one use: the slots it leaves empty hold serial 0
    // and sort after it, so its use is the newest entry.
    lay(card({system(0xFE00, kEdyIdm, {service(0x680B, waonUse(7)), waonInfo})}));
    ASSERT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardRireki[0].TorihikiTsuuban, 7);
    EXPECT_NE(results.CardRireki[0].RiyouKubun, 0);
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(results.CardRireki[i].RiyouKubun, 0) << i;
        EXPECT_EQ(results.CardRireki[i].TorihikiTsuuban, 0) << i;
    }
}

TEST_F(ReadCard, OldestBlockReturnedTakesItsAmountFromTheCardsFile) {
    lay(transitCard(kTransitIdm, transitHistory(20, 120, 1000)));
    ASSERT_EQ(read(), ReadStateRead);
    ASSERT_TRUE(createFolder(rirekiFolder(programDir.str())));
    std::string error;
    ASSERT_TRUE(insertRirekiDB(cardDbPath(programDir.str(), CardKindSF, results.CardID), results, error)) << error;

    // The same card, now holding only its three newest blocks.
    lift();
    EXPECT_EQ(read(), ReadStateNoCard);
    lay(transitCard(kTransitIdm, transitHistory(3, 120, 1000)));
    ASSERT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardRireki[2].TorihikiTsuuban, 118);
    EXPECT_EQ(results.CardRireki[2].Kingaku, 100);  // as stored for transaction 118
}

TEST_F(ReadCard, UnpluggedReaderEndsTheConnection) {
    laySample("nanaco.json");
    unplug();
    EXPECT_EQ(read(), ReadStateError);
    EXPECT_EQ(reader.LastErrorType, 1069);
    EXPECT_FALSE(reader.ReaderWriterOpened);
    EXPECT_FALSE(reader.LibraryInitialized);
    uint8_t out = 0;
    EXPECT_FALSE(felica::reader_writer_is_open(reader.Library, out));  // really closed
    plugIn();
    reopen();
    EXPECT_EQ(read(), ReadStateRead);
}

TEST_F(ReadCard, FailureAfterTheIdmWasTakenLeavesTheCardAsTheSameCard) {
    // The card lists the history service but refuses every block of it.
    lay(card({system(0x0003, kTransitIdm, {transitInfo(), service(0x090F)})}));
    EXPECT_EQ(read(), ReadStateError);
    EXPECT_EQ(reader.LastErrorType, 1042);
    EXPECT_EQ(errorMessageText(reader, reader.LastErrorType), "カードからの鍵のないサービスデータの読み込みに失敗しました");
    EXPECT_FALSE(reader.ReaderWriterOpened);
    EXPECT_FALSE(reader.LibraryInitialized);
    EXPECT_EQ(results.LastCardIDm, idmBytes(kTransitIdm));

    reopen();
    EXPECT_EQ(read(), ReadStateSameCard);
    lift();
    EXPECT_EQ(read(), ReadStateNoCard);
    lay(transitCard(kTransitIdm, transitHistory(5, 10, 300)));
    EXPECT_EQ(read(), ReadStateRead);
}

TEST_F(ReadCard, MissingCardInformationIsAReadError) {
    lay(card({system(0x0003, kTransitIdm, {service(0x090F, transitHistory(2, 5, 100))})}));
    EXPECT_EQ(read(), ReadStateError);
    EXPECT_EQ(reader.LastErrorType, 1042);
    EXPECT_FALSE(reader.ReaderWriterOpened);
}

TEST_F(ReadCard, BrokenCardImageIsNoCard) {
    testing::internal::CaptureStderr();
    layText(R"({"systems": [{"system_code": "0003", "idm": "0101", "services": []}]})");
    EXPECT_EQ(read(), ReadStateNoCard);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("card.json"), std::string::npos) << err;
    EXPECT_TRUE(reader.ReaderWriterOpened);
}

}  // namespace
}  // namespace tovani::test
