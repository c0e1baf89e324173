// The bridge library cannot be loaded: every database routine fails with its
// usual text, the reason goes to standard error, and nothing crashes.

#include <gtest/gtest.h>

#include "database/bridge.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "support/temp_dir.h"

namespace tovani {
namespace {

TEST(MissingBridge, RoutinesFailWithTheirTextsAndTheReasonGoesToStderr) {
    test::TempDir dir;
    const std::string library = dir.str() + "/no/such/librowgate.so";
    bridge::setLibraryPath(library);

    const std::string path = dir.str() + "/SF_0000-0000-0000-0001.DB";
    test::writeFile(path, "");  // exists, so the readers get as far as the open
    CardReadResults card;
    card.CardKind = CardKindSF;
    card.CardRireki[0].RiyouKubun = 1;  // one entry to store
    std::string message;

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(insertRirekiDB(path, card, message));
    const std::string reason = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(message, "DB open error");
    EXPECT_NE(reason.find(library), std::string::npos) << reason;

    CardInfoRecord info;
    EXPECT_FALSE(selectCardInfoDB(path, info, message));
    EXPECT_EQ(message, "DB open error" + path);
    RirekiInfo rireki;
    EXPECT_FALSE(selectRerekiDB(path, 1, rireki, message));
    EXPECT_EQ(message, "DB open error: " + path);

    // Calls on no connection answer an error and a readable message.
    EXPECT_NE(bridge::rowgate_exec(nullptr, "SELECT 1;", nullptr, nullptr, nullptr), bridge::Ok);
    EXPECT_NE(std::string(bridge::rowgate_errmsg(nullptr)), "");
}

}  // namespace
}  // namespace tovani
