#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

#include "store/test_db.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"
#include "views/card_views_support.h"

namespace tovani::test {
namespace {

namespace fs = std::filesystem;

// Every path below the folder, to see that a run created nothing.
std::set<std::string> listing(const fs::path& dir) {
    std::set<std::string> paths;
    for (const auto& e : fs::recursive_directory_iterator(dir)) paths.insert(e.path().string());
    return paths;
}

class ViewTool : public ::testing::Test {
public:
    // Runs tovani-view (in the folder cwd when given).
    ToolRun run(const std::string& args, const std::string& cwd = "") {
        return runShell((cwd.empty() ? "" : "cd " + shellQuoted(cwd) + " && ") +
                            shellQuoted(std::string(TOVANI_PROGRAM_DIR) + "/tovani-view") + " " + args,
                        scratch / "stderr.txt");
    }
    std::string dirArg() const { return " --program-dir " + shellQuoted(program.str()); }
    std::string card(const std::string& name) const { return rirekiFilePath(program.str(), name); }

    void SetUp() override { fs::create_directories(program / "RirekiDB"); }

    TempDir program;
    TempDir scratch;
};

TEST_F(ViewTool, PrintsTheLabelsThenTheTableAsTheWindowShowsIt) {
    storeCard(card("Edy_0000-0000-0000-0001.DB"), CardKindEdy, "0000-0000-0000-0001", 20090315,
              {entry(1, 0x02, 20100401, 93005, 3000, 3000), entry(2, 0x20, 20100402, 120000, 500, 2500)});
    const ToolRun history = run("history " + shellQuoted(card("Edy_0000-0000-0000-0001.DB")) + dirArg());
    ASSERT_EQ(history.status, 0) << history.err;
    EXPECT_EQ(history.out,
              "Edy番号：0000-0000-0000-0001\n"
              "作成年月日：2009/03/15\n"
              "残高：2,500 円\n"
              "取引通番\t取引日時\t利用区分\t入金\t出金\t残高\n"
              "2\t2010/04/02 12:00:00\t支払い\t\t500\t2,500\n"
              "1\t2010/04/01 09:30:05\tチャージ\t3,000\t\t3,000\n");
    EXPECT_EQ(history.err, "");

    storeCard(card("WAON_W.DB"), CardKindWaon, "W", 0,
              {entry(1, 0x0C, 20100401, 0, 0, 1000, 1000), entry(2, 0x0C, 20100402, 0, 0, 2000, 1000),
               entry(3, 0x0C, 20100403, 0, 0, 3000, 1000), entry(4, 0x04, 20100404, 0, 300, 2700),
               entry(5, 0x04, 20100405, 0, 300, 2400), entry(6, 0x04, 20100406, 0, 300, 2100),
               entry(7, 0x04, 20100407, 0, 334, 1766)});
    // A relative FILE is taken as given, from the current folder.
    const ToolRun totals = run("totals RirekiDB/WAON_W.DB" + dirArg(), program.str());
    ASSERT_EQ(totals.status, 0) << totals.err;
    EXPECT_EQ(totals.out,
              "WAON番号：W\n"
              "\n"
              "残高：1,766 円\n"
              "取引年月\t入金合計\t入金回数\t入金平均額\t出金合計\t出金回数\t出金平均額\n"
              "2010/04\t3,000\t3\t1,000\t1,234\t4\t309\n");
}

TEST_F(ViewTool, BalancesOfNoCardsShowTheStartUpLayoutAndCreateNothing) {
    const std::string startUp = "\n\n\n取引通番\t取引日時\t利用区分\t入金\t出金\t残高\n\t\t\t\t\t\n";
    ToolRun r = run("balances" + dirArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, startUp);

    fs::remove(program / "RirekiDB");
    r = run("balances" + dirArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, startUp);
    EXPECT_FALSE(fs::exists(program / "RirekiDB"));

    // Installed, for a user who has stored nothing yet (no data folder): the same, and none is made.
    const TempDir installed, home;
    for (const char* name : {"tovani-view", "librowgate.so"})
        fs::copy_file(fs::path(TOVANI_PROGRAM_DIR) / name, installed / name);
    r = runShell("env -u XDG_DATA_HOME HOME=" + shellQuoted(home.str()) + " " +
                     shellQuoted((installed / "tovani-view").string()) + " balances",
                 scratch / "stderr.txt");
    EXPECT_EQ(r.out, startUp) << r.err;
    EXPECT_TRUE(r.status == 0 && fs::is_empty(home.path()));
}

TEST_F(ViewTool, BalancesFollowTheFileListAndAddUp) {
    // Listed by name without regard to case: b before C; equal balances keep
    // that order.
    storeCard(card("Edy_b.DB"), CardKindEdy, "b", 0, {entry(1, 0x20, 20100105, 0, 1, 500)});
    storeCard(card("Edy_C.DB"), CardKindEdy, "C", 0, {entry(1, 0x20, 20100106, 0, 1, 500)});
    storeCard(card("SF_a.DB"), CardKindSF, "a", 0, {entry(1, 0x01, 20101231, 0, 1, 12000)});
    fs::create_directory(card("folder.DB"));
    writeFile(program / "RirekiDB" / "notes.txt", "not a card file");
    writeFile(program / "RirekiDB" / ".hidden.DB", "not listed");
    const ToolRun r = run("balances" + dirArg());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "カード枚数：3 枚\n"
              "\n"
              "残高合計：13,000 円\n"
              "カード種類\tカード番号\t最終取引年月日\t残高\n"
              "Suica/ICOCA等\ta\t2010/12/31\t12,000\n"
              "Edy\tb\t2010/01/05\t500\n"
              "Edy\tC\t2010/01/06\t500\n");
}

// The rows as Python's CSV module reads the file, as JSON.
std::string readBackWithPython(const fs::path& csvFile) {
    const std::string script =
        "import csv, json, sys\n"
        "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
        "    print(json.dumps(list(csv.reader(f)), ensure_ascii=False))\n";
    const fs::path scriptFile = csvFile.parent_path() / "read.py";
    writeFile(scriptFile, script);
    return runShell("python3 " + shellQuoted(scriptFile.string()) + " " + shellQuoted(csvFile.string()),
                    csvFile.parent_path() / "python-stderr.txt")
        .out;
}

std::string json(const Table& rows) {
    std::string out = "[";
    for (size_t r = 0; r < rows.size(); ++r) {
        out += r ? ", [" : "[";
        for (size_t c = 0; c < rows[r].size(); ++c) {
            out += c ? ", \"" : "\"";
            for (char ch : rows[r][c]) {
                if (ch == '"' || ch == '\\') out += '\\';
                if (ch == '\n') out += "\\n";
                else if (ch == '\r') out += "\\r";
                else out += ch;
            }
            out += '"';
        }
        out += "]";
    }
    return out + "]\n";
}

TEST_F(ViewTool, CsvReadsBackToTheSameTable) {
    // Card numbers as another program might have stored them: a quote, a
    // comma and a line break must survive the trip.
    for (const char* id : {"A\"B,C", "line\r\nbreak", "plain"}) {
        ASSERT_EQ(runSql(card(std::string("Edy_") + (id[0] == 'A' ? "1" : id[0] == 'l' ? "2" : "3") + ".DB"),
                         edyFile({"INSERT INTO CardInfo VALUES ( 1, " + std::string("'") + id + "', 0 );",
                                  "INSERT INTO Rireki VALUES ( 1, 2, 20100101, 0, 1, 1234 );"})),
                  "");
    }
    const ToolRun r = run("balances --csv" + dirArg());
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.out.rfind("\xEF\xBB\xBF", 0), 0u) << "no byte-order mark";
    EXPECT_EQ(r.out.substr(3, r.out.find("\r\n") - 3), "カード種類,カード番号,最終取引年月日,残高");
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "\r\n");
    const fs::path file = scratch / "out.csv";
    writeFile(file, r.out);
    EXPECT_EQ(readBackWithPython(file), json({{"カード種類", "カード番号", "最終取引年月日", "残高"},
                                              {"Edy", "A\"B,C", "2010/01/01", "1,234"},
                                              {"Edy", "line\r\nbreak", "2010/01/01", "1,234"},
                                              {"Edy", "plain", "2010/01/01", "1,234"}}));
}

