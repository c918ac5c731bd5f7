#include "app/devicedialogs.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

const char* const KandeloDisplayName = "Kandelo";

namespace {

constexpr Qt::WindowFlags DialogFlags =
    Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// Shows device in the form; an OK with a serial number and a password
// takes the form back into device (an empty name becomes "noname").
bool editInForm(DeviceInfoDialog& dialog, KnownDevice& device)
{
    dialog.nameEdit->setText(device.name);
    dialog.serialEdit->setText(device.serialno);
    dialog.passwordEdit->setText(device.password);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QString serial = dialog.serialEdit->text();
    const QString password = dialog.passwordEdit->text();
    if (serial.isEmpty() || password.isEmpty())
        return false;
    const QString name = dialog.nameEdit->text();
    device.name = name.isEmpty() ? QStringLiteral("noname") : name;
    device.serialno = serial;
    device.password = password;
    return true;
}

} // namespace

ManageDevicesDelegate::ManageDevicesDelegate(QTableView* view)
    : QStyledItemDelegate(view), view(view)
{
}

void ManageDevicesDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    const auto* model = qobject_cast<const QStandardItemModel*>(index.model());
    if (!model || !model->itemFromIndex(index))
        return;

    QFont font = option.font;
    font.setWeight(QFont::Bold);

    bool selected = false;
    if (QItemSelectionModel* selection = view->selectionModel())
        selected = selection->selectedRows().contains(index.sibling(index.row(), 0));

    painter->save();
    painter->setFont(font);
    painter->fillRect(option.rect.adjusted(0, 1, -2, -1),
                      selected ? QColor(239, 228, 176) : QColor(Qt::white));
    painter->setPen(Qt::black);
    painter->drawText(option.rect.adjusted(3, 1, -8, -1), Qt::AlignCenter,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}

ManageDevicesView::ManageDevicesView(QWidget* parent)
    : QTableView(parent), items(new QStandardItemModel(0, 4, this))
{
    items->setHorizontalHeaderLabels({tr("Id"), tr("Device Name"), tr("Serial Number"),
                                      tr("Codec Password")});
    setModel(items);
    setItemDelegate(new ManageDevicesDelegate(this));
    setShowGrid(false);
    setColumnWidth(0, 50);
    setColumnWidth(1, 150);
    setColumnWidth(2, 100);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    setSortingEnabled(true);
    verticalHeader()->setDefaultSectionSize(19);
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
}

void ManageDevicesView::setDevices(const KnownDeviceMap& devices)
{
    items->removeRows(0, items->rowCount());
    if (devices.isEmpty())
        return;
    items->setRowCount(devices.size());
    int row = 0;
    for (const KnownDevice& device : devices) {
        auto* idItem = new QStandardItem;
        // Numeric display data, so that sorting puts 10 after 9.
        idItem->setData(device.id, Qt::DisplayRole);
        idItem->setData(device.id, Qt::UserRole);
        items->setItem(row, 0, idItem);
        items->setItem(row, 1, new QStandardItem(device.name));
        items->setItem(row, 2, new QStandardItem(device.serialno));
        items->setItem(row, 3, new QStandardItem(device.password));
        ++row;
    }
    items->sort(horizontalHeader()->sortIndicatorSection(),
                horizontalHeader()->sortIndicatorOrder());
}

ManageDevicesDialog::ManageDevicesDialog(QWidget* parent)
    : QDialog(parent, DialogFlags)
{
    setWindowTitle(tr("Manage Known Devices"));
    resize(450, 250);

    view = new ManageDevicesView(this);
    addButton = new QPushButton(tr("&Add"), this);
    deleteButton = new QPushButton(tr("&Delete"), this);
    editButton = new QPushButton(tr("&Edit..."), this);
    connectButton = new QPushButton(tr("&Connect"), this);
    setRowButtonsEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setAlignment(Qt::AlignTop);
    layout->addWidget(view, 1);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(10, 5, 10, 5);
    buttons->setSpacing(10);
    buttons->setAlignment(Qt::AlignLeft);
    buttons->addWidget(addButton);
    buttons->addWidget(deleteButton);
    buttons->addWidget(editButton);
    buttons->addWidget(connectButton);
    layout->addLayout(buttons);

    connect(view, &QAbstractItemView::clicked, this, &ManageDevicesDialog::onViewClicked);
    connect(addButton, &QPushButton::clicked, this, &ManageDevicesDialog::addButtonClicked);
    connect(deleteButton, &QPushButton::clicked, this, &ManageDevicesDialog::deleteButtonClicked);
    connect(editButton, &QPushButton::clicked, this, &ManageDevicesDialog::editButtonClicked);
    connect(connectButton, &QPushButton::clicked, this, &ManageDevicesDialog::connectButtonClicked);
}

void ManageDevicesDialog::setDevices(const KnownDeviceMap& map)
{
    devices = map;
    view->setDevices(devices);
}

void ManageDevicesDialog::onViewClicked(const QModelIndex& index)
{
    setRowButtonsEnabled(index.isValid());
}

