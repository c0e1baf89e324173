// The library loads but lacks the bridge's exports: the open fails, the
// missing export is named on standard error once.

#include <gtest/gtest.h>

#include "database/bridge.h"
#include "store/card_store.h"
#include "support/system.h"
#include "support/temp_dir.h"

namespace tovani {
namespace {

TEST(BridgeWithoutExports, OpenFailsAndNamesTheMissingExportOnce) {
    bridge::setLibraryPath(test::libraryWithoutTheBridge);  // loadable, but not the bridge
    test::TempDir dir;
    const std::string path = dir.str() + "/Edy_0000-0000-0000-0001.DB";
    CardReadResults card;
    card.CardKind = CardKindEdy;
    card.CardRireki[0].RiyouKubun = 1;  // one entry to store
    std::string message;

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(insertRirekiDB(path, card, message));
    EXPECT_FALSE(insertRirekiDB(path, card, message));
    const std::string reason = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(message, "DB open error");
    const auto first = reason.find("rowgate_open_v2");
    ASSERT_NE(first, std::string::npos) << reason;
    EXPECT_EQ(reason.find("rowgate_open_v2", first + 1), std::string::npos) << reason;
}

}  // namespace
}  // namespace tovani
