#include "tests/support/panelfixture.h"

#include <QDir>
#include <QTest>

#include "audio/matrixwire.h"
#include "panel/pages/qpravikheadphonemirrorpage.h"
#include "panel/pages/qpravikheadphonepopups.h"
#include "panel/pages/qpravikheadphoneslotpage.h"

namespace {

// Gain, panning and balance of each control of a page as it shows them, or
// (model) as the matrix holds them for its input on the page's position.
QStringList values(QPravikHeadphoneWidget* page, bool model)
{
    const TMatrixSettings* m = frontPanelMatrixSettings();
    const int left = 2 * page->position() + 2;
    const auto nodes = [&](int i) { return int(m->isNodeOn(i, left)) | int(m->isNodeOn(i, left + 1)) << 1; };
    const bool stereo = nodes(20) == 1 && nodes(12) == 1 && nodes(24) == 2 && nodes(19) == 2;
    QStringList lines;
    for (int i = 0; i < QPravik::InputCount; ++i) {
        QPravikAudioBase* side = i == page->position() ? page->sideToneStrip() : nullptr;
        for (QPravikAudioBase* c : QList<QPravikAudioBase*>{page->stripFor(i), page->slotFor(i), side}) {
            const bool balance = c && (i == 20 || i == 21) && c == page->stripFor(i);
            if (c)
                lines << QString("%1: %2 dB pan %3 bal %4").arg(i).arg(model ? int(m->nodeGain(i, left)) : c->gain())
                             .arg(!model ? c->panning() : c == side ? 0 : i == 20 && stereo ? 4 : nodes(i))
                             .arg(!balance ? 0 : model ? m->nodeBalance(i, left) : c->balance());
        }
    }
    return lines;
}

// The rest the operator sees of a page and the model keeps of its position.
QStringList rest(QPravikHeadphoneWidget* page)
{
    QStringList lines;
    for (const auto* s : page->findChildren<QPravikAudioInput*>(QString(), Qt::FindDirectChildrenOnly))
        lines << QString("%1 state %2 shown %3").arg(s->input()).arg(s->state()).arg(s->isVisibleTo(page));
    const auto* slotPage = qobject_cast<QPravikHeadphoneSlotPage*>(page);
    for (int row = 0; slotPage && row < 4; ++row)
        lines << QString("row %1: %2 %3").arg(row).arg(slotPage->slotAt(row)->input()).arg(headphoneKnobInputs[4 * page->position() + row]);
    if (auto* p = qobject_cast<QPravikHeadphoneMirrorPage*>(page))
        lines << QString("switches %1 %2 mirror %3").arg(p->mirrorSwitch(1)->isChecked()).arg(p->mirrorSwitch(2)->isChecked()).arg(p->mirroredPosition());
    const TMatrixSettings* m = frontPanelMatrixSettings();
    const int left = 2 * page->position() + 2;
    lines << QString("po %1 copies %2 %3").arg(QByteArray(reinterpret_cast<const char*>(m->programOutput(page->position()).data()), 4).toHex().constData())
                 .arg(m->copySource(left)).arg(m->copySource(left + 1));
    return lines;
}

QPravikHeadphoneWidget* headphones(PanelFixture& panel, int position)
{
    return static_cast<QPravikHeadphoneWidget*>(panel.window->pageWidget(QPravik::PageHeadphone1 + position - 1));
}
QPravikAudioInput* strip(QPravikHeadphoneWidget* page, int input) { return qobject_cast<QPravikAudioInput*>(page->stripFor(input)); }

template <class Popup>
Popup* shownPopup(QWidget* page)
{
    for (Popup* popup : page->findChildren<Popup*>())
        if (popup->isVisible())
            return popup;
    return nullptr;
}
void clickOk(QWidget* popup)
{
    for (QPravikButton* button : popup->findChildren<QPravikButton*>())
        if (button->text() == "OK")
            button->click();
}
// The operator engages a knob and pushes it.
void push(QPravikKnob* knob)
{
    knob->setChecked(true);
    QTest::keyClick(knob, Qt::Key_Return);
    knob->setChecked(false);
}

} // namespace

