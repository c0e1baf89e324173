#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "names/station_import.h"
#include "names/station_lookup.h"
#include "names_support.h"
#include "support/temp_dir.h"

namespace tovani::test {
namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the tool from the program folder with the given argument text
// (already quoted for the shell).
ToolRun runTool(const TempDir& scratch, const std::string& args) {
    const std::string errFile = (scratch / "tool-stderr.txt").string();
    const std::string command =
        "'" + std::string(TOVANI_PROGRAM_DIR) + "/tovani-import-stations' " + args + " 2>'" + errFile + "'";
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buf[512];
    while (const size_t n = fread(buf, 1, sizeof buf, pipe)) run.out.append(buf, n);
    const int rc = pclose(pipe);
    run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    run.err = readFile(errFile);
    return run;
}

std::string quotedPath(const TempDir& dir) { return "'" + dir.str() + "'"; }

class ImportTool : public ::testing::Test {
protected:
    void copySamples() {
        for (const char* name : {"StationCode.csv", "irucabus.csv"})
            std::filesystem::copy_file(std::filesystem::path(TOVANI_SOURCE_DIR) / "samples/stations" / name,
                                       folder / name);
    }
    TempDir folder;
    TempDir scratch;
};

TEST_F(ImportTool, ImportsTheSampleFilesIntoTheGivenFolder) {
    copySamples();
    const ToolRun run = runTool(scratch, quotedPath(folder));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "CSVtoDB end\n");
    EXPECT_EQ(run.err, "");

    const std::string db = stationDbPath(folder.str());
    EXPECT_EQ(queryRows(db, "SELECT COUNT(*) FROM Station;"), Rows{{"27"}});
    EXPECT_EQ(queryRows(db, "SELECT COUNT(*) FROM BusStop;"), Rows{{"11"}});

    NameCaches caches;
    std::string error;
    auto station = [&](int32_t code) { return getStation(code, folder.str(), caches, error); };
    auto busStop = [&](uint32_t code) { return getBusStop(static_cast<int32_t>(code), folder.str(), caches, error); };
    EXPECT_EQ(station(0x0101), "東京駅 山手線 JR東日本");
    EXPECT_EQ(station(0xA305), "十条駅 東北本線 JR東日本");  // line field 1A3
    EXPECT_EQ(station(0xE210), "表参道駅 銀座線 東京地下鉄");
    EXPECT_EQ(station(0xF102), "日暮里駅 東京都交通局");
    EXPECT_EQ(station(0x1D104), "能勢口駅 宝塚本線 阪急電鉄");
    EXPECT_EQ(station(0x24001), "天神駅 空港線 福岡市交通局");
    EXPECT_EQ(busStop(0x00010001), "渋谷駅前 都01線,都営バス");
    EXPECT_EQ(busStop(0x80010001), "辻堂駅北口 辻04線,神奈川中央交通");
    EXPECT_EQ(busStop(0xA0100100), "天神,西鉄バス");
    EXPECT_EQ(busStop(0xFFFF0000), "表町 表町循環線,市営バス");
    EXPECT_EQ(error, "");
}

TEST_F(ImportTool, FailedImportPrintsTheMessagesAndExitsNonZero) {
    copySamples();
    ASSERT_EQ(runTool(scratch, quotedPath(folder)).status, 0);
    const ToolRun again = runTool(scratch, quotedPath(folder));
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.out, "DB INSERT Station exec error: UNIQUE constraint failed: Station.Code\nCSVtoDB end\n");
    EXPECT_EQ(again.err, "");

    TempDir empty;
    const ToolRun none = runTool(scratch, quotedPath(empty));
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "CSV read error: " + empty.str() + "/StationCode.csv: file not found\nCSVtoDB end\n");
}

TEST_F(ImportTool, FailureWithoutAMessageBoxIsPrintedToStandardError) {
    copySamples();
    std::filesystem::create_directory(folder / "Station.DB");
    const ToolRun run = runTool(scratch, quotedPath(folder));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "CSVtoDB end\n");
    EXPECT_NE(run.err.find("DB "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Station.DB"), std::string::npos) << run.err;
}

TEST_F(ImportTool, RejectsAWrongCommandLine) {
    EXPECT_EQ(runTool(scratch, quotedPath(folder) + " extra").status, 2);
    const ToolRun missing = runTool(scratch, "'" + folder.str() + "/none'");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("is not a folder"), std::string::npos);
}

}  // namespace
}  // namespace tovani::test
