// Linux's file modes: what the program makes holds the user's history and is
// the user's alone, whatever the umask.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <utility>

#include "database/db_access.h"
#include "database/file_system.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "store/test_db.h"
#include "support/temp_dir.h"

namespace tovani {
namespace {

using test::sfCard;

TEST(PrivateFiles, CardFilesTheirJournalsAndStationDbAreTheUsersAlone) {
    const mode_t umask = ::umask(0);
    test::TempDir dir;
    const CardReadResults card = sfCard("0000-0000-0000-0011", {3});
    const std::string path = cardDbPath(dir.str(), card.CardKind, card.CardID);
    std::string message;
    DbFile writer, station;
    EXPECT_TRUE(createFolder(rirekiFolder(dir.str())) && insertRirekiDB(path, card, message)) << message;
    EXPECT_TRUE(writer.open(path, bridge::OpenReadWrite) && writer.exec("BEGIN; DELETE FROM Rireki;"));
    EXPECT_TRUE(station.open(dir.str() + "/Station.DB", bridge::OpenReadWriteCreate));
    ::umask(umask);
    for (const auto& [file, mode] : {std::pair{rirekiFolder(dir.str()), 0700}, {path, 0600}, {path + "-journal", 0600},
                                     {dir.str() + "/Station.DB", 0600}})
        EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(mode)) << file;
}

}  // namespace
}  // namespace tovani
