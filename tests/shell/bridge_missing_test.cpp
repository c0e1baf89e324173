// Without the bridge library the window still reads and shows a card; the
// store's failure text is shown in the box and polling goes on.

#include <gtest/gtest.h>

#include "database/bridge.h"
#include "window_support.h"

using namespace tovani;

TEST(WindowWithoutBridge, CardIsShownAndTheStoreFailureSaid) {
    bridge::setLibraryPath("/nonexistent/librowgate.so");
    test::WindowRig rig;
    auto& w = rig.start();
    rig.laySample("transit.json");
    rig.tick();
    EXPECT_EQ(w.message(), test::kShown);
    EXPECT_EQ(rig.text(shell::Control::lblCardID), "IDm番号：" + w.Card.CardID);
    EXPECT_EQ(rig.boxes(), std::vector<std::string>{"DB open error"});
    EXPECT_TRUE(rig.window().timerOn);
    rig.tick();  // the same card: nothing more
    EXPECT_EQ(rig.boxes().size(), 1u);
}