void ManageDevicesDialog::setRowButtonsEnabled(bool enabled)
{
    deleteButton->setEnabled(enabled);
    editButton->setEnabled(enabled);
    connectButton->setEnabled(enabled);
}

void ManageDevicesDialog::refill()
{
    setRowButtonsEnabled(false);
    view->setDevices(devices);
}

int ManageDevicesDialog::currentDeviceId() const
{
    const QModelIndex current = view->currentIndex();
    if (!current.isValid())
        return 0;
    const QStandardItem* item = view->itemModel()->item(current.row(), 0);
    if (!item)
        return 0;
    bool ok = false;
    const int id = item->data(Qt::UserRole).toInt(&ok);
    return ok && devices.contains(id) ? id : 0;
}

void ManageDevicesDialog::addButtonClicked()
{
    DeviceInfoDialog dialog(this);
    dialog.setWindowTitle(tr("Add Device"));
    KnownDevice device;
    device.name = QStringLiteral("noname");
    if (!editInForm(dialog, device))
        return;
    device.id = ApplicationSettings::nextDeviceId(devices);
    device.tunnelPort = 0;
    devices.insert(device.id, device);
    refill();
}

void ManageDevicesDialog::deleteButtonClicked()
{
    const int id = currentDeviceId();
    if (!id)
        return;
    if (QMessageBox::question(this, tr("Delete Device"), tr("Are you sure?"),
                              QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel)
        != QMessageBox::Yes)
        return;
    devices.remove(id);
    refill();
}

void ManageDevicesDialog::editButtonClicked()
{
    const int id = currentDeviceId();
    if (!id)
        return;
    KnownDevice device = devices.value(id);
    DeviceInfoDialog dialog(this);
    dialog.setWindowTitle(tr("Edit Device"));
    if (!editInForm(dialog, device))
        return;
    devices.insert(id, device);
    refill();
}

void ManageDevicesDialog::connectButtonClicked()
{
    const int id = currentDeviceId();
    if (!id)
        return;
    selectedId = id;
    accept();
}

FormDialog::FormDialog(QWidget* parent, const QString& title, const QString& heading,
                       const QStringList& labels)
    : QDialog(parent, DialogFlags)
{
    setWindowTitle(title);
    setFixedSize(269, 132);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(2);
    grid->setAlignment(Qt::AlignTop);

    auto* headingRow = new QHBoxLayout;
    headingRow->setContentsMargins(0, 4, 0, 4);
    headingRow->setSpacing(10);
    headingRow->setAlignment(Qt::AlignVCenter);
    headingRow->addWidget(new QLabel(heading, this));
    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setLineWidth(2);
    headingRow->addWidget(rule, 1);
    grid->addLayout(headingRow, 0, 0, 1, 2);

    int row = 1;
    for (const QString& text : labels) {
        auto* edit = new QLineEdit(this);
        grid->addWidget(new QLabel(text, this), row, 0);
        grid->addWidget(edit, row, 1);
        edits.append(edit);
        ++row;
    }

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->setAlignment(Qt::AlignCenter);
    okButton = new QPushButton(QDialog::tr("OK"), this);
    okButton->setDefault(true);
    cancelButton = new QPushButton(QDialog::tr("Cancel"), this);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    grid->addLayout(buttons, row, 1);

    connect(okButton, &QPushButton::clicked, this, &FormDialog::okClicked);
    connect(cancelButton, &QPushButton::clicked, this, &FormDialog::cancelClicked);
}

void FormDialog::okClicked()
{
    accept();
}

void FormDialog::cancelClicked()
{
    reject();
}

DeviceInfoDialog::DeviceInfoDialog(QWidget* parent)
    : FormDialog(parent, tr("Device Information"), tr("Device Information"),
                 {tr("Name"), tr("Serial Number"), tr("Codec Password")})
{
    nameEdit = edits.at(0);
    serialEdit = edits.at(1);
    passwordEdit = edits.at(2);
}

ServerInfoDialog::ServerInfoDialog(QWidget* parent)
    : FormDialog(parent, tr("Server Authentication"), tr("Account Information"),
                 {tr("User Name"), tr("Password")})
{
    userEdit = edits.at(0);
    passwordEdit = edits.at(1);
}

VeltoDialog::VeltoDialog(QWidget* parent)
    : QDialog(parent, DialogFlags)
{
    const QString name = QString::fromLatin1(KandeloDisplayName);
    setWindowTitle(tr("About %1").arg(name));
    setFixedSize(350, 272);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(3);
    layout->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    imageLabel = new QLabel(this);
    imageLabel->setPixmap(QPixmap(QStringLiteral(":/images/Kandelo.png")));
    imageLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(imageLabel, 0, Qt::AlignHCenter);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Plain);
    layout->addWidget(rule);

    auto* version = new QLabel(
        tr("%1 - Version %2").arg(name, QString::fromLatin1(KandeloVersionText)), this);
    QFont font = version->font();
    font.setWeight(QFont::Bold);
    version->setFont(font);
    version->setTextFormat(Qt::PlainText);
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version, 0, Qt::AlignHCenter);
}
