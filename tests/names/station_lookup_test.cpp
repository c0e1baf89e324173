#include <gtest/gtest.h>

#include <filesystem>

#include "names/station_import.h"
#include "names/station_lookup.h"
#include "names_support.h"
#include "database/db_access.h"
#include "support/temp_dir.h"

namespace tovani::test {
namespace {

TEST(CodeKey, IsUpperCaseHexWithTwosComplementForNegativeCodes) {
    EXPECT_EQ(codeKey(0), "0");
    EXPECT_EQ(codeKey(258), "102");
    EXPECT_EQ(codeKey(4095), "FFF");
    EXPECT_EQ(codeKey(76303), "12A0F");
    EXPECT_EQ(codeKey(-65536), "FFFF0000");
    EXPECT_EQ(codeKey(-1), "FFFFFFFF");
    EXPECT_EQ(codeKey(INT32_MIN), "80000000");
}

class NameLookup : public ::testing::Test {
protected:
    void import(const std::vector<std::string>& stationLines, const std::vector<std::string>& busLines) {
        writeCsv(folder / "StationCode.csv", stationLines);
        writeCsv(folder / "irucabus.csv", busLines);
        RecordingSink sink;
        std::string error;
        ASSERT_TRUE(CSVtoDB(dir(), sink, error)) << error;
    }
    std::string dir() const { return folder.str(); }
    std::string station(int32_t code) { return getStation(code, dir(), caches, DBErrorMessage); }
    std::string busStop(int32_t code) { return getBusStop(code, dir(), caches, DBErrorMessage); }

    TempDir folder;
    NameCaches caches;
    std::string DBErrorMessage;
};

TEST_F(NameLookup, StationTextJoinsTheNamesThatAreThere) {
    import({"0,1,2,K,S,E", "0,1,3,K,,E", "0,1,4,,S,E", "0,1,5,K,S,", "0,1,6,,,"}, {});
    EXPECT_EQ(station(258), "E駅 S線 K");
    EXPECT_EQ(station(259), "E駅 K");
    EXPECT_EQ(station(260), "E駅 S線 ");
    EXPECT_EQ(station(261), "S線 K");
    EXPECT_EQ(station(262), "");
    EXPECT_EQ(DBErrorMessage, "");
    EXPECT_EQ(caches.StationCache.size(), 5u);
    EXPECT_TRUE(caches.BusStopCache.empty());
}

TEST_F(NameLookup, BusStopTextKeepsTheCommaBeforeTheCompany) {
    import({}, {"1,1,K,R,T", "1,2,,,T", "1,3,K,,", "FFFF,0,K,R,T"});
    EXPECT_EQ(busStop(65537), "T R線,K");
    EXPECT_EQ(busStop(65538), "T,");
    EXPECT_EQ(busStop(65539), ",K");
    EXPECT_EQ(busStop(-65536), "T R線,K");
    bool found = false;
    EXPECT_EQ(getCacheItem(caches.BusStopCache, "FFFF0000", found), "T R線,K");
    EXPECT_TRUE(found);
    EXPECT_TRUE(caches.StationCache.empty());
}

TEST_F(NameLookup, StationsAndBusStopsWithTheSameCodeStayApart) {
    import({"0,1,1,K,S,E"}, {"0,101,BK,BR,BT"});
    EXPECT_EQ(station(257), "E駅 S線 K");
    EXPECT_EQ(busStop(257), "BT BR線,BK");
    EXPECT_EQ(station(257), "E駅 S線 K");
}

TEST_F(NameLookup, FoundNamesAreServedFromTheCacheAfterTheFileIsGone) {
    import({"0,1,2,K,S,E"}, {"1,10,K,R,T"});
    EXPECT_EQ(station(258), "E駅 S線 K");
    EXPECT_EQ(busStop(65552), "T R線,K");
    std::filesystem::remove(stationDbPath(dir()));
    EXPECT_EQ(station(258), "E駅 S線 K");
    EXPECT_EQ(busStop(65552), "T R線,K");
    EXPECT_EQ(station(259), "");  // not cached, and the file is gone
}

TEST_F(NameLookup, UnregisteredCodesAreNamedButNotCached) {
    import({"0,1,2,K,S,E"}, {"1,10,K,R,T"});
    EXPECT_EQ(station(4095), "未登録CD:FFF");
    EXPECT_EQ(busStop(4095), "未登録CD:FFF,");
    EXPECT_EQ(busStop(-65536), "未登録CD:FFFF0000,");
    EXPECT_TRUE(caches.StationCache.empty());
    EXPECT_TRUE(caches.BusStopCache.empty());
    EXPECT_EQ(DBErrorMessage, "");

    // The file is asked again, so names imported later are found.
    import({"0,F,FF,K2,S2,E2"}, {"FFFF,0,K3,R3,T3"});
    EXPECT_EQ(station(4095), "E2駅 S2線 K2");
    EXPECT_EQ(busStop(-65536), "T3 R3線,K3");
}

TEST_F(NameLookup, WithoutStationDbEveryLookupIsEmptyAndNothingIsCached) {
    DBErrorMessage = "earlier failure";
    EXPECT_EQ(station(258), "");
    EXPECT_EQ(busStop(65552), "");
    EXPECT_EQ(DBErrorMessage, "earlier failure");
    EXPECT_TRUE(caches.StationCache.empty());
    EXPECT_TRUE(caches.BusStopCache.empty());
}

TEST_F(NameLookup, FailedQueriesSetTheMessageAndAreTriedAgain) {
    writeFile(stationDbPath(dir()), "");  // an empty database without the tables
    EXPECT_EQ(station(258), "");
    EXPECT_EQ(DBErrorMessage, "DB COUNT Station exec error: no such table: Station");
    EXPECT_EQ(busStop(65552), "");
    EXPECT_EQ(DBErrorMessage, "DB COUNT BusStop exec error: no such table: BusStop");
    EXPECT_TRUE(caches.StationCache.empty());
    EXPECT_TRUE(caches.BusStopCache.empty());

    import({"0,1,2,K,S,E"}, {"1,10,K,R,T"});
    EXPECT_EQ(station(258), "E駅 S線 K");
    EXPECT_EQ(busStop(65552), "T R線,K");
}

TEST_F(NameLookup, FileThatIsNoDatabaseFailsAtTheCount) {
    writeFile(stationDbPath(dir()), std::string(4096, 'x'));
    EXPECT_EQ(station(258), "");
    EXPECT_EQ(DBErrorMessage, "DB COUNT Station exec error: file is not a database");
}

TEST_F(NameLookup, NullNamesFromAnotherToolReadAsEmpty) {
    import({}, {});
    {
        DbFile db;
        ASSERT_TRUE(db.open(stationDbPath(dir()), bridge::OpenReadWriteCreate));
        ASSERT_TRUE(db.exec("INSERT INTO Station VALUES ( 258, NULL, NULL, 'E' );"));
        ASSERT_TRUE(db.exec("INSERT INTO BusStop VALUES ( 1, NULL, NULL, NULL );"));
    }
    EXPECT_EQ(station(258), "E駅 ");
    EXPECT_EQ(busStop(1), ",");
}

}  // namespace
}  // namespace tovani::test
