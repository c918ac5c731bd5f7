#include <QtTest>

#include <QAccessible>
#include <QApplication>
#include <QPointer>
#include <QStackedLayout>

#include <functional>

#include "panel/kit/controls.h"
#include "panel/kit/look.h"
#include "panel/kit/menuselect.h"
#include "panel/kit/menuwidget.h"
#include "panel/kit/popup.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/panelshared.h"
#include "tests/support/paintcounter.h"

namespace {

void mouse(QWidget* w, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, w->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

// Press and release in the middle of a row's widget; the list sees the click.
void click(QWidget* w)
{
    mouse(w, QEvent::MouseButtonPress, w->rect().center());
    mouse(w, QEvent::MouseButtonRelease, w->rect().center());
}

void runDeferred()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents();
}

class DerivedItem : public QPravikMenuItem
{
    Q_OBJECT
public:
    using QPravikMenuItem::QPravikMenuItem;
};

class RecordingSlide : public QPravikSlideWidget
{
public:
    QList<QWidget*> clicked;
    void itemClicked(QWidget* child) override { clicked.append(child); }
};

// Records every hook in order, with the id of the row it concerns.
class RecordingMenu : public QPravikMenuWidget
{
public:
    QStringList hooks;

    void note(const char* hook, const QPravikMenuBase* row = nullptr)
    {
        hooks.append(row ? QStringLiteral("%1 %2").arg(QLatin1String(hook)).arg(row->id) : QLatin1String(hook));
    }
    void openTarget(QPravikMenuEntry* e) override { note("openTarget", e); QPravikMenuWidget::openTarget(e); }
    bool entryActivated(QPravikMenuEntry* e) override
    {
        note("entryActivated", e);
        if (!QPravikMenuWidget::entryActivated(e))
            return false;
        pushPage(buildPage(e->id));
        return true;
    }
    void itemActivated(QPravikMenuItem* i) override
    {
        note("itemActivated", i);
        QPravikMenuWidget::itemActivated(i);
        if (i->type == QPravikMenuItem::SubMenu)
            pushPage(buildPage(i->id));
    }
    void prepareKeyboard(QPravikMenuItem* i, QPravikVirtual*) override { note("prepareKeyboard", i); }
    void prepareSelection(QPravikMenuItem* i, QPravikMenuSelect*) override { note("prepareSelection", i); }
    void itemChanged(QPravikMenuItem* i) override { note("itemChanged", i); }
    void keyboardAccepted(QPravikMenuItem* i, QPravikVirtual*) override { note("keyboardAccepted", i); }
    void selectionAccepted(QPravikMenuItem* i, QPravikMenuSelect*) override { note("selectionAccepted", i); }
    bool openEntry(int id, int target) override { note("openEntry"); return QPravikMenuWidget::openEntry(id, target); }

    // Menu n: a sub-menu link 10n+1, a text 10n+2, a choice list 10n+3
    // (values 1-3, current 2), a PIN 10n+4.
    QPravikMenuItems* buildPage(int menuId)
    {
        auto* page = new QPravikMenuItems(menuId, this);
        const int types[] = {QPravikMenuItem::SubMenu, QPravikMenuItem::Text, QPravikMenuItem::ChoiceList,
                             QPravikMenuItem::Pin};
        for (int i = 0; i < 4; ++i) {
            auto* item = new QPravikMenuItem(menuId * 10 + i + 1, types[i], page);
            item->titleLabel->setText(QStringLiteral("Menu %1").arg(item->id));
            page->addItem(item);
        }
        QPravikMenuItem* choice = page->findItem(menuId * 10 + 3);
        for (int v = 1; v <= 3; ++v)
            choice->addChoice(v, QStringLiteral("choice %1").arg(v));
        choice->setCurrentValue(2, true, true);
        page->findItem(menuId * 10 + 2)->setValueText(QStringLiteral("old"), false);
        return page;
    }
};

} // namespace

class MenuKitTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        menu = new RecordingMenu;
        menu->setGeometry(100, 50, 800, 480);
        for (int id = 0; id < 3; ++id) {
            auto* entry = new QPravikMenuEntry(id, menu->entries);
            entry->titleLabel->setText(QStringLiteral("Entry %1").arg(id));
            menu->addEntry(entry);
        }
        menu->show();
    }

    void cleanup()
    {
        delete menu;
        menu = nullptr;
        runDeferred();
    }

    void slideClickAndDrag_data()
    {
        // Pointer positions after the press at y 100.
        QTest::addColumn<QList<int>>("moves");
        QTest::addColumn<bool>("clicks");
        QTest::addColumn<int>("scrolled");
        QTest::newRow("still") << QList<int>{} << true << 0;
        QTest::newRow("one move") << QList<int>{105} << true << 0;
        QTest::newRow("two small moves") << QList<int>{101, 102} << false << 0;
        QTest::newRow("nine pixels") << QList<int>{100, 91} << false << 0;
        QTest::newRow("ten from the anchor") << QList<int>{100, 91, 90, 85} << false << 10;
        QTest::newRow("outside the area") << QList<int>{100, -30, 230} << false << 0;
        QTest::newRow("drag up then down") << QList<int>{100, 70, 80} << false << 20;
    }

    void slideClickAndDrag()
    {
        QFETCH(QList<int>, moves);
        QFETCH(bool, clicks);
        QFETCH(int, scrolled);
        RecordingSlide list;
        list.resize(200, 200);
        for (int i = 0; i < 3; ++i) {
            auto* row = new QLabel(QStringLiteral("row %1").arg(i));
            row->setFixedHeight(150);
            list.contentLayout->addWidget(row);
        }
        list.show();
        QScrollBar* bar = list.verticalScrollBar();
        bar->setValue(100);
        QWidget* view = list.viewport();
        mouse(view, QEvent::MouseButtonPress, {50, 100});
        for (int y : moves)
            mouse(view, QEvent::MouseMove, {50, y});
        mouse(view, QEvent::MouseButtonRelease, {50, moves.isEmpty() ? 100 : moves.last()});
        QCOMPARE(list.clicked.size(), clicks ? 1 : 0);
        if (clicks)
            QCOMPARE(list.clicked.first(), list.contentLayout->itemAt(1)->widget());
        QCOMPARE(bar->value() - 100, scrolled);
    }

    void scrollHandle()
    {
        QPravikSlideScroll bar;
        bar.resize(10, 200);
        bar.setRange(0, 100);
        bar.setValue(100);
        QCOMPARE(bar.handleTop(200), 200 - 40 - 1);
        bar.setValue(0);
        QCOMPARE(bar.handleTop(200), 0);
        bar.setRange(0, 0);
        QCOMPARE(bar.handleTop(200), -1);
        const QImage image = bar.grab().toImage(); // no handle, no division by zero
        for (int y = 0; y < image.height(); ++y)
            QVERIFY(image.pixelColor(7, y) != QColor(0, 162, 232));
    }

    // Choice lookups, switch texts, locking colours and the masked label.
    void choicesAndLooks()
    {
        QPravikMenuItems* page = openPage(1);
        QPravikMenuItem item(1, QPravikMenuItem::Switch, page);
        QCOMPARE(item.indexOfValue(5, false), -1);
        item.setChecked(true);
        QCOMPARE(item.valueText(), QStringLiteral("Active"));
        item.setChecked(false);
        QCOMPARE(item.valueText(), QStringLiteral("Disabled"));
        item.addChoice(7, QStringLiteral("off"));
        item.addChoice(8, QStringLiteral("on"));
        item.addChoice(8, QStringLiteral("again"));
        item.setChecked(true);
        QCOMPARE(item.valueText(), QStringLiteral("on"));
        QCOMPARE(item.currentIndex, 1);

        QCOMPARE(item.indexOfValue(8, true), 1);
        QCOMPARE(item.indexOfText(QStringLiteral("ON"), true), -1);
        QCOMPARE(item.indexOfText(QStringLiteral("ON"), false), 0);
        QCOMPARE(item.setCurrentValue(9, true, true), -1);
        QCOMPARE(item.valueText(), QStringLiteral("on"));
        QCOMPARE(item.setCurrentValue(9, true, false), 0);
        QCOMPARE(item.valueText(), QStringLiteral("off"));

        item.setLocked(true);
        QVERIFY(!item.switchButton->isEnabled());
        item.setLocked(false);
        QVERIFY(item.switchButton->isEnabled());

        QPravikMenuItem choice(2, QPravikMenuItem::ChoiceList, page);
        choice.addChoice(3, QStringLiteral("three"));
        choice.addChoice(4, QStringLiteral("four"));
        choice.setValueText(QStringLiteral("four"), true);
        QCOMPARE(choice.currentIndex, 1);
        choice.setValueText(QStringLiteral("five"), true);
        QCOMPARE(choice.currentIndex, -1);

        QPwdLabel secret;
        secret.setSecret(QStringLiteral("abcd"));
        const QImage masked = secret.grab().toImage();
        secret.setSecret(QStringLiteral("dcba"));
        QCOMPARE(secret.grab().toImage(), masked); // only the length shows
    }

    // A row label takes the sizes a QLabel takes for the same text, at every
    // width a layout may ask, and again after its text or font changes.
    void rowLabelSizes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("next");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("wrap");
        QTest::newRow("short value") << "LAN1" << "Ethernet 1 connected" << int(Qt::AlignLeft | Qt::AlignTop) << true;
        QTest::newRow("wrapped value")
            << "Ethernet - Opus 48kHz Stereo 128kbit/s, the line taken when the default network is down" << "x"
            << int(Qt::AlignLeft | Qt::AlignTop) << true;
        QTest::newRow("two lines") << "[ AoIP ] sip:lodz@example.net\nEthernet - Opus 48kHz Stereo 128kbit/s"
                                   << "[ ISDN ] 301\nISDN - G.722" << int(Qt::AlignLeft | Qt::AlignTop) << true;
        QTest::newRow("one long word") << "sip:a.very.long.account.name.at.the.studio@example.net"
                                       << "sip:desk@example.net" << int(Qt::AlignLeft | Qt::AlignTop) << true;
        QTest::newRow("trailing blanks and a tab") << "Value\twith tab   " << "" << int(Qt::AlignLeft | Qt::AlignTop)
                                                   << true;
        QTest::newRow("right to left") << QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd")
                                       << "Studio" << int(Qt::AlignLeft | Qt::AlignTop) << true;
        QTest::newRow("empty") << "" << "Disabled" << int(Qt::AlignLeft | Qt::AlignTop) << true;
        QTest::newRow("title") << "Default network" << "Network" << int(Qt::AlignLeft | Qt::AlignBottom) << false;
        QTest::newRow("entry title") << "Network" << "Status" << int(Qt::AlignRight | Qt::AlignVCenter) << false;
        QTest::newRow("wrapped, right") << "Ethernet - Opus 48kHz Stereo 128kbit/s" << "ISDN"
                                        << int(Qt::AlignRight | Qt::AlignTop) << true;
        QTest::newRow("letters beyond ASCII") << QString::fromUtf8("Studio \u0141\u00f3d\u017a \u2013 \u00e9t\u00e9 100\u00b0")
                                              << QString::fromUtf8("Caf\u00e9 \u201cA\u201d\u2026")
                                              << int(Qt::AlignLeft | Qt::AlignTop) << true;
        QTest::newRow("blanks inside and leading") << "  two  blanks  apart\n second line" << "a b c d e f g h"
                                                   << int(Qt::AlignLeft | Qt::AlignTop) << true;
        QTest::newRow("blank before a line break") << "first \nsecond" << "x" << int(Qt::AlignLeft | Qt::AlignTop)
                                                   << true;
        QTest::newRow("three lines, bottom") << "one\ntwo\nthree" << "Profile 1001"
                                             << int(Qt::AlignLeft | Qt::AlignBottom) << false;
        QTest::newRow("centred") << "Network settings of the unit" << "OK" << int(Qt::AlignCenter) << true;
        QTest::newRow("header title") << "Network > AoIP > SIP account 1 > Registration of the account"
                                      << "Book > Call Profiles" << int(Qt::AlignLeft | Qt::AlignVCenter) << true;
        QTest::newRow("ends with a line break") << "Profile 1001\n" << "\nProfile 1002"
                                                << int(Qt::AlignLeft | Qt::AlignTop) << true;
        QTest::newRow("soft hyphen") << QString::fromUtf8("Sicherung der Konfigurations\u00addatei")
                                     << QString::fromUtf8("Speicher\u00adkarte") << int(Qt::AlignLeft | Qt::AlignTop)
                                     << true;
    }

    // A row label paints what a QLabel paints for the same text, at the
    // widths and heights a page gives it, clipped when the text is taller.
    void rowLabelPixels_data() { rowLabelSizes_data(); }

    void rowLabelPixels()
    {
        QFETCH(QString, text);
        QFETCH(QString, next);
        QFETCH(int, alignment);
        QFETCH(bool, wrap);
        QLabel plain;
        QPravikRowLabel row;
        QFont font = row.font();
        font.setPixelSize(18);
        font.setBold(true);
        lookAlike(plain, row, font, alignment, wrap);
        const QList<QPair<QString, std::function<void(QLabel*)>>> steps = {
            {"first text", [&](QLabel* l) { l->setText(text); }},
            {"next text", [&](QLabel* l) { l->setText(next); }},
            {"larger font",
             [&](QLabel* l) {
                 font.setPixelSize(22);
                 l->setFont(font);
             }},
            {"disabled", [](QLabel* l) { l->setEnabled(false); }}};
        for (const auto& [step, change] : steps) {
            change(&plain);
            change(&row);
            for (int width : {1, 40, 120, 250, 587}) {
                for (int height : {-1, 20}) {
                    plain.resize(width, height < 0 ? qMax(26, plain.heightForWidth(width)) : height);
                    row.resize(plain.size());
                    QVERIFY2(row.grab().toImage() == plain.grab().toImage(),
                             qPrintable(QStringLiteral("%1 at %2x%3").arg(step).arg(width).arg(plain.height())));
                }
            }
        }
    }

    void rowLabelSizes()
    {
        QFETCH(QString, text);
        QFETCH(QString, next);
        QFETCH(int, alignment);
        QFETCH(bool, wrap);
        QLabel plain;
        QPravikRowLabel row;
        QFont font = row.font();
        font.setPixelSize(18);
        lookAlike(plain, row, font, alignment, wrap);
        plain.setMinimumHeight(26);
        row.setMinimumHeight(26);
        const auto compare = [&](const char* step) {
            QCOMPARE(row.sizeHint(), plain.sizeHint());
            QCOMPARE(row.minimumSizeHint(), plain.minimumSizeHint());
            const int natural = plain.heightForWidth(QWIDGETSIZE_MAX) > 0 ? plain.sizeHint().width() : 0;
            QList<int> widths = {0, 1, 30, 120, 250, 400, 560, 587, 2000, QWIDGETSIZE_MAX};
            // About the width of the text on one line, where it starts to wrap.
            const int oneLine = QFontMetrics(plain.font()).boundingRect(0, 0, QWIDGETSIZE_MAX, 2000, 0, plain.text()).width();
            for (int w = oneLine - 3; w <= oneLine + 12; ++w)
                widths << w;
            widths << natural;
            for (int w : widths)
                QVERIFY2(row.heightForWidth(w) == plain.heightForWidth(w),
                         qPrintable(QStringLiteral("%1 at width %2: %3, not %4")
                                        .arg(QLatin1String(step))
                                        .arg(w)
                                        .arg(row.heightForWidth(w))
                                        .arg(plain.heightForWidth(w))));
        };
        plain.setText(text);
        row.setText(text);
        compare("first text");
        plain.setText(next);
        row.setText(next);
        compare("next text");
        font.setPixelSize(22);
        plain.setFont(font);
        row.setFont(font);
        compare("larger font");
    }

    // A unit's text may hold soft hyphens, shown only where a line breaks at
    // one. Once broken there at a narrow width, a row label still takes a
    // QLabel's sizes and pixels at every wider width it is laid out at after.
    void rowLabelAfterNarrow_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("alignment");
        // As a unit's Latin-1 and UTF-8 texts arrive.
        QTest::newRow("Latin-1 word") << QString::fromLatin1("Konfigurations\xad" "datei")
                                      << int(Qt::AlignLeft | Qt::AlignTop);
        QTest::newRow("UTF-8 value") << QString::fromUtf8("Pfad der Konfigurations\xc2\xad" "datei")
                                     << int(Qt::AlignLeft | Qt::AlignTop);
        QTest::newRow("two hyphens")
            << QString::fromUtf8("Sicherung der Konfigurations\u00addatei auf dem Speicher\u00admedium des "
                                 "Ger\u00e4ts vor dem Zur\u00fccksetzen")
            << int(Qt::AlignLeft | Qt::AlignTop);
        QTest::newRow("on the second line") << QString::fromUtf8("Profil 1001\nKonfigurations\u00addatei")
                                            << int(Qt::AlignLeft | Qt::AlignTop);
        QTest::newRow("right") << QString::fromUtf8("Konfigurations\u00addatei")
                               << int(Qt::AlignRight | Qt::AlignTop);
        QTest::newRow("centred") << QString::fromUtf8("Pfad der Konfigurations\u00addatei") << int(Qt::AlignCenter);
    }

    void rowLabelAfterNarrow()
    {
        QFETCH(QString, text);
        QFETCH(int, alignment);
        QLabel plain;
        QPravikRowLabel row;
        // A value's font as the program gives it.
        QFont font = QPravik::panelFont(row.font());
        font.setPixelSize(18);
        lookAlike(plain, row, font, alignment, true);
        plain.setText(text);
        row.setText(text);
        // Just wide enough for the line holding the first hyphen to end there.
        const QFontMetrics metrics(font);
        const int hyphen = text.indexOf(QChar(0xad));
        const int lineStart = text.lastIndexOf(u'\n', hyphen) + 1;
        const int narrow = metrics.horizontalAdvance(text.mid(lineStart, hyphen - lineStart) + u'-') + 1;
        QVERIFY(plain.heightForWidth(narrow) > plain.heightForWidth(QWIDGETSIZE_MAX));
        // What the row label does otherwise than the QLabel at that width.
        const auto differenceAt = [&](int width) {
            plain.resize(width, qMax(26, plain.heightForWidth(width)));
            row.resize(plain.size());
            const int height = row.heightForWidth(width);
            if (height != plain.heightForWidth(width))
                return QStringLiteral("height %1, not %2 at %3").arg(height).arg(plain.heightForWidth(width)).arg(width);
            if (row.grab().toImage() != plain.grab().toImage())
                return QStringLiteral("pixels at %1").arg(width);
            return QString();
        };
        const int oneLine = metrics.boundingRect(0, 0, QWIDGETSIZE_MAX, 2000, 0, text).width();
        QList<int> widths = {narrow + 1, narrow + 40, 250, 587, 608, 2000};
        for (int w = oneLine - 3; w <= oneLine + 12; ++w)
            widths << w;
        for (int width : widths) {
            QString difference = differenceAt(narrow);
            QVERIFY2(difference.isEmpty(), qPrintable(difference));
            difference = differenceAt(width);
            QVERIFY2(difference.isEmpty(), qPrintable(difference + QStringLiteral(" after %1").arg(narrow)));
            QCOMPARE(row.sizeHint(), plain.sizeHint());
            QCOMPARE(row.minimumSizeHint(), plain.minimumSizeHint());
        }
    }

    void wheelReports()
    {
        QPravikMenuItems* page = openPage(1);
        for (int type : {QPravikMenuItem::WheelOnRelease, QPravikMenuItem::WheelEveryStep}) {
            auto* item = new QPravikMenuItem(90 + type, type, page);
            for (int v = 0; v < 3; ++v)
                item->addChoice(v, QString::number(v * 10));
            page->addItem(item);
            item->setValueText(QStringLiteral("10"), true);
            item->currentIndex = 1;
            QApplication::processEvents(); // shown: the wheel takes the current text
            QPravikWheel* wheel = item->wheel;
            QCOMPARE(wheel->value(), 1);
            QVERIFY(wheel->isCheckable());
            QCOMPARE(wheel->revertOnLeave, type == QPravikMenuItem::WheelOnRelease);

            const QString step = QStringLiteral("itemChanged %1").arg(item->id);
            wheel->setChecked(true);
            QTest::keyClick(wheel, Qt::Key_Plus);
            QCOMPARE(item->valueText(), QStringLiteral("20"));
            QTest::keyClick(wheel, Qt::Key_Minus);
            wheel->setChecked(false); // released on the index it started from
            QStringList expected;
            if (type == QPravikMenuItem::WheelEveryStep)
                expected = QStringList{step, step, step};
            QCOMPARE(menu->hooks, expected);
            menu->hooks.clear();
            wheel->setChecked(true);
            QTest::keyClick(wheel, Qt::Key_Minus);
            wheel->setChecked(false);
            QCOMPARE(menu->hooks.size(), type == QPravikMenuItem::WheelEveryStep ? 2 : 1);
            QCOMPARE(item->currentIndex, 0);

            // The list shrank under the wheel: a stale index is ignored.
            item->clearChoices();
            item->wheelChanged(2);
            QCOMPARE(item->valueText(), QStringLiteral("0"));
            menu->hooks.clear();
        }
    }

    // The unit's value of no choice survives showing, hiding, locking and a
    // wheel let go where it was taken, or left; flipping and turning pick.
    void valueOfNoChoiceKept()
    {
        QPravikMenuItems* page = openPage(1);
        auto* toggle = new QPravikMenuItem(80, QPravikMenuItem::Switch, page);
        toggle->addChoice(1, QStringLiteral("one"));
        toggle->addChoice(2, QStringLiteral("two"));
        auto* turn = new QPravikMenuItem(81, QPravikMenuItem::WheelOnRelease, page);
        for (int v = 0; v < 3; ++v)
            turn->addChoice(v, QString::number(v));
        page->addItem(toggle);
        page->addItem(turn);
        toggle->setChecked(false);
        toggle->setCurrentValue(3, true, true);
        toggle->setValueText(QStringLiteral("3"), true);
        turn->setValueText(QStringLiteral("20000"), true);
        QPravikWheel* wheel = turn->wheel;
        const auto seen = [&] {
            return QStringList{toggle->valueText(), QString::number(toggle->currentIndex), turn->valueText(),
                               QString::number(turn->currentIndex), menu->hooks.join(QLatin1Char(','))};
        };
        menu->hide(), menu->show();
        toggle->setLocked(true), toggle->setLocked(false);
        QApplication::processEvents();
        wheel->setChecked(true), wheel->setChecked(false);
        wheel->setChecked(true);
        QTest::keyClick(wheel, Qt::Key_Plus);
        QFocusEvent leave(QEvent::FocusOut);
        QApplication::sendEvent(wheel, &leave);
        QCOMPARE(seen(), (QStringList{"3", "-1", "20000", "-1", ""}));
        toggle->switchButton->click();
        wheel->setChecked(true);
        QTest::keyClick(wheel, Qt::Key_Plus);
        wheel->setChecked(false);
        QCOMPARE(seen(), (QStringList{"two", "1", "1", "1", "itemChanged 80,itemChanged 81"}));
    }

    void navigation()
    {
        QPravikMenuEntry* entry1 = menu->entries->findEntry(1);
        menu->entries->findEntry(2)->setState(QPravikMenuEntry::Disabled);
        QVERIFY(!menu->openEntry(2, 7));
        QCOMPARE(menu->pendingTarget, 0);
        click(entry1->titleLabel);
        click(entry1->titleLabel); // already current
        click(menu->entries->findEntry(2)->titleLabel);
        QCOMPARE(menu->hooks, (QStringList{QStringLiteral("openEntry"), QStringLiteral("entryActivated 1")}));
        QCOMPARE(entry1->state, int(QPravikMenuEntry::Current));

        QPointer<QPravikMenuItems> root = menu->currentItems();
        click(root->findItem(11)->titleLabel);
        QCOMPARE(menu->header->titleLabel->text(), QStringLiteral("Entry 1 > Menu 11"));
        QVERIFY(menu->header->backLabel->isVisibleTo(menu));
        QPointer<QPravikMenuItems> sub = menu->currentItems();
        click(sub->findItem(111)->titleLabel);
        QCOMPARE(menu->header->titleLabel->text(), QStringLiteral("Entry 1 > Menu 11 > Menu 111"));
        QCOMPARE(menu->itemsPage(11), sub.data());
        QCOMPARE(menu->findItemsPage(11, 0), nullptr);

        QPravikMenuHeader* header = menu->header;
        header->setModified(true);
        click(header->applyLabel);
        QVERIFY(!header->applyLabel->isVisibleTo(menu));
        header->setModified(true);
        header->setRefreshVisible(true);
        click(header->backLabel);
        QCOMPARE(header->titleLabel->text(), QStringLiteral("Entry 1 > Menu 11"));
        QVERIFY(!header->applyLabel->isVisibleTo(menu) && !header->refreshLabel->isVisibleTo(menu));
        QVERIFY(header->backLabel->isVisibleTo(menu));
        menu->goBack();
        QCOMPARE(header->titleLabel->text(), QStringLiteral("Entry 1"));
        QVERIFY(!header->backLabel->isVisibleTo(menu));
        menu->goBack(); // one page: nothing more
        QCOMPARE(menu->currentItems(), root.data());
        QVERIFY(sub);
        runDeferred();
        QVERIFY(!sub);

        menu->hooks.clear();
        QVERIFY(menu->openEntry(0, 14));
        QCOMPARE(menu->pendingTarget, 14);
        QCOMPARE(menu->hooks, (QStringList{QStringLiteral("openEntry"), QStringLiteral("openTarget 0"),
                                           QStringLiteral("entryActivated 0")}));
        QCOMPARE(menu->stack->count(), 1);
        QCOMPARE(entry1->state, int(QPravikMenuEntry::Normal));
        runDeferred();
        QVERIFY(!root);

        // Lookups take the exact class and the first of equal ids.
        QPravikMenuItems* page = menu->currentItems();
        page->addItem(new DerivedItem(5, QPravikMenuItem::ReadOnly, page));
        auto* first = new QPravikMenuItem(5, QPravikMenuItem::ReadOnly, page);
        page->addItem(first);
        page->addItem(new QPravikMenuItem(5, 3, QPravikMenuItem::ReadOnly, page));
        QPravikMenuItems other(9, menu);
        QPravikMenuItem stranger(6, QPravikMenuItem::ReadOnly, &other);
        page->addItem(&stranger); // not this page's
        QCOMPARE(page->findItem(5), first);
        QCOMPARE(page->findItemOfParent(5, 3)->parentId, 3);
        QCOMPARE(page->allItems().size(), 7);
    }

    void itemPopupOutcomes_data()
    {
        QTest::addColumn<int>("item");   // 2 text, 3 choice list, 4 PIN of menu 1
        QTest::addColumn<QString>("edit"); // typed text, or the value of the row chosen
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("changed");
        QTest::newRow("text kept") << 12 << "" << true << "old" << false;
        QTest::newRow("text typed") << 12 << "x" << true << "oldx" << true;
        QTest::newRow("text cancelled") << 12 << "x" << false << "old" << false;
        QTest::newRow("PIN typed") << 14 << "12" << true << "12" << true;
        QTest::newRow("choice kept") << 13 << "" << true << "choice 2" << false;
        QTest::newRow("choice changed") << 13 << "3" << true << "choice 3" << true;
        QTest::newRow("choice cancelled") << 13 << "3" << false << "choice 2" << false;
        QTest::newRow("no current choice") << 13 << "none" << true << "choice 2" << false;
        QTest::newRow("locked") << 12 << "locked" << true << "old" << false;
    }

    // An edit opened by clicking an item reports itemChanged only when the
    // accepted value differs from the shown one.
    void itemPopupOutcomes()
    {
        QFETCH(int, item);
        QFETCH(QString, edit);
        QFETCH(bool, accept);
        QFETCH(QString, value);
        QFETCH(bool, changed);
        QPravikMenuItems* page = openPage(1);
        QPravikMenuItem* row = page->findItem(item);
        if (edit == QLatin1String("none"))
            row->currentIndex = -1;
        row->setLocked(edit == QLatin1String("locked"));
        click(row->titleLabel);
        auto* popup = page->findChild<QPravikPopup*>();
        QStringList expected;
        if (edit == QLatin1String("locked")) {
            QCOMPARE(popup, nullptr);
        } else if (auto* keyboard = qobject_cast<QPravikVirtual*>(popup)) {
            expected.append(QStringLiteral("prepareKeyboard %1").arg(item));
            QCOMPARE(keyboard->fullKeyboard, item == 12 ? 1 : 0);
            QCOMPARE(keyboard->lineEdit.echoMode(), item == 14 ? QLineEdit::Password : QLineEdit::Normal);
            QCOMPARE(keyboard->titleLabel.text(), row->titleText());
            keyboard->lineEdit.insert(edit);
            keyboard->keys[accept ? 31 : 28]->click();
        } else {
            auto* select = qobject_cast<QPravikMenuSelect*>(popup);
            QVERIFY(select);
            expected.append(QStringLiteral("prepareSelection %1").arg(item));
            QPravikMenuSelectable* current = select->findSelectable(2);
            QCOMPARE(select->currentRow.data(), edit == QLatin1String("none") ? nullptr : current);
            QCOMPARE(current->switchButton->isChecked(), select->currentRow == current);
            QCOMPARE(current->switchButton->isEnabled(), select->currentRow != current);
            if (QPravikMenuSelectable* chosen = select->findSelectable(edit.toInt()))
                click(chosen->label);
            (accept ? select->okButton : select->cancelButton)->click();
        }
        if (changed)
            expected.append(QStringLiteral("itemChanged %1").arg(item));
        QCOMPARE(menu->hooks, expected);
        QCOMPARE(row->valueText(), value);
        // Neither the label's text nor what it tells other programs holds a PIN.
        const QString told = QAccessible::queryAccessibleInterface(row->valueLabel)->text(QAccessible::Name);
        QVERIFY(item != 14 || !(row->valueLabel->text() + told).contains(value));
    }

    // Popups the concrete menu opens report acceptance through their own hooks,
    // changed or not.
    void offeredPopups()
    {
        QPravikMenuItems* page = openPage(1);
        QPravikMenuItem* text = page->findItem(12);
        menu->openKeyboard(1, text, true)->keys[31]->click();
        menu->openKeyboard(0, nullptr, true)->keys[31]->click();
        QPravikVirtual* unshown = menu->openKeyboard(1, text, false);
        QVERIFY(!unshown->isVisible());
        unshown->close();
        QCOMPARE(menu->hooks,
                 (QStringList{QStringLiteral("prepareKeyboard 12"), QStringLiteral("keyboardAccepted 12")}));

        menu->hooks.clear();
        QPravikMenuSelect* select = menu->openSelection(QStringLiteral("Pick"), text, false);
        QVERIFY(!select->isVisible());
        QCOMPARE(select->list->contentLayout->count(), 0);
        QVERIFY(!select->messageLabel->isHidden());
        auto* row = new QPravikMenuSelectable(9);
        select->addSelectable(row);
        select->setCurrent(row);
        select->show();
        select->okButton->click();
        select = menu->openSelection(QString(), nullptr, true);
        QVERIFY(select->messageLabel->isHidden());
        select->okButton->click(); // no row chosen: a Cancel
        QCOMPARE(menu->hooks, QStringList{QStringLiteral("selectionAccepted 12")});

        menu->hooks.clear();
        menu->showAction(QStringLiteral("Sure?"), text)->button1Clicked();
        menu->showAction(QStringLiteral("Sure?"), text)->button2Clicked();
        menu->showAction(QStringLiteral("Sure?"), nullptr)->button2Clicked();
        QCOMPARE(menu->hooks, QStringList{QStringLiteral("itemChanged 12")});

        menu->showMessage(QStringLiteral("one"), 0);
        QPointer<QPravikMessage> box = menu->messagePopup;
        menu->showMessage(QStringLiteral("two"), 0);
        QCOMPARE(menu->messagePopup, box);
        QCOMPARE(box->label->text(), QStringLiteral("two"));
        menu->closePopup();
        QVERIFY(!menu->messagePopup);
        QVERIFY(!box->isVisible());
    }

    // A page deleted under an open popup: the popup closes as cancelled and no
    // hook sees the item.
    void rebuiltPageClosesPopups()
    {
        QPravikMenuItems* page = openPage(1);
        QPravikMenuItem* text = page->findItem(12);
        QList<QPointer<QPravikPopup>> popups{menu->openKeyboard(1, text, true), menu->showAction(QString(), text),
                                             menu->openSelection(QString(), page->findItem(13), true)};
        click(text->titleLabel);
        popups.append(page->findChild<QPravikVirtual*>());
        QSignalSpy closed(popups.first(), &QPravikPopup::popupClosed);
        menu->hooks.clear();
        menu->openEntry(2, -1); // the page is rebuilt
        QVERIFY(popups.first()->isVisible());
        runDeferred(); // the page goes, the popups close
        runDeferred(); // and go
        QCOMPARE(closed.count(), 1);
        for (const QPointer<QPravikPopup>& popup : popups)
            QVERIFY(!popup);
        QCOMPARE(menu->hooks, (QStringList{QStringLiteral("openEntry"), QStringLiteral("openTarget 2"),
                                           QStringLiteral("entryActivated 2")}));

        // Closing the menu's window releases an engaged wheel after the menu's
        // own part is gone: its report goes nowhere.
        auto* wheel = new QPravikMenuItem(15, QPravikMenuItem::WheelEveryStep, menu->currentItems());
        wheel->addChoice(0, QStringLiteral("a"));
        menu->currentItems()->addItem(wheel);
        menu->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(menu));
        wheel->wheel->setFocus();
        wheel->wheel->setChecked(true);
        QVERIFY(wheel->wheel->hasFocus());
        delete menu;
        menu = nullptr;
    }

    void iconsDecodedWhenFirstDrawn()
    {
        // A page built and never shown, as most are at start.
        QPravikMenuWidget menu;
        auto* page = new QPravikMenuItems(1, &menu);
        menu.pushPage(page);
        auto* subMenu = new QPravikMenuItem(1, QPravikMenuItem::SubMenu, page);
        auto* replaced = new QPravikMenuItem(2, QPravikMenuItem::Action, page);
        page->addItem(subMenu);
        page->addItem(replaced);
        setPixmapWhenDrawn(replaced->iconLabel, QStringLiteral(":/images/shutdown.png"));
        QVERIFY(subMenu->iconLabel->pixmap().isNull() && replaced->iconLabel->pixmap().isNull());
        // The first frame already holds the images, as set at once they would be.
        const QImage first = menu.grab().toImage();
        QCOMPARE(subMenu->iconLabel->pixmap().toImage(), QPixmap(":/images/navright.png").toImage());
        QCOMPARE(replaced->iconLabel->pixmap().toImage(), QPixmap(":/images/shutdown.png").toImage());
        QCOMPARE(menu.grab().toImage(), first);
        // Shown, a label has its image before its first paint, which is then
        // its only one.
        QPravikMenuWidget shown;
        shown.resize(600, 400);
        auto* shownPage = new QPravikMenuItems(1, &shown);
        shown.pushPage(shownPage);
        auto* shownItem = new QPravikMenuItem(1, QPravikMenuItem::SubMenu, shownPage);
        shownPage->addItem(shownItem);
        PaintCounter paints(shownItem->iconLabel);
        shown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shown));
        QCOMPARE(shownItem->iconLabel->pixmap().toImage(), QPixmap(":/images/navright.png").toImage());
        QTRY_COMPARE(paints.count, 1);
        QTest::qWait(50);
        QCOMPARE(paints.count, 1);
        // A button's icon as the pages make it, against the image's own icon.
        QPravikButton late, early;
        late.setIcon(iconWhenDrawn(QStringLiteral(":/images/home.png")));
        early.setIcon(QIcon(QStringLiteral(":/images/home.png")));
        late.resize(98, 66);
        early.resize(98, 66);
        QCOMPARE(late.grab().toImage(), early.grab().toImage());
    }

private:
    // A QLabel and a row label set up alike, as a menu row's value.
    static void lookAlike(QLabel& plain, QPravikRowLabel& row, const QFont& font, int alignment, bool wrap)
    {
        for (QLabel* label : {&plain, static_cast<QLabel*>(&row)}) {
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::Alignment(alignment));
            label->setWordWrap(wrap);
            label->setFont(font);
            menukit::setTextColour(label, QColor(0, 162, 232));
        }
    }

    RecordingMenu* menu = nullptr;
    QPravikMenuItems* openPage(int entryId)
    {
        menu->openEntry(entryId, -1);
        menu->hooks.clear();
        return menu->currentItems();
    }
};

QTEST_MAIN(MenuKitTest)
#include "tst_menukit.moc"