TEST_F(ViewTool, FailuresPrintTheReasonAloneAndCreateNothing) {
    struct Case {
        const char* what;
        std::function<std::string(ViewTool&)> prepare;  // returns the arguments
        std::function<std::string(ViewTool&)> text;
    };
    const std::vector<Case> cases = {
        {"missing file", [](ViewTool& t) { return "history " + shellQuoted(t.card("Edy_GONE.DB")) + t.dirArg(); },
         [](ViewTool&) { return std::string("DB open error"); }},
        {"no database",
         [](ViewTool& t) {
             writeFile(t.card("Edy_X.DB"), "just text, no database at all.............................\n");
             return "totals --csv " + shellQuoted(t.card("Edy_X.DB")) + t.dirArg();
         },
         [](ViewTool&) { return std::string("DB COUNT CardInfo exec error: file is not a database"); }},
        {"no card row",
         [](ViewTool& t) {
             storeCard(t.card("Edy_E.DB"), CardKindEdy, "E", 0, {entry(1, 0x20, 20100105, 0, 1, 500)});
             EXPECT_EQ(runSql(t.card("Edy_E.DB"), {"DELETE FROM CardInfo;"}), "");
             return "history " + shellQuoted(t.card("Edy_E.DB")) + t.dirArg();
         },
         [](ViewTool&) { return std::string("DB CardInfo 未登録 error "); }},
        {"a card file without history among the balances",
         [](ViewTool& t) {
             storeCard(t.card("Edy_1.DB"), CardKindEdy, "1", 0, {entry(1, 0x20, 20100105, 0, 1, 500)});
             EXPECT_EQ(runSql(t.card("Edy_2.DB"), edyFile({"INSERT INTO CardInfo VALUES ( 1, '2', 0 );"})), "");
             return "balances" + t.dirArg();
         },
         [](ViewTool& t) { return "Rireki record not exist: " + t.card("Edy_2.DB"); }},
        {"RirekiDB not a folder",
         [](ViewTool& t) {
             fs::remove(t.program / "RirekiDB");
             writeFile(t.program / "RirekiDB", "a file");
             return "balances" + t.dirArg();
         },
         [](ViewTool& t) { return "RirekiDB folder error: " + (t.program / "RirekiDB").string() + ": not a folder"; }},
        {"program folder missing", [](ViewTool& t) { return "balances --program-dir " + shellQuoted(t.program.str() + "/nowhere"); },
         [](ViewTool& t) { return "Program folder not found: " + t.program.str() + "/nowhere"; }},
        // A mistyped folder would otherwise show a transit history without
        // a single station name and no word why.
        {"program folder missing for a history",
         [](ViewTool& t) {
             storeCard(t.card("Edy_E.DB"), CardKindEdy, "E", 0, {entry(1, 0x20, 20100105, 0, 1, 500)});
             return "history " + shellQuoted(t.card("Edy_E.DB")) + " --program-dir " + shellQuoted(t.program.str() + "/nowhere");
         },
         [](ViewTool& t) { return "Program folder not found: " + t.program.str() + "/nowhere"; }},
        // The program folder is named without a trailing separator, however
        // it was given.
        {"program folder given with trailing separators",
         [](ViewTool& t) {
             EXPECT_EQ(runSql(t.card("Edy_2.DB"), edyFile({"INSERT INTO CardInfo VALUES ( 1, '2', 0 );"})), "");
             return "balances --program-dir " + shellQuoted(t.program.str() + "//");
         },
         [](ViewTool& t) { return "Rireki record not exist: " + t.card("Edy_2.DB"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(program.path());
        fs::create_directories(program / "RirekiDB");
        const std::string args = c.prepare(*this);
        const auto before = listing(program.path());
        const ToolRun r = run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.text(*this) + "\n");
        EXPECT_EQ(listing(program.path()), before);
    }
}

TEST_F(ViewTool, AnOutputThatCannotBeWrittenIsAFailure) {
    const ToolRun r = run("balances" + dirArg() + " >/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "cannot write to standard output\n");
}

TEST_F(ViewTool, WrongCommandLinesPrintTheUsage) {
    for (const char* args : {"", "show", "history", "totals --csv", "balances extra", "history a b",
                             "balances --program-dir", "history a --program-dir x --program-dir y", "totals a --tsv"}) {
        SCOPED_TRACE(args);
        const ToolRun r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("Usage: tovani-view history FILE", 0), 0u) << r.err;
    }
}

}  // namespace
}  // namespace tovani::test
