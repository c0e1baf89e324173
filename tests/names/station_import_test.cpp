#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "names/station_import.h"
#include "names/station_lookup.h"
#include "names_support.h"
#include "support/temp_dir.h"

namespace tovani::test {
namespace {

using ::testing::ElementsAre;

class StationImport : public ::testing::Test {
protected:
    std::string dir() const { return folder.str(); }
    std::string db() const { return stationDbPath(dir()); }
    void stations(const std::vector<std::string>& lines) { writeCsv(folder / "StationCode.csv", lines); }
    void busStops(const std::vector<std::string>& lines) { writeCsv(folder / "irucabus.csv", lines); }
    bool run() {
        sink.shown.clear();
        return CSVtoDB(dir(), sink, DBErrorMessage);
    }
    Rows stationRows() { return queryRows(db(), "SELECT Code, Kaisha, Senku, Eki FROM Station ORDER BY Code;"); }
    Rows busRows() { return queryRows(db(), "SELECT Code, Kaisha, Rosen, Teiryuujo FROM BusStop ORDER BY Code;"); }

    TempDir folder;
    RecordingSink sink;
    std::string DBErrorMessage;
};

TEST_F(StationImport, CodesFollowTheHexadecimalLayoutOfBothFiles) {
    stations({"0,1,2,K,S,E",
              "1,2A,F,K2,S2,E2",
              "0,123,1,K3,S3,E3",   // only the last two digits of the line count
              "0,1,1FF,K4,S4,E4",   // nor of the station
              "a,b,c,K5,S5,E5,extra,fields"});
    busStops({"1,10,K,R,T",
              "8000,0,K2,R2,T2",    // first code 8000 or more: negative
              "FFFF,0,K3,R3,T3",
              "12345,67890,K4,R4,T4"});
    ASSERT_TRUE(run());
    EXPECT_THAT(sink.shown, ElementsAre("CSVtoDB end"));
    EXPECT_EQ(DBErrorMessage, "");

    EXPECT_THAT(stationRows(), ElementsAre(ElementsAre("258", "K", "S", "E"),
                                           ElementsAre("511", "K4", "S4", "E4"),
                                           ElementsAre("8961", "K3", "S3", "E3"),
                                           ElementsAre("76303", "K2", "S2", "E2"),
                                           ElementsAre("658188", "K5", "S5", "E5")));
    EXPECT_THAT(busRows(), ElementsAre(ElementsAre("-2147483648", "K2", "R2", "T2"),
                                       ElementsAre("-65536", "K3", "R3", "T3"),
                                       ElementsAre("65552", "K", "R", "T"),
                                       ElementsAre("591755408", "K4", "R4", "T4")));
}

TEST_F(StationImport, CreatesBothTablesWithTheirFixedLayout) {
    stations({});
    busStops({});
    ASSERT_TRUE(run());
    EXPECT_THAT(queryRows(db(), "SELECT name, sql FROM sqlite_master ORDER BY rowid;"),
                ElementsAre(ElementsAre("Station", "CREATE TABLE Station ( Code INTEGER PRIMARY KEY, Kaisha TEXT, Senku TEXT, Eki TEXT )"),
                            ElementsAre("BusStop", "CREATE TABLE BusStop ( Code INTEGER PRIMARY KEY, Kaisha TEXT, Rosen TEXT, Teiryuujo TEXT )")));
}

TEST_F(StationImport, MultibyteNamesAreStoredAsUtf8AndReadBackUnchanged) {
    // 表 and 十 end in the byte 0x5C in Shift_JIS; ｶﾅ is one byte per character.
    stations({"0,E2,10,東京地下鉄,銀座,表参道", "0,1A3,5,JR東日本,東北本,十条", "3,1,1,ﾃｽﾄ鉄道,,ｶﾅ"});
    busStops({"8001,1,神奈川中央交通,辻04,辻堂駅北口"});
    ASSERT_TRUE(run());
    EXPECT_THAT(queryRows(db(), "SELECT hex(Eki) FROM Station WHERE Code = 57872;"),
                ElementsAre(ElementsAre("E8A1A8E58F82E98193")));  // 表参道 in UTF-8
    EXPECT_THAT(stationRows(), ElementsAre(ElementsAre("41733", "JR東日本", "東北本", "十条"),
                                           ElementsAre("57872", "東京地下鉄", "銀座", "表参道"),
                                           ElementsAre("196865", "ﾃｽﾄ鉄道", "", "ｶﾅ")));

    NameCaches caches;
    EXPECT_EQ(getStation(0xE210, dir(), caches, DBErrorMessage), "表参道駅 銀座線 東京地下鉄");
    EXPECT_EQ(getStation(0xA305, dir(), caches, DBErrorMessage), "十条駅 東北本線 JR東日本");
    EXPECT_EQ(getStation(0x30101, dir(), caches, DBErrorMessage), "ｶﾅ駅 ﾃｽﾄ鉄道");
    EXPECT_EQ(getBusStop(static_cast<int32_t>(0x80010001u), dir(), caches, DBErrorMessage),
              "辻堂駅北口 辻04線,神奈川中央交通");
}

TEST_F(StationImport, QuotesInNamesAreStoredExactly) {
    stations({"0,1,1,O'Brien Rail,King's Cross,'", "0,1,2,K,S,''"});
    busStops({"1,1,Kaisha's,R,T'"});
    ASSERT_TRUE(run());
    EXPECT_THAT(sink.shown, ElementsAre("CSVtoDB end"));
    EXPECT_THAT(stationRows(), ElementsAre(ElementsAre("257", "O'Brien Rail", "King's Cross", "'"),
                                           ElementsAre("258", "K", "S", "''")));
    EXPECT_THAT(busRows(), ElementsAre(ElementsAre("65537", "Kaisha's", "R", "T'")));
}

TEST_F(StationImport, SecondRunFailsOnTheFirstStationAndAddsNoBusStops) {
    stations({"0,1,1,K,S,E1", "0,1,2,K,S,E2"});
    busStops({"1,1,K,R,T1"});
    ASSERT_TRUE(run());
    busStops({"1,1,K,R,T1", "1,2,K,R,T2"});

    EXPECT_FALSE(run());
    const std::string failure = "DB INSERT Station exec error: UNIQUE constraint failed: Station.Code";
    EXPECT_EQ(DBErrorMessage, failure);
    EXPECT_THAT(sink.shown, ElementsAre(failure, "CSVtoDB end"));
    EXPECT_EQ(stationRows().size(), 2u);
    EXPECT_THAT(busRows(), ElementsAre(ElementsAre("65537", "K", "R", "T1")));
}

TEST_F(StationImport, FailedBusStopKeepsTheRowsBeforeIt) {
    stations({"0,1,1,K,S,E"});
    busStops({"1,1,K,R,T1", "1,2,K,R,T2", "0001,0001,K,R,again", "1,3,K,R,T3"});
    EXPECT_FALSE(run());
    const std::string failure = "DB INSERT BusStop exec error: UNIQUE constraint failed: BusStop.Code";
    EXPECT_THAT(sink.shown, ElementsAre(failure, "CSVtoDB end"));
    EXPECT_EQ(busRows().size(), 2u);
}

TEST_F(StationImport, EmptyBusStopFileStillImportsTheStations) {
    stations({"0,1,1,K,S,E"});
    writeFile(folder / "irucabus.csv", "");
    ASSERT_TRUE(run());
    EXPECT_THAT(sink.shown, ElementsAre("CSVtoDB end"));
    EXPECT_EQ(stationRows().size(), 1u);
    EXPECT_TRUE(busRows().empty());
}

TEST_F(StationImport, ImportOnlyAddsToWhatTheDatabaseHolds) {
    stations({"0,1,1,K,S,E1"});
    busStops({});
    ASSERT_TRUE(run());
    stations({"0,1,2,K,S,E2"});
    ASSERT_TRUE(run());
    EXPECT_EQ(stationRows().size(), 2u);
}

TEST_F(StationImport, MissingCsvFilesAreNamed) {
    EXPECT_FALSE(run());
    const std::string noStations = "CSV read error: " + dir() + "/StationCode.csv: file not found";
    EXPECT_THAT(sink.shown, ElementsAre(noStations, "CSVtoDB end"));
    EXPECT_EQ(DBErrorMessage, noStations);
    EXPECT_TRUE(stationRows().empty());  // the tables are made before the files are read

    stations({"0,1,1,K,S,E"});
    EXPECT_FALSE(run());
    EXPECT_THAT(sink.shown, ElementsAre("CSV read error: " + dir() + "/irucabus.csv: file not found", "CSVtoDB end"));
    EXPECT_EQ(stationRows().size(), 1u);
}

TEST_F(StationImport, BadLinesAreNamedByFileLineAndProblemAndStopTheImport) {
    struct Case {
        std::vector<std::string> stationLines;
        std::vector<std::string> busLines;
        std::string file;
        std::string problem;
        size_t stationsKept;
    };
    const std::vector<Case> cases = {
        {{"0,1,1,K,S,E", "0,1,2,K,S"}, {"1,1,K,R,T"}, "StationCode.csv", "line 2: 5 fields, 6 needed", 1},
        {{"0,1,1,K,S,E", "", "0,1,2,K,S,E", "garbage"}, {}, "StationCode.csv", "line 4: 1 field, 6 needed", 2},
        {{"0,G1,1,K,S,E"}, {}, "StationCode.csv", "line 1: field 2 \"G1\" is not a hexadecimal number", 0},
        {{"0,1, 1,K,S,E"}, {}, "StationCode.csv", "line 1: field 3 \" 1\" is not a hexadecimal number", 0},
        {{",1,1,K,S,E"}, {}, "StationCode.csv", "line 1: field 1 \"\" is not a hexadecimal number", 0},
        {{"-1,1,1,K,S,E"}, {}, "StationCode.csv", "line 1: field 1 \"-1\" is not a hexadecimal number", 0},
        {{"10000,1,1,K,S,E"}, {}, "StationCode.csv",
         "line 1: field 1 \"10000\" is too long for a 32-bit station code", 0},
        {{"0,1,1,K,S,E"}, {"1,1,K,R,T", "1,2,K,R"}, "irucabus.csv", "line 2: 4 fields, 5 needed", 1},
        {{"0,1,1,K,S,E"}, {"1,&H2,K,R,T"}, "irucabus.csv", "line 1: field 2 \"&H2\" is not a hexadecimal number", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.problem);
        std::filesystem::remove(db());
        stations(c.stationLines);
        busStops(c.busLines);
        EXPECT_FALSE(run());
        const std::string message = "CSV read error: " + dir() + "/" + c.file + " " + c.problem;
        EXPECT_THAT(sink.shown, ElementsAre(message, "CSVtoDB end"));
        EXPECT_EQ(DBErrorMessage, message);
        EXPECT_EQ(stationRows().size(), c.stationsKept);
        if (c.file == "StationCode.csv") {
            EXPECT_TRUE(busRows().empty());
        }
    }
}

TEST_F(StationImport, BytesThatAreNotShiftJisStopTheImport) {
    writeFile(folder / "StationCode.csv", "0,1,1,K,S,E\r\n0,1,2,K,S,\xFF\r\n");
    busStops({});
    EXPECT_FALSE(run());
    EXPECT_THAT(sink.shown, ElementsAre("CSV read error: " + dir() +
                                            "/StationCode.csv line 2: bytes that are not Shift_JIS text at byte 11",
                                        "CSVtoDB end"));
    EXPECT_EQ(stationRows().size(), 1u);

    // A lead byte cut off by the end of the line.
    std::filesystem::remove(db());
    writeFile(folder / "StationCode.csv", "0,1,1,K,S,\x93\n");
    EXPECT_FALSE(run());
    EXPECT_THAT(sink.shown, ElementsAre("CSV read error: " + dir() +
                                            "/StationCode.csv line 1: incomplete Shift_JIS character at byte 11",
                                        "CSVtoDB end"));
}

TEST_F(StationImport, LinesMayEndInLineFeedOnlyAndTheLastNeedsNoLineBreak) {
    writeFile(folder / "StationCode.csv", "0,1,1,K,S,E1\n0,1,2,K,S,E2");
    writeFile(folder / "irucabus.csv", "1,1,K,R,T\n\n");
    ASSERT_TRUE(run());
    EXPECT_THAT(stationRows(), ElementsAre(ElementsAre("257", "K", "S", "E1"), ElementsAre("258", "K", "S", "E2")));
    EXPECT_EQ(busRows().size(), 1u);
}

// A blank line holds no data: it is skipped and the lines around it are kept.
TEST_F(StationImport, BlankLinesBetweenDataLinesAreSkipped) {
    writeFile(folder / "StationCode.csv", "0,1,1,K,S,E1\r\n\r\n0,1,2,K,S,E2\r\n");
    writeFile(folder / "irucabus.csv", "1,1,K,R,T1\n\n\n1,2,K,R,T2\n");
    ASSERT_TRUE(run());
    EXPECT_THAT(sink.shown, ElementsAre("CSVtoDB end"));
    EXPECT_THAT(stationRows(), ElementsAre(ElementsAre("257", "K", "S", "E1"), ElementsAre("258", "K", "S", "E2")));
    EXPECT_THAT(busRows(), ElementsAre(ElementsAre("65537", "K", "R", "T1"), ElementsAre("65538", "K", "R", "T2")));
}

TEST_F(StationImport, DatabaseThatCannotBeOpenedShowsOnlyTheEnd) {
    const std::string missing = dir() + "/no such folder";
    EXPECT_FALSE(CSVtoDB(missing, sink, DBErrorMessage));
    EXPECT_THAT(sink.shown, ElementsAre("CSVtoDB end"));
    EXPECT_EQ(DBErrorMessage, "DB open error: " + missing + "/Station.DB");
}

TEST_F(StationImport, FileThatIsNoDatabaseFailsAtTheTableStatements) {
    writeFile(db(), std::string(4096, 'x'));
    stations({"0,1,1,K,S,E"});
    busStops({});
    EXPECT_FALSE(run());
    EXPECT_THAT(sink.shown, ElementsAre("CSVtoDB end"));
    EXPECT_EQ(DBErrorMessage, "DB CREATE TABLE exec error: file is not a database");
}

}  // namespace
}  // namespace tovani::test
