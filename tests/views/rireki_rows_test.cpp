#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cards/card_data.h"
#include "names/station_import.h"
#include "support/temp_dir.h"
#include "view_support.h"
#include "views/rireki_rows.h"

namespace tovani::test {
namespace {

using Texts = std::vector<std::string>;

TEST(RirekiGrid, LaysOutTheColumnsOfTheKindAtTheTimeOfTheCall) {
    // Transit cards add their two station columns; every other kind, known
    // or not, gets the prepaid layout.
    const std::pair<int32_t, int> cases[] = {{CardKindSF, 8}, {CardKindEdy, 6}, {CardKindWaon, 6}, {CardKindNone, 6}};
    for (const auto& [cardKind, columns] : cases) {
        SCOPED_TRACE(cardKind);
        ResultTable table;
        // A previous, wider view with texts everywhere and a different tag.
        table.setCols(9);
        table.setRows(30);
        table.setText(5, 2, "old");
        table.setText(0, 8, "old header");
        table.setTag("Syuukei");
        FakeFont font;
        setRirekiGrid(font, table, 3, cardKind);

        ASSERT_EQ(table.cols(), columns);
        EXPECT_EQ(table.rows(), 4);
        EXPECT_EQ(table.fixedRows(), 1);
        EXPECT_EQ(table.fixedCols(), 0);
        EXPECT_EQ(table.tag(), "Rireki");
        EXPECT_EQ(rowTexts(table, 0)[0], "取引通番");
        for (int row = 1; row < table.rows(); ++row) {
            EXPECT_EQ(rowTexts(table, row), Texts(table.cols(), "")) << "row " << row;
        }
        // Widths are counted in letters "A" of the window's font.
        EXPECT_EQ(font.measured.front(), std::string(10, 'A'));
    }
}

TEST(RirekiGrid, OneDataRowGivesTheHeaderAndOneEmptyRow) {
    ResultTable table;
    FakeFont font;
    setRirekiGrid(font, table, 1, CardKindEdy);
    EXPECT_EQ(table.rows(), 2);
    EXPECT_EQ(rowTexts(table, 1), Texts(6, ""));
    setRirekiGrid(font, table, -5, CardKindEdy);  // nonsense count: header only
    EXPECT_EQ(table.rows(), 1);
}

RirekiInfo entry(int32_t tsuuban, int32_t kubun, int32_t kingaku, int32_t zangaku, int32_t charge = 0) {
    RirekiInfo e;
    e.TorihikiTsuuban = tsuuban;
    e.RiyouKubun = kubun;
    e.RiyouYmd = 20090315;
    e.RiyouHms = 93005;
    e.Kingaku = kingaku;
    e.Zangaku = zangaku;
    e.Charge = charge;
    return e;
}

// The rows of one kind of card, written into a fresh layout of that kind.
class RirekiRows : public ::testing::Test {
protected:
    Texts write(int32_t cardKind, const RirekiInfo& e) {
        setRirekiGrid(font, table, 2, cardKind);
        setRirekiRow(table, 2, e, cardKind, names);
        EXPECT_EQ(rowTexts(table, 1), Texts(table.cols(), "")) << "only the given row is written";
        return rowTexts(table, 2);
    }