class ShownHeadphonesTest : public QObject
{
    Q_OBJECT

private slots:
    void refusedWrites_data()
    {
        QTest::addColumn<int>("position");
        QTest::newRow("positions 1 and 2: slots and copy") << 1;
        QTest::newRow("positions 3 and 4: mirror switches") << 4;
    }
    void refusedWrites()
    {
        QFETCH(int, position);
        PanelFixture panel;
        panel.deviceValues.replace("operation_mode:standard", "operation_mode:extended");
        panel.matrixValues = "matrix_opt:20000000;"; // with the side tone
        QVERIFY(panel.login());
        QVERIFY(panel.open(QPravik::Page(QPravik::PageHeadphone1 + position - 1)));
        QPravikHeadphoneWidget* page = headphones(panel, position);
        const QByteArray pair = QByteArray::number(position);
        // Each operator's action: the key the unit refuses, the page the write lands on.
        struct Action { QByteArray key; std::function<void()> act; QPravikHeadphoneWidget* page; };
        QList<Action> actions = {{"matrix_hp" + pair, [&] { PanelFixture::turn(&strip(page, 8)->knob, 1); }, page},
                                 {"matrix_hp" + pair, [&] { push(&strip(page, 8)->knob); }, page},
                                 {"matrix_bal" + pair, [&] { PanelFixture::turn(&strip(page, 20)->balanceSlider, 1); }, page},
                                 {"matrix_vol", [&] { PanelFixture::turn(&page->sideToneStrip()->knob, 1); }, page}};
        if (auto* p = qobject_cast<QPravikHeadphoneSlotPage*>(page)) {
            // The next entry of a slot's select popup, its panning stepped or not.
            const auto select = [p](bool stepPanning) {
                p->slotAt(0)->sourceButton.click();
                auto* popup = shownPopup<QPravikHeadphoneSelect>(p);
                QTest::keyClick(popup, Qt::Key_Plus);
                if (stepPanning)
                    QTest::keyClick(popup, Qt::Key_Return);
                clickOk(popup);
            };
            const auto gainPopup = [p] {
                QTest::mouseClick(p->slotAt(0), Qt::RightButton);
                PanelFixture::turn(&shownPopup<QPravikHeadphoneAudio>(p)->strip->knob, 1);
                clickOk(shownPopup<QPravikHeadphoneAudio>(p));
            };
            const auto copy = [p] { p->copyButton(1)->click(), shownPopup<QPravikMessage>(p)->okButton->click(); };
            actions << Action{"matrix_po" + pair, [=] { select(false); }, page} << Action{"matrix_hp" + pair, [=] { select(true); }, page}
                    << Action{"matrix_hp" + pair, gainPopup, page} << Action{"matrix_hp3", copy, headphones(panel, 3)};
        } else {
            auto* mirror = qobject_cast<QPravikHeadphoneMirrorPage*>(page);
            for (int n : {1, 2, 2}) // on, over to position 2, off
                actions << Action{"matrix_po" + pair, [mirror, n] { mirror->mirrorSwitch(n)->click(); }, page};
        }

        for (const Action& action : actions) {
            QPravikHeadphoneWidget* target = action.page;
            const QStringList shown = values(target, false), held = values(target, true), others = rest(target);
            QCOMPARE(shown, held);
            panel.refuse(action.key);
            action.act();
            // The refused write and nothing after it; the page and the model as they were.
            const QByteArrayList writes = panel.takeWrites();
            QVERIFY2(writes.size() == 1 && writes[0].contains(";" + action.key + ":"), writes.join(" ").constData());
            QVERIFY(panel.openMessages().size() == 1 && panel.shownMessage() == "Failed to apply changes!");
            QCOMPARE(values(target, false), shown);
            QCOMPARE(values(target, true), held);
            QCOMPARE(rest(target), others);
            panel.closeMessages();
            // Taken the second time: the key's cache kept the unit's text.
            action.act();
            QVERIFY(panel.takeWrites().join().contains(";" + action.key + ":") && panel.openMessages().isEmpty());
            QVERIFY(values(target, false) != shown || rest(target) != others);
        }

        // After a reload and a new login, the unit's values: input 8 left only at -12 dB, the side tone at -6 dB.
        matrixwire::Bytes mix;
        mix.fill(0xC0), mix[8] = 0x40 | 20;
        panel.matrixValues = "matrix_opt:20000000;matrix_vol:DADADADA;matrix_po" + pair + ":02030405;matrix_hp" + pair
            + ":" + matrixwire::encodeHeadphone(position - 1, mix, unitFirmwareVersion).c_str() + ";";
        panel.rescript();
        QVERIFY(panel.loginAgain());
        QCOMPARE(values(page, false), values(page, true));
        QVERIFY(values(page, false).contains("8: -12 dB pan 1 bal 0") && page->sideToneStrip()->gain() == -6);
        QVERIFY(rest(page).contains(position == 1 ? "row 0: 1 1" : "switches 0 1 mirror 1"));
    }

    void untakenControls_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<QList<int>>("untaken");
        QTest::newRow("1.7.3: side tone") << QByteArray("1.7.3") << QList<int>{18};
        QTest::newRow("1.6.5: second network") << QByteArray("1.6.5") << QList<int>{14, 15, 16, 18};
    }
    void untakenControls()
    {
        QFETCH(QByteArray, version);
        QFETCH(QList<int>, untaken);
        PanelFixture panel(version);
        panel.matrixValues = "matrix_opt:20000000;";
        QVERIFY(panel.login());
        for (int position = 1; position <= 4; ++position) {
            QVERIFY(panel.open(QPravik::Page(QPravik::PageHeadphone1 + position - 1)));
            QPravikHeadphoneWidget* page = headphones(panel, position);
            const QStringList held = values(page, true);
            // The side tone shown but locked; the strips no key carries not offered.
            QPravikAudioInput* sideTone = page->sideToneStrip();
            QVERIFY(sideTone->isVisible() && sideTone->state() == 2 && !sideTone->knob.isEnabled());
            PanelFixture::turn(&sideTone->knob, 2);
            for (int input : untaken)
                QVERIFY(!strip(page, input)->isVisible() && !strip(page, input)->isEnabled() && strip(page, input)->state() == 2);
            QVERIFY(panel.takeWrites().isEmpty() && values(page, true) == held && values(page, false) == held);
            if (version == "1.6.5" && position == 1)
                QVERIFY(page->grab().save(QDir(qEnvironmentVariable("KANDELO_BINARY_DIR", QDir::tempPath())).filePath("headphone-1.6.5.png")));
        }
        QVERIFY(panel.openMessages().isEmpty());
    }
};

QTEST_MAIN(ShownHeadphonesTest)
#include "tst_shownheadphones.moc"
