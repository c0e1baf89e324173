// The window's reader-failure flow over the real reader paths (libnfc with
// the simulated PN532, PC/SC through a private pcscd with the simulated
// reader): pulling the reader while the window polls shows the error in red
// and enables "再読込"; plugging it back in and clicking resumes polling.

#include <gtest/gtest.h>

#include "reader_paths.h"
#include "window_support.h"

using namespace tovani;
using tovani::shell::Control;
using tovani::test::kAskForCard;
using tovani::test::kShown;
using tovani::test::WindowRig;

namespace {

const std::string kReaderGone = "デバイス情報取得に失敗しました";

std::vector<test::ReaderPathRow> realPaths() {
    std::vector<test::ReaderPathRow> rows;
    for (const auto& row : test::readerPaths())
        if (row.name != "virtual") rows.push_back(row);
    return rows;
}

class RealReaderWindow : public ::testing::TestWithParam<test::ReaderPathRow> {};

}  // namespace

TEST_P(RealReaderWindow, PulledReaderShowsTheErrorAndRestartResumes) {
    WindowRig rig;
    std::unique_ptr<test::ReaderPath> path = GetParam().make();
    std::string why;
    ASSERT_TRUE(path->attach(rig.readerDir(), why)) << why;
    const auto sync = [&] {
        std::string reason;
        return path->sync(reason) ? std::string() : reason;
    };

    auto& w = rig.start();
    auto& win = rig.window();
    EXPECT_FALSE(win.enabled(Control::cmdReset));
    rig.tick();
    EXPECT_EQ(w.message(), kAskForCard);
    rig.laySample("transit.json");
    EXPECT_EQ(sync(), "");
    rig.tick();
    EXPECT_EQ(w.message(), kShown);

    // Pulled while the window polls.
    rig.unplug();
    EXPECT_EQ(sync(), "");
    rig.tick();
    EXPECT_EQ(w.message(), kReaderGone);
    EXPECT_EQ(w.messageColour(), ColourRed);
    EXPECT_TRUE(win.enabled(Control::cmdReset));
    EXPECT_FALSE(win.timerOn);

    // Plugged back in: "再読込" opens it again and polling goes on.
    rig.plugIn();
    EXPECT_EQ(sync(), "");
    w.cmdReset_Click();
    EXPECT_FALSE(win.enabled(Control::cmdReset));
    EXPECT_TRUE(win.timerOn);
    EXPECT_EQ(w.message(), "");
    // The card lay there all along: it is the card read last, and the line
    // stays empty.
    rig.tick();
    EXPECT_EQ(w.message(), "");
    EXPECT_TRUE(win.timerOn);
    rig.lift();
    EXPECT_EQ(sync(), "");
    rig.tick();
    EXPECT_EQ(w.message(), kAskForCard);
    rig.laySample("edy.json");
    EXPECT_EQ(sync(), "");
    rig.tick();
    EXPECT_EQ(w.message(), kShown);

    rig.close();
    path->detach();
}

INSTANTIATE_TEST_SUITE_P(Readers, RealReaderWindow, ::testing::ValuesIn(realPaths()),
                         [](const ::testing::TestParamInfo<test::ReaderPathRow>& row) { return row.param.name; });
