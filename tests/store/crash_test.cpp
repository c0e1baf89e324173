// A store killed at any point leaves a sound file: every statement commits
// on its own, so only whole rows are there, and the next store of the same
// read adds the rest.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <numeric>
#include <random>

#include "database/db_access.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "store/test_db.h"
#include "support/temp_dir.h"

namespace tovani {
namespace {

using test::query;

// Whole rows only, and only rows of the read.
void expectWholeRows(const std::string& path, size_t& rows) {
    const auto stored = query(path, "SELECT * FROM Rireki ORDER BY TorihikiTsuuban;");
    for (const auto& row : stored) {
        ASSERT_FALSE(row.empty());
        const int32_t serial = std::stoi(row[0]);
        EXPECT_GE(serial, 1);
        EXPECT_LE(serial, 20);
        EXPECT_EQ(row, test::sfRow(serial));
    }
    rows = stored.size();
}

TEST(CrashSafety, AStoreKilledMidwayLeavesWholeRowsAndIsCompletedByTheNextStore) {
    test::TempDir dir;
    std::vector<int32_t> serials(20);
    std::iota(serials.rbegin(), serials.rend(), 1);  // slot 0 the newest
    const CardReadResults card = test::sfCard("0000-0000-0000-00FF", serials);

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    // The first store runs 23 write transactions: two tables, the identity, 20 rows.
    std::uniform_int_distribution<int> transactions(1, 23);

    constexpr int kRounds = 12;
    int cutShort = 0;
    int killedInTransaction = 0;
    for (int round = 0; round < kRounds; ++round) {
        const std::string path = (dir / ("SF_" + std::to_string(round) + ".DB")).string();
        const std::string journal = path + "-journal";

        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            std::string message;
            _exit(insertRirekiDB(path, card, message) ? 0 : 1);
        }

        // Kill the child while it is inside its k-th write transaction, which
        // is while the rollback journal exists.
        const int k = transactions(rng);
        int seen = 0;
        bool inTransaction = false;
        bool exited = false;
        int status = 0;
        while (true) {
            struct stat st;
            const bool journalNow = stat(journal.c_str(), &st) == 0;
            if (journalNow && !inTransaction && ++seen >= k) break;
            inTransaction = journalNow;
            if (waitpid(child, &status, WNOHANG) == child) {
                exited = true;
                break;
            }
        }
        if (!exited) {
            kill(child, SIGKILL);
            ASSERT_EQ(waitpid(child, &status, 0), child);
        }
        if (WIFSIGNALED(status)) {
            struct stat st;
            if (stat(journal.c_str(), &st) == 0) ++killedInTransaction;
        } else {
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "store failed on its own";
        }

        // Whoever opens the file next, here a reader, rolls a cut transaction
        // back and sees a sound file.
        EXPECT_EQ(query(path, "PRAGMA integrity_check;"), (test::Rows{{"ok"}}));
        const auto tables = query(path, "SELECT name FROM sqlite_master WHERE type = 'table';");
        size_t before = 0;
        if (tables.size() == 2) {
            expectWholeRows(path, before);
            EXPECT_LE(query(path, "SELECT * FROM CardInfo;").size(), 1u);
        }
        if (before < 20) ++cutShort;

        std::string message;
        ASSERT_TRUE(insertRirekiDB(path, card, message)) << message;
        size_t after = 0;
        expectWholeRows(path, after);
        EXPECT_EQ(after, 20u);
        EXPECT_EQ(query(path, "SELECT * FROM CardInfo;"),
                  (test::Rows{{"100", "0000-0000-0000-00FF", "0"}}));
    }
    // The kills really landed inside stores, most of them inside a transaction.
    EXPECT_GE(cutShort, kRounds / 2);
    EXPECT_GE(killedInTransaction, 1);
    std::printf("rounds %d, cut short %d, killed inside a transaction %d\n", kRounds, cutShort,
                killedInTransaction);
}

TEST(CrashSafety, TheFirstReaderAfterACutWriteSeesTheFileAsItWas) {
    test::TempDir dir;
    const std::string path = (dir / "SF_0000-0000-0000-00FE.DB").string();
    const CardReadResults card = test::sfCard("0000-0000-0000-00FE", {3, 2, 1});
    std::string message;
    ASSERT_TRUE(insertRirekiDB(path, card, message));
    ASSERT_EQ(test::runSql(path, {"CREATE TABLE Filler ( x );",
                                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
                                  "INSERT INTO Filler SELECT randomblob(1000) FROM n;"}),
              "");

    // A writer dies inside a transaction after the engine has already moved
    // changed pages into the file (its cache is too small to hold them); the
    // journal beside the file holds the pages as they were.
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        DbFile db;
        if (db.open(path, bridge::OpenReadWriteCreate) && db.exec("PRAGMA cache_size = 1;") &&
            db.exec("BEGIN;") && db.exec("DELETE FROM Rireki;") && db.exec("DELETE FROM CardInfo;") &&
            db.exec("UPDATE Filler SET x = randomblob(1000);"))
            kill(getpid(), SIGKILL);
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_TRUE(fileExists(path + "-journal"));

    // The readers open read-only, as the transit decoder and the balance
    // overview do before anything writes to the file again.
    RirekiInfo newest;
    ASSERT_TRUE(selectRerekiDB(path, -1, newest, message)) << message;
    EXPECT_EQ(newest, test::sfEntry(3));
    CardInfoRecord info;
    ASSERT_TRUE(selectCardInfoDB(path, info, message)) << message;
    EXPECT_EQ(info.CardID, "0000-0000-0000-00FE");
    EXPECT_FALSE(fileExists(path + "-journal"));
    EXPECT_EQ(query(path, "PRAGMA integrity_check;"), (test::Rows{{"ok"}}));
}

// A first store that fails on a full disk, at whichever step, takes the file
// it made away again: a file without history would break the balance
// overview at every start, and one without tables could be given the wrong
// ones. Each round gives every file room for one more page.
TEST(CrashSafety, AFirstStoreThatFailsLeavesNoFile) {
    test::TempDir dir;
    const CardReadResults card = test::sfCard("0000-0000-0000-00FE", {3, 2, 1});
    constexpr rlim_t kPage = 4096;
    for (rlim_t pages = 0;; ++pages) {
        ASSERT_LT(pages, 16u) << "the store never succeeded";
        const std::string path = (dir / ("SF_" + std::to_string(pages) + ".DB")).string();
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails as on a full disk
            const rlimit room{pages * kPage, pages * kPage};
            setrlimit(RLIMIT_FSIZE, &room);
            std::string message;
            _exit(insertRirekiDB(path, card, message) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        SCOPED_TRACE("room for " + std::to_string(pages) + " pages");
        if (WEXITSTATUS(status) == 0) {
            EXPECT_EQ(query(path, "SELECT COUNT(*) FROM Rireki;"), (test::Rows{{"3"}}));
            break;
        }
        EXPECT_FALSE(fileExists(path));
        EXPECT_FALSE(fileExists(path + "-journal"));
    }
}

}  // namespace
}  // namespace tovani
