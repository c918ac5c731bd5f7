#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QtTest>

#include "app/devicedialogs.h"
#include "modalhelper.h"

namespace {

KnownDevice unit(int id, const QString& name, const QString& serial, const QString& password)
{
    return KnownDevice{id, 0, name, QString(), serial, password};
}

KnownDeviceMap threeUnits()
{
    KnownDeviceMap map;
    map.insert(1, unit(1, "Charlie", "100", "p1"));
    map.insert(2, unit(2, "Alpha", "200", "p2"));
    map.insert(3, unit(3, "Bravo", "300", "p3"));
    return map;
}

void fillDeviceInfo(const QString& name, const QString& serial, const QString& password,
                    bool accept = true, QStringList* seen = nullptr)
{
    whenModal<DeviceInfoDialog>([=](DeviceInfoDialog* dialog) {
        if (seen)
            *seen = {dialog->nameEdit->text(), dialog->serialEdit->text(), dialog->passwordEdit->text()};
        dialog->nameEdit->setText(name);
        dialog->serialEdit->setText(serial);
        dialog->passwordEdit->setText(password);
        (accept ? dialog->okButton : dialog->cancelButton)->click();
    });
}

} // namespace

class TestDeviceDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        dialog = new ManageDevicesDialog;
        dialog->setDevices(threeUnits());
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
    }

    void cleanup()
    {
        delete dialog;
    }

    void addAndEdit()
    {
        // Ids are reused: the smallest free one.
        clickRow(dialog->view, rowOf(dialog->view, 2));
        answerMessageBox(QMessageBox::Yes);
        dialog->deleteButton->click();
        QStringList preset;
        fillDeviceInfo("", "0123", "secret", true, &preset);
        dialog->addButton->click();
        QCOMPARE(preset, QStringList({"noname", "", ""}));
        QCOMPARE(dialog->knownDevices().keys(), QList<int>({1, 2, 3}));
        QCOMPARE(dialog->knownDevices().value(2).name, QString("noname"));
        QCOMPARE(dialog->knownDevices().value(2).serialno, QString("0123"));

        // Missing serial or password, or Cancel: nothing is added, no message.
        fillDeviceInfo("x", "", "secret");
        dialog->addButton->click();
        fillDeviceInfo("x", "77", "");
        dialog->addButton->click();
        fillDeviceInfo("x", "77", "pw", false);
        dialog->addButton->click();
        QCOMPARE(dialog->knownDevices().size(), 3);
        QVERIFY(!dialog->editButton->isEnabled());

        // An edit keeps the id of the row clicked, whatever the sort order.
        dialog->view->sortByColumn(1, Qt::AscendingOrder);
        QCOMPARE(dialog->view->itemModel()->item(0, 1)->text(), QString("Bravo"));
        clickRow(dialog->view, 0);
        QStringList seen;
        fillDeviceInfo("", "333", "q3", true, &seen);
        dialog->editButton->click();
        QCOMPARE(seen, QStringList({"Bravo", "300", "p3"}));
        QCOMPARE(dialog->knownDevices().value(3).name, QString("noname"));
        QCOMPARE(dialog->knownDevices().value(3).password, QString("q3"));
        QCOMPARE(dialog->knownDevices().value(1).name, QString("Charlie"));
        // The refilled view keeps the chosen sort order.
        QCOMPARE(dialog->view->itemModel()->item(0, 1)->text(), QString("Charlie"));

        // An edit that empties the password changes nothing.
        clickRow(dialog->view, rowOf(dialog->view, 1));
        fillDeviceInfo("Zulu", "111", "");
        dialog->editButton->click();
        QCOMPARE(dialog->knownDevices().value(1).name, QString("Charlie"));
        QCOMPARE(dialog->knownDevices().value(1).password, QString("p1"));
    }

    void rowButtonsDeleteAndConnect()
    {
        // A current row reached by keyboard is no choice: the row buttons need a click.
        dialog->view->setFocus();
        QTest::keyClick(dialog->view, Qt::Key_Down);
        QVERIFY(dialog->view->currentIndex().isValid());
        for (QPushButton* button : {dialog->deleteButton, dialog->editButton, dialog->connectButton})
            QVERIFY(!button->isEnabled());
        clickRow(dialog->view, rowOf(dialog->view, 1));
        for (QPushButton* button : {dialog->deleteButton, dialog->editButton, dialog->connectButton})
            QVERIFY(button->isEnabled());

        // Delete asks first.
        QString text;
        answerMessageBox(QMessageBox::Cancel, &text);
        dialog->deleteButton->click();
        QCOMPARE(text, QString("Are you sure?"));
        QCOMPARE(dialog->knownDevices().size(), 3);
        answerMessageBox(QMessageBox::Yes);
        dialog->deleteButton->click();
        QCOMPARE(dialog->knownDevices().keys(), QList<int>({2, 3}));
        QCOMPARE(rowOf(dialog->view, 1), -1);

        clickRow(dialog->view, rowOf(dialog->view, 3));
        dialog->connectButton->click();
        QCOMPARE(dialog->selectedId, 3);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
    }

    void viewShowsColumnsAndNumericIds()
    {
        ManageDevicesView view;
        KnownDeviceMap map;
        for (int id : {1, 2, 9, 10})
            map.insert(id, unit(id, QString("U%1").arg(id), "1", "pw<b>"));
        view.setDevices(map);
        QStandardItemModel* model = view.itemModel();
        QCOMPARE(model->rowCount(), 4);
        QList<int> order;
        for (int row = 0; row < 4; ++row)
            order << model->item(row, 0)->data(Qt::UserRole).toInt();
        QCOMPARE(order, QList<int>({1, 2, 9, 10}));
        QCOMPARE(model->item(3, 0)->text(), QString("10"));
        QCOMPARE(model->item(0, 3)->text(), QString("pw<b>"));   // plain text, not markup

        view.setDevices({});
        QCOMPARE(model->rowCount(), 0);
    }

    void delegateMarksSelectedRowOnly()
    {
        ManageDevicesView* view = dialog->view;

        // Left edge of a cell: inside the fill, clear of the centred text.
        auto fillOf = [view](int row, int column) {
            const QImage image = view->viewport()->grab().toImage();
            const QRect cell = view->visualRect(view->model()->index(row, column));
            return image.pixelColor(cell.left() + 1, cell.center().y());
        };
        const QColor selected(239, 228, 176);
        const QColor plain(Qt::white);

        // The current row alone is no selection.
        view->setCurrentIndex(view->model()->index(0, 1));
        view->selectionModel()->clearSelection();
        QCOMPARE(fillOf(0, 1), plain);

        clickRow(view, 1);
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(fillOf(1, column), selected);
            QCOMPARE(fillOf(0, column), plain);
            QCOMPARE(fillOf(2, column), plain);
        }
    }

private:
    ManageDevicesDialog* dialog = nullptr;   // shown, with threeUnits()
};

QTEST_MAIN(TestDeviceDialogs)
#include "tst_devicedialogs.moc"
