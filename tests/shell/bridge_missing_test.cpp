// Without the bridge library the window still reads and shows a card; the
// store's failure text is shown in the box and polling goes on.

#include <QLabel>
#include <QTest>
#include <QTimer>

#include "window_support.h"

using namespace tovani;

class MissingBridgeTest : public QObject {
    Q_OBJECT
private slots:
    void cardIsShownAndTheStoreFailureSaid() {
        test::WindowRig rig;
        auto& w = rig.start();
        rig.laySample("transit.json");
        rig.tick();
        QCOMPARE(w.message(), test::kShown);
        QCOMPARE(rig.label("lblCardID")->text().toStdString(), "IDm番号：" + w.Card.CardID);
        QCOMPARE(rig.boxes.size(), size_t(1));
        QCOMPARE(rig.boxes[0], std::string("DB open error"));
        QVERIFY(rig.timer()->isActive());
        rig.tick();  // the same card: nothing more
        QCOMPARE(rig.boxes.size(), size_t(1));
    }
};

int main(int argc, char** argv) {
    return tovani::test::runWindowTests<MissingBridgeTest>(argc, argv, "/nonexistent/librowgate.so");
}

#include "bridge_missing_test.moc"