    FakeFont font;
    ResultTable table;
    TempDir folder;
    NameCaches caches;
    std::string DBErrorMessage;
    NameLookup names{folder.str(), caches, DBErrorMessage};
};

TEST_F(RirekiRows, PrepaidCardsNameTheUseAndPutTheAmountOnItsSide) {
    struct Case {
        const char* what;
        int32_t cardKind;
        RirekiInfo e;
        Texts row;
    };
    const char* when = "2009/03/15 09:30:05";
    const Case cases[] = {
        {"Edy payment", CardKindEdy, entry(12, 0x20, 1500, 8500),
         {"12", when, "支払い", "", "1,500", "8,500"}},
        {"Edy charge", CardKindEdy, entry(13, 0x02, 10000, 18500),
         {"13", when, "チャージ", "10,000", "", "18,500"}},
        {"Edy value charge", CardKindEdy, entry(14, 0x04, 0, 0),
         {"14", when, "バリューチャージ", "0", "", "0"}},
        {"Edy code of nanaco", CardKindEdy, entry(1, 0x47, 100, 200),
         {"1", when, "不明コード(0x47)", "100", "", "200"}},
        {"nanaco transfer in", CardKindNanaco, entry(0, 0x35, 5000, 5000),
         {"0", when, "引継", "5,000", "", "5,000"}},
        {"nanaco payment", CardKindNanaco, entry(2, 0x47, 1234567, -500),
         {"2", when, "支払い", "", "1,234,567", "-500"}},
        {"nanaco charge 6F", CardKindNanaco, entry(3, 0x6F, 1000, 1000),
         {"3", when, "チャージ", "1,000", "", "1,000"}},
        {"nanaco charge 70", CardKindNanaco, entry(3, 0x70, 1000, 1000),
         {"3", when, "チャージ", "1,000", "", "1,000"}},
        {"nanaco points", CardKindNanaco, entry(4, 0x83, 300, 1300),
         {"4", when, "ポイント交換によるチャージ", "300", "", "1,300"}},
        {"nanaco unknown", CardKindNanaco, entry(5, 0x99, 700, 2000),
         {"5", when, "不明コード(0x99)", "700", "", "2,000"}},
        {"WAON charge", CardKindWaon, entry(6, 0x0C, 0, 3000, 3000),
         {"6", when, "チャージ", "3,000", "", "3,000"}},
        {"WAON charge 10 with amount", CardKindWaon, entry(6, 0x10, 50, 3000, 3000),
         {"6", when, "チャージ", "3,000", "50", "3,000"}},
        {"WAON payment of nothing", CardKindWaon, entry(7, 0x04, 0, 3000, 0),
         {"7", when, "支払い", "", "0", "3,000"}},
        {"WAON payment with charge", CardKindWaon, entry(8, 0x04, 400, 2600, 1000),
         {"8", when, "支払い", "1,000", "400", "2,600"}},
        {"WAON code of Edy", CardKindWaon, entry(9, 0x20, 400, 2600, 0),
         {"9", when, "不明コード(0x20)", "0", "400", "2,600"}},
        {"damaged negative code", CardKindEdy, entry(10, -1, 1, 2),
         {"10", when, "不明コード(0xFFFFFFFF)", "1", "", "2"}},
        {"no card kind", CardKindNone, entry(11, 0x20, 1500, 8500),
         {"11", when, "", "", "1,500", "8,500"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(write(c.cardKind, c.e), c.row);
    }
}

TEST_F(RirekiRows, DatesThatAreNoCalendarDateShowEmpty) {
    RirekiInfo e = entry(1, 0x20, 1, 1);
    e.RiyouYmd = 0;
    EXPECT_EQ(write(CardKindEdy, e)[1], "");
    e.RiyouYmd = 20150229;
    EXPECT_EQ(write(CardKindEdy, e)[1], "");
    e.RiyouYmd = 20150301;
    e.RiyouHms = 0;
    EXPECT_EQ(write(CardKindEdy, e)[1], "2015/03/01 00:00:00");
}

// Transit rows against a Station.DB imported from the sample lists.
class TransitRows : public RirekiRows {
protected:
    void SetUp() override {
        for (const char* name : {"StationCode.csv", "irucabus.csv"}) {
            std::filesystem::copy_file(std::filesystem::path(TOVANI_SOURCE_DIR) / "samples/stations" / name,
                                       folder / name);
        }
        struct Quiet : MessageSink {
            void showMessage(const std::string&) override {}
        } quiet;
        std::string error;
        ASSERT_TRUE(CSVtoDB(folder.str(), quiet, error)) << error;
    }

    static RirekiInfo ride(int32_t kubun, int32_t in, int32_t out, int32_t chiiki) {
        RirekiInfo e = entry(100, kubun, 160, 2000);
        e.RiyouHms = 0;
        e.NyuujouCD = in;
        e.SyutujouCD = out;
        e.Chiiki = chiiki;
        return e;
    }
};

TEST_F(TransitRows, PlacesDatesAndAmountsFollowTheUseCategory) {
    struct Case {
        const char* what;
        RirekiInfo e;
        Texts row;
    };
    RirekiInfo shop = ride(0x46, 0x1234, 0xABC, 0);
    shop.RiyouHms = 183007;
    RirekiInfo charge = ride(0x02, 0x0101, 0, 0);
    charge.Charge = 3000;
    charge.Kingaku = 0;
    RirekiInfo autoCharge = ride(0x14, 0, 0, 0);
    autoCharge.Charge = 0;
    autoCharge.Kingaku = 0;
    const Case cases[] = {
        {"ride, region 0", ride(0x01, 0x0101, 0x010A, 0x00),
         {"100", "2009/03/15", "自動改札機出場", "東京駅 山手線 JR東日本", "品川駅 山手線 JR東日本", "", "160", "2,000"}},
        {"ride, region 1 on both sides", ride(0x01, 0x0301, 0x9002, 0x50),
         {"100", "2009/03/15", "自動改札機出場", "大阪駅 東海道本線 JR西日本",
          "なんば駅 御堂筋線 大阪市高速電気軌道", "", "160", "2,000"}},
        {"ride, entry region 2 exit region 0", ride(0x01, 0x0101, 0xE210, 0x80),
         {"100", "2009/03/15", "自動改札機出場", "博多駅 鹿児島本線 JR九州",
          "表参道駅 銀座線 東京地下鉄", "", "160", "2,000"}},
        {"ride without entry", ride(0x01, 0, 0xA305, 0),
         {"100", "2009/03/15", "自動改札機出場", "", "十条駅 東北本線 JR東日本", "", "160", "2,000"}},
        {"station not in the file", ride(0x01, 0x0777, 0, 0x40),
         {"100", "2009/03/15", "自動改札機出場", "未登録CD:10777", "", "", "160", "2,000"}},
        {"shop sale", shop,
         {"100", "2009/03/15 18:30:07", "物販", "", "端末ID:ABC", "", "160", "2,000"}},
        {"bus", ride(0x0F, 0x0001, 0x000A, 0),
         {"100", "2009/03/15", "バス等", "都営バス", "新橋駅前 都01線", "", "160", "2,000"}},
        {"bus, high codes", ride(0x0D, 0x18001, 0x20002, 0),
         {"100", "2009/03/15", "バス等均一運賃", "神奈川中央交通", "湘南ライフタウン 辻04線", "", "160", "2,000"}},
        {"bus, negative code, no route", ride(0x0F, 0xFFFF, 0, 0),
         {"100", "2009/03/15", "バス等", "市営バス", "表町 表町循環線", "", "160", "2,000"}},
        {"bus stop not in the file", ride(0x0F, 0x0002, 0x0002, 0),
         {"100", "2009/03/15", "バス等", "", "未登録CD:20002", "", "160", "2,000"}},
        {"charge", charge,
         {"100", "2009/03/15", "SFチャージ", "東京駅 山手線 JR東日本", "", "3,000", "", "2,000"}},
        {"charge of nothing", autoCharge,
         {"100", "2009/03/15", "オートチャージ", "", "", "0", "", "2,000"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(write(CardKindSF, c.e), c.row);
    }
    EXPECT_EQ(DBErrorMessage, "");
}

TEST_F(TransitRows, ABusTextWithoutCommaLeavesThePlacesAlone) {
    // Without Station.DB a lookup yields the empty text.
    std::filesystem::remove(stationDbPath(folder.str()));
    setRirekiGrid(font, table, 1, CardKindSF);
    table.setText(1, 3, "left");
    table.setText(1, 4, "alone");
    setRirekiRow(table, 1, ride(0x0F, 1, 1, 0), CardKindSF, names);
    EXPECT_EQ(table.text(1, 3), "left");
    EXPECT_EQ(table.text(1, 4), "alone");
    EXPECT_EQ(table.text(1, 2), "バス等");
    // A rail ride writes the (empty) lookup texts.
    setRirekiRow(table, 1, ride(0x01, 0x0101, 0x0102, 0), CardKindSF, names);
    EXPECT_EQ(table.text(1, 3), "");
    EXPECT_EQ(table.text(1, 4), "");
}

}  // namespace
}  // namespace tovani::test
