#include "tests/support/panelfixture.h"

#include <QTest>

// The audio pages as the operator meets them on the shown window after a
// login, with a unit that refuses writes.
class ShownAudioTest : public QObject
{
    Q_OBJECT

private slots:
    void refusedKnob()
    {
        PanelFixture panel;
        panel.audioValues = "auxiliary_board:yes;input1_gain:10;";
        QVERIFY(panel.login());
        QVERIFY(panel.open(QPravik::PageAudio));
        auto* page = static_cast<QPravikAudioPage*>(panel.window->pageWidget(QPravik::PageAudio));
        QCOMPARE(page->input1Knob->value(), 10);
        panel.refuse("input1_gain", -1);
        PanelFixture::turn(page->input1Knob, 3);
        QCOMPARE(frontPanelAudioSettings()->input1Gain(), 10);
        QCOMPARE(page->input1Knob->value(), 10);
        QCOMPARE(panel.openMessages().size(), 1);
        QCOMPARE(panel.shownMessage(), QString("Failed to apply changes!"));
        QCOMPARE(panel.takeWrites().size(), 3);
    }
};

QTEST_MAIN(ShownAudioTest)
#include "tst_shownaudio.moc"
