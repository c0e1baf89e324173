// The window's reader-failure flow over the real reader paths (libnfc with
// the simulated PN532, PC/SC through a private pcscd with the simulated
// reader): pulling the reader while the window polls shows the error in red
// and enables "再読込"; plugging it back in and clicking resumes polling.
// With TOVANI_SCREENSHOT_DIR set, the window is saved there as it shows the
// error, one picture per path.

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "reader_paths.h"
#include "window_support.h"

namespace fs = std::filesystem;
using namespace tovani;
using tovani::test::WindowRig;
using tovani::test::kAskForCard;
using tovani::test::kShown;

namespace {

const std::string kReaderGone = "デバイス情報取得に失敗しました";

}  // namespace

class RealReaderWindowTest : public QObject {
    Q_OBJECT
private slots:
    void pulledReaderShowsTheErrorAndRestartResumes_data();
    void pulledReaderShowsTheErrorAndRestartResumes();
};

void RealReaderWindowTest::pulledReaderShowsTheErrorAndRestartResumes_data() {
    QTest::addColumn<int>("row");
    const auto& rows = test::readerPaths();
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].name != "virtual") QTest::newRow(rows[i].name.c_str()) << static_cast<int>(i);
}

void RealReaderWindowTest::pulledReaderShowsTheErrorAndRestartResumes() {
    QFETCH(int, row);
    const test::ReaderPathRow& pathRow = test::readerPaths()[static_cast<size_t>(row)];
    WindowRig rig;
    std::unique_ptr<test::ReaderPath> path = pathRow.make();
    std::string why;
    QVERIFY2(path->attach(rig.readerDir(), why), why.c_str());
    const auto sync = [&] {
        std::string reason;
        return path->sync(reason) ? std::string() : reason;
    };

    auto& w = rig.start();
    QVERIFY(!rig.button("cmdReset")->isEnabled());
    rig.tick();
    QCOMPARE(w.message(), kAskForCard);
    rig.laySample("transit.json");
    QCOMPARE(sync(), std::string());
    rig.tick();
    QCOMPARE(w.message(), kShown);

    // Pulled while the window polls.
    rig.unplug();
    QCOMPARE(sync(), std::string());
    rig.tick();
    QCOMPARE(w.message(), kReaderGone);
    QCOMPARE(w.messageColour(), ColourRed);
    QVERIFY(rig.button("cmdReset")->isEnabled());
    QVERIFY(!rig.timer()->isActive());
    if (const QByteArray dir = qgetenv("TOVANI_SCREENSHOT_DIR"); !dir.isEmpty()) {
        const QString file = QString::fromUtf8(dir) + "/reader-pulled-" + QString::fromStdString(pathRow.name) + ".png";
        QVERIFY(w.grab().save(file));
    }

    // Plugged back in: "再読込" opens it again and polling goes on.
    rig.plugIn();
    QCOMPARE(sync(), std::string());
    QTest::mouseClick(rig.button("cmdReset"), Qt::LeftButton);
    QVERIFY(!rig.button("cmdReset")->isEnabled());
    QVERIFY(rig.timer()->isActive());
    QCOMPARE(w.message(), std::string());
    // The card lay there all along: it is the card read last, and the line
    // stays empty.
    rig.tick();
    QCOMPARE(w.message(), std::string());
    QVERIFY(rig.timer()->isActive());
    rig.lift();
    QCOMPARE(sync(), std::string());
    rig.tick();
    QCOMPARE(w.message(), kAskForCard);
    rig.laySample("edy.json");
    QCOMPARE(sync(), std::string());
    rig.tick();
    QCOMPARE(w.message(), kShown);

    rig.close();
    path->detach();
}

int main(int argc, char** argv) { return tovani::test::runWindowTests<RealReaderWindowTest>(argc, argv); }

#include "real_reader_window_test.moc"
