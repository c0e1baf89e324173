#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "cards/decoders.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "support/temp_dir.h"

namespace tovani {
namespace {

struct Block {
    uint8_t kiki = 0x16;
    uint8_t kubun = 0x01;
    uint8_t shiharai = 0x00;
    uint8_t gate = 0x03;
    int year = 2015, month = 3, day = 15;
    uint16_t in = 0x0101;
    uint16_t out = 0x0202;
    uint16_t balance = 1000;
    uint16_t serial = 100;
    uint8_t region = 0x05;
};

void put(std::vector<uint8_t>& buf, const Block& b) {
    const auto date = static_cast<uint16_t>(((b.year - 2000) << 9) | (b.month << 5) | b.day);
    const uint8_t bytes[16] = {b.kiki, b.kubun, b.shiharai, b.gate,
                               static_cast<uint8_t>(date >> 8), static_cast<uint8_t>(date),
                               static_cast<uint8_t>(b.in >> 8), static_cast<uint8_t>(b.in),
                               static_cast<uint8_t>(b.out >> 8), static_cast<uint8_t>(b.out),
                               static_cast<uint8_t>(b.balance), static_cast<uint8_t>(b.balance >> 8),
                               0xEE, static_cast<uint8_t>(b.serial >> 8), static_cast<uint8_t>(b.serial),
                               b.region};
    buf.insert(buf.end(), bytes, bytes + 16);
}

std::vector<uint8_t> blocks(const std::vector<Block>& list) {
    std::vector<uint8_t> buf;
    for (const auto& b : list) put(buf, b);
    return buf;
}

// Decodes like the reader: from the oldest block down to block 0.
void decodeAll(CardReadResults& card, const std::vector<uint8_t>& buf, const RirekiLookup& lookup) {
    for (int i = static_cast<int>(buf.size() / 16) - 1; i >= 0; --i)
        decodeSFRireki(card, buf, static_cast<size_t>(i) * 16, i, lookup);
}

// A stored history as the lookup sees it; remembers what was asked.
struct FakeFile {
    std::map<int32_t, RirekiInfo> rows;
    std::set<int32_t> unreadable;  // serials whose look-up fails (a locked file)
    std::vector<int32_t> asked;
    RirekiLookup lookup() {
        return [this](int32_t serial, RirekiInfo& out) {
            asked.push_back(serial);
            if (unreadable.count(serial) != 0) return StoredRireki::Unreadable;
            auto it = rows.find(serial);
            if (it == rows.end()) return StoredRireki::NotStored;
            out = it->second;
            return StoredRireki::Found;
        };
    }
};

TEST(SFDecoder, BlockFieldsAndByteOrders) {
    CardReadResults card;
    Block b;
    b.kubun = 0x81;  // bit 7: cash and card together, kept whole
    b.balance = 0x03E8;
    b.serial = 0x1234;
    b.in = 0xE32A;
    b.out = 0x0A0B;
    auto buf = blocks({b});
    EXPECT_EQ(buf[4], 0x1E);
    EXPECT_EQ(buf[5], 0x6F);
    EXPECT_EQ(buf[10], 0xE8);
    EXPECT_EQ(buf[11], 0x03);
    ASSERT_TRUE(decodeSFRireki(card, buf, 0, 0, {}));
    const RirekiInfo& e = card.CardRireki[0];
    EXPECT_EQ(e.RiyouKubun, 0x81);
    EXPECT_EQ(e.Kiki, 0x16);
    EXPECT_EQ(e.Shiharai, 0x00);
    EXPECT_EQ(e.Nyuusyutujou, 0x03);
    EXPECT_EQ(e.RiyouYmd, 20150315);
    EXPECT_EQ(e.RiyouHms, 0);
    EXPECT_EQ(e.NyuujouCD, 0xE32A);
    EXPECT_EQ(e.SyutujouCD, 0x0A0B);
    EXPECT_EQ(e.Zangaku, 1000);
    EXPECT_EQ(e.TorihikiTsuuban, 0x1234);
    EXPECT_EQ(e.Chiiki, 0x05);
}

TEST(SFDecoder, ShopSalesCarryTheirTimeInTheEntryWord) {
    CardReadResults card;
    Block b;
    b.kubun = 0x46;
    b.in = 0x5820;
    ASSERT_TRUE(decodeSFRireki(card, blocks({b}), 0, 0, {}));
    EXPECT_EQ(card.CardRireki[0].RiyouHms, 110100);
    EXPECT_EQ(card.CardRireki[0].NyuujouCD, 0x5820);
    EXPECT_EQ(card.CardRireki[0].RiyouYmd, 20150315);

    // Rail uses keep the word as a station code only.
    b.kubun = 0x01;
    ASSERT_TRUE(decodeSFRireki(card, blocks({b}), 0, 0, {}));
    EXPECT_EQ(card.CardRireki[0].RiyouHms, 0);

    // An hour past 23 rolls into the next day, date and time together.
    b.kubun = 0xC6;
    b.in = static_cast<uint16_t>((24 << 11) | (1 << 5));
    ASSERT_TRUE(decodeSFRireki(card, blocks({b}), 0, 0, {}));
    EXPECT_EQ(card.CardRireki[0].RiyouYmd, 20150316);
    EXPECT_EQ(card.CardRireki[0].RiyouHms, 100);
}

TEST(SFDecoder, EmptyBlocksAndBadArgumentsWriteNothingElse) {
    CardReadResults card;
    card.CardRireki[3].Zangaku = 777;
    card.CardRireki[3].RiyouKubun = 9;
    Block empty;
    empty.kubun = 0;
    const auto buf = blocks({empty, empty, empty, empty});
    EXPECT_FALSE(decodeSFRireki(card, buf, 48, 3, {}));
    EXPECT_EQ(card.CardRireki[3].RiyouKubun, 0);
    EXPECT_EQ(card.CardRireki[3].Zangaku, 777);

    const CardReadResults before = card;
    Block full;
    const auto one = blocks({full});
    EXPECT_FALSE(decodeSFRireki(card, one, 1, 0, {}));   // block runs past the end
    EXPECT_FALSE(decodeSFRireki(card, one, 16, 0, {}));
    EXPECT_FALSE(decodeSFRireki(card, one, 0, -1, {}));
    EXPECT_FALSE(decodeSFRireki(card, one, 0, 20, {}));
    EXPECT_FALSE(decodeSFRireki(card, std::span<const uint8_t>(one).first(15), 0, 0, {}));
    EXPECT_EQ(card.CardRireki, before.CardRireki);

    card.HakkouYmd = 20200101;
    EXPECT_FALSE(decodeSFInfo(card, one, 8));
    EXPECT_EQ(card.HakkouYmd, 20200101);
    EXPECT_TRUE(decodeSFInfo(card, one, 0));
    EXPECT_EQ(card.HakkouYmd, 0);
}

TEST(SFDecoder, AmountsComeFromTheOlderNeighbour) {
    Block newer, older;
    newer.balance = 800;
    newer.serial = 11;
    older.balance = 1000;
    older.serial = 10;
    CardReadResults card;
    decodeAll(card, blocks({newer, older}), {});
    EXPECT_EQ(card.CardRireki[0].Kingaku, 200);
    EXPECT_EQ(card.CardRireki[0].Charge, 0);

    newer.balance = 1000;
    older.balance = 800;
    decodeAll(card, blocks({newer, older}), {});
    EXPECT_EQ(card.CardRireki[0].Kingaku, 0);
    EXPECT_EQ(card.CardRireki[0].Charge, 200);

    // The card's first transaction charged its whole balance.
    newer.serial = 1;
    newer.balance = 1000;
    older.balance = 5;
    decodeAll(card, blocks({newer, older}), {});
    EXPECT_EQ(card.CardRireki[0].Charge, 1000);
    EXPECT_EQ(card.CardRireki[0].Kingaku, 0);
}

TEST(SFDecoder, AFullReadTakesEveryAmountButTheOldestFromItsNeighbours) {
    std::vector<Block> list(20);
    const int balances[20] = {500, 700, 900, 100, 4100, 4300, 4500, 4700, 4900, 5100,
                              5300, 5500, 5700, 1000, 1200, 1400, 1600, 1800, 2000, 2200};
    for (int i = 0; i < 20; ++i) {
        list[static_cast<size_t>(i)].balance = static_cast<uint16_t>(balances[i]);
        list[static_cast<size_t>(i)].serial = static_cast<uint16_t>(300 - i);
    }
    FakeFile file;
    CardReadResults card;
    decodeAll(card, blocks(list), file.lookup());
    for (int i = 0; i < 19; ++i) {
        const int d = balances[i + 1] - balances[i];
        EXPECT_EQ(card.CardRireki[static_cast<size_t>(i)].Kingaku, d > 0 ? d : 0) << i;
        EXPECT_EQ(card.CardRireki[static_cast<size_t>(i)].Charge, d < 0 ? -d : 0) << i;
    }
    // Only the oldest block asked the file, for itself and its predecessor.
    EXPECT_EQ(file.asked, (std::vector<int32_t>{281, 280}));
    EXPECT_EQ(card.CardRireki[19].Kingaku, 0);
    EXPECT_EQ(card.CardRireki[19].Charge, 0);
}

TEST(SFDecoder, TheOldestEntryTakesItsAmountFromTheStoredHistory) {
    Block oldest;
    oldest.serial = 50;
    oldest.balance = 850;
    const auto buf = blocks({oldest});

    FakeFile file;
    RirekiInfo self;
    self.TorihikiTsuuban = 50;
    self.Kingaku = 150;
    file.rows[50] = self;
    CardReadResults card;
    ASSERT_TRUE(decodeSFRireki(card, buf, 0, 0, file.lookup()));
    EXPECT_EQ(card.CardRireki[0].Kingaku, 150);
    EXPECT_EQ(card.CardRireki[0].Charge, 0);

    file.rows[50].Charge = 300;  // a stored charge wins over a stored amount
    ASSERT_TRUE(decodeSFRireki(card, buf, 0, 0, file.lookup()));
    EXPECT_EQ(card.CardRireki[0].Kingaku, 0);
    EXPECT_EQ(card.CardRireki[0].Charge, 300);

    file.rows.clear();
    RirekiInfo previous;
    previous.Zangaku = 1000;
    file.rows[49] = previous;
    ASSERT_TRUE(decodeSFRireki(card, buf, 0, 0, file.lookup()));
    EXPECT_EQ(card.CardRireki[0].Kingaku, 150);

    file.rows.clear();
    ASSERT_TRUE(decodeSFRireki(card, buf, 0, 0, file.lookup()));
    EXPECT_EQ(card.CardRireki[0].Kingaku, 0);
    EXPECT_EQ(card.CardRireki[0].Charge, 0);

    // An entry whose older neighbour is empty asks the file too.
    Block empty;
    empty.kubun = 0;
    file.rows[49] = previous;
    ASSERT_TRUE(decodeSFRireki(card, blocks({oldest, empty}), 0, 0, file.lookup()));
    EXPECT_EQ(card.CardRireki[0].Kingaku, 150);

    // Serial 0 has no predecessor: the newest stored entry is never taken for it.
    oldest.serial = 0;
    file.asked.clear();
    ASSERT_TRUE(decodeSFRireki(card, blocks({oldest}), 0, 0, file.lookup()));
    EXPECT_EQ(file.asked, (std::vector<int32_t>{0}));
    EXPECT_EQ(card.CardRireki[0].Kingaku, 0);
}

// A read of two blocks: serial 51 (balance 800) and the oldest, serial 50
// (balance 850), whose amount needs the stored history.
std::vector<uint8_t> newerAndOldest() {
    Block newer, oldest;
    newer.serial = 51;
    newer.balance = 800;
    oldest.serial = 50;
    oldest.balance = 850;
    return blocks({newer, oldest});
}

// A look-up that fails is never taken for "not stored": the entry is marked,
// and the store leaves it out instead of keeping a wrong amount.
TEST(SFDecoder, AnUnreadableStoredHistoryMarksTheAmountUnknown) {
    struct Case {
        const char* what;
        std::set<int32_t> stored;      // serials in the file (predecessor balance 1000)
        std::set<int32_t> unreadable;  // serials whose look-up fails
        bool unknown;
        int32_t kingaku;
    };
    const Case cases[] = {
        {"the transaction itself cannot be looked up", {}, {50}, true, 0},
        {"its predecessor cannot be looked up", {}, {49}, true, 0},
        {"both fail", {}, {49, 50}, true, 0},
        {"the predecessor is stored", {49}, {}, false, 150},
        {"nothing stored", {}, {}, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeFile file;
        file.unreadable = c.unreadable;
        for (int32_t serial : c.stored) {
            RirekiInfo row;
            row.TorihikiTsuuban = serial;
            row.Zangaku = 1000;
            file.rows[serial] = row;
        }
        CardReadResults card;
        card.AmountUnknown.fill(true);  // left from an earlier read
        decodeAll(card, newerAndOldest(), file.lookup());
        EXPECT_EQ(card.AmountUnknown[1], c.unknown);
        EXPECT_EQ(card.CardRireki[1].Kingaku, c.kingaku);
        // The newer entry has its neighbour in the read and is always known.
        EXPECT_FALSE(card.AmountUnknown[0]);
        EXPECT_EQ(card.CardRireki[0].Kingaku, 50);
    }
}

TEST(SFDecoder, AnEntryOfUnknownAmountIsNotStored) {
    test::TempDir dir;
    ASSERT_TRUE(createFolder(rirekiFolder(dir.str())));
    CardReadResults card;
    card.CardKind = CardKindSF;
    card.CardID = "0101-0202-0303-0404";
    FakeFile file;
    file.unreadable = {49, 50};
    decodeAll(card, newerAndOldest(), file.lookup());
    const std::string path = cardDbPath(dir.str(), CardKindSF, card.CardID);
    std::string message;
    ASSERT_TRUE(insertRirekiDB(path, card, message)) << message;

    RirekiInfo row;
    EXPECT_TRUE(selectRerekiDB(path, 51, row, message)) << message;
    EXPECT_FALSE(selectRerekiDB(path, 50, row, message));

    // The next read, with the predecessor readable, stores the right amount.
    file.unreadable.clear();
    RirekiInfo previous;
    previous.Zangaku = 1000;
    file.rows[49] = previous;
    decodeAll(card, newerAndOldest(), file.lookup());
    ASSERT_TRUE(insertRirekiDB(path, card, message)) << message;
    ASSERT_TRUE(selectRerekiDB(path, 50, row, message)) << message;
    EXPECT_EQ(row.Kingaku, 150);
}

TEST(SFDecoder, TheOldestEntryReadsTheCardsOwnFile) {
    test::TempDir dir;
    ASSERT_TRUE(createFolder(rirekiFolder(dir.str())));
    const std::string cardId = "0101-0202-0303-0404";
    const std::string path = cardDbPath(dir.str(), CardKindSF, cardId);
    std::string message;
    const CardRirekiLookup stored = storedRirekiLookup(dir.str());
    const RirekiLookup lookup = [&](int32_t serial, RirekiInfo& out) { return stored(cardId, serial, out); };

    // A first read: serials 120 down to 101, the oldest without an amount.
    std::vector<Block> list(20);
    for (int i = 0; i < 20; ++i) {
        list[static_cast<size_t>(i)].serial = static_cast<uint16_t>(120 - i);
        list[static_cast<size_t>(i)].balance = static_cast<uint16_t>(3000 - 100 * i);
    }
    CardReadResults card;
    card.CardKind = CardKindSF;
    card.CardID = cardId;
    decodeAll(card, blocks(list), lookup);  // no file yet
    EXPECT_FALSE(fileExists(path));
    EXPECT_EQ(card.CardRireki[19].Kingaku, 0);
    EXPECT_EQ(card.CardRireki[0].Kingaku, 0);
    EXPECT_EQ(card.CardRireki[0].Charge, 100);
    ASSERT_TRUE(insertRirekiDB(path, card, message)) << message;

    // Two uses later, the oldest block is one of the stored transactions.
    list.erase(list.end() - 2, list.end());
    Block paid;
    paid.serial = 121;
    paid.balance = 2840;
    Block more;
    more.serial = 122;
    more.balance = 2700;
    list.insert(list.begin(), {more, paid});
    card.CardRireki = {};
    decodeAll(card, blocks(list), lookup);
    EXPECT_EQ(card.CardRireki[19].TorihikiTsuuban, 103);
    EXPECT_EQ(card.CardRireki[19].Charge, 100);  // as stored from the first read
    EXPECT_EQ(card.CardRireki[1].Kingaku, 160);
    EXPECT_EQ(card.CardRireki[0].Kingaku, 140);

    ASSERT_TRUE(insertRirekiDB(path, card, message)) << message;

    // A one-block read of a transaction not stored: its stored predecessor
    // 122 (balance 2700) gives the balance before.
    Block next;
    next.serial = 123;
    next.balance = 2500;
    card.CardRireki = {};
    decodeAll(card, blocks({next}), lookup);
    EXPECT_EQ(card.CardRireki[0].Kingaku, 200);
    EXPECT_EQ(card.CardRireki[0].Charge, 0);
}

}  // namespace
}  // namespace tovani
