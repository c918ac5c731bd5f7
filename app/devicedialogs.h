#pragma once

#include <QDialog>
#include <QStyledItemDelegate>
#include <QTableView>

#include "app/applicationsettings.h"
#include "link/programversion.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;

// Product name shown in the title bar and the about box.
extern const char* const KandeloDisplayName;

// Fills each cell itself so the selected row keeps one colour whatever the style.
class ManageDevicesDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ManageDevicesDelegate(QTableView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    QTableView* view;
};

// Known units, one row each; column 0 keeps the id under Qt::UserRole so a
// sorted table still maps rows to units.
class ManageDevicesView : public QTableView
{
    Q_OBJECT
public:
    explicit ManageDevicesView(QWidget* parent = nullptr);

    void setDevices(const KnownDeviceMap& devices);
    QStandardItemModel* itemModel() const { return items; }

private:
    QStandardItemModel* items;
};

// Edits its own copy of the known units; the owner takes the copy back when
// the dialog has closed, however it was closed.
class ManageDevicesDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ManageDevicesDialog(QWidget* parent = nullptr);

    void setDevices(const KnownDeviceMap& map);
    const KnownDeviceMap& knownDevices() const { return devices; }

    ManageDevicesView* view;
    QPushButton* addButton;
    QPushButton* deleteButton;
    QPushButton* editButton;
    QPushButton* connectButton;
    int selectedId = 0;

public slots:
    void onViewClicked(const QModelIndex& index);
    void addButtonClicked();
    void deleteButtonClicked();
    void editButtonClicked();
    void connectButtonClicked();

private:
    int currentDeviceId() const;
    void setRowButtonsEnabled(bool enabled);
    void refill();

    KnownDeviceMap devices;
};

// Heading with a rule, one labelled line edit per row, OK and Cancel below.
class FormDialog : public QDialog
{
    Q_OBJECT
public:
    QPushButton* okButton;
    QPushButton* cancelButton;

public slots:
    void okClicked();
    void cancelClicked();

protected:
    FormDialog(QWidget* parent, const QString& title, const QString& heading,
               const QStringList& labels);

    QList<QLineEdit*> edits;
};

// Name, serial number and codec password of one unit.
class DeviceInfoDialog : public FormDialog
{
    Q_OBJECT
public:
    explicit DeviceInfoDialog(QWidget* parent = nullptr);

    QLineEdit* nameEdit;
    QLineEdit* serialEdit;
    QLineEdit* passwordEdit;
};

// Account of the remote-access server (kept in memory only).
class ServerInfoDialog : public FormDialog
{
    Q_OBJECT
public:
    explicit ServerInfoDialog(QWidget* parent = nullptr);

    QLineEdit* userEdit;
    QLineEdit* passwordEdit;
};

// About box.
class VeltoDialog : public QDialog
{
    Q_OBJECT
public:
    explicit VeltoDialog(QWidget* parent = nullptr);

    QLabel* imageLabel;
};
