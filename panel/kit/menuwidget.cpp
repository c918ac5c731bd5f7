#include "panel/kit/menuwidget.h"

#include "panel/kit/look.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

using menukit::exactClass;
using menukit::setTextColour;

const QColor titleBlue(0, 162, 232);
const QString breadcrumbSeparator = QStringLiteral(" > ");

// Rows of a slide list in list order, limited to the exact class.
template <class Row, class Match>
Row* findRow(const QPravikSlideWidget* list, Match match)
{
    for (int i = 0; i < list->contentLayout->count(); ++i)
        if (Row* row = exactClass<Row>(list->contentLayout->itemAt(i)->widget()); row && match(row))
            return row;
    return nullptr;
}

template <class Match>
QPravikMenuItems* findPage(const QStackedLayout* stack, Match match)
{
    for (int i = 0; i < stack->count(); ++i)
        if (auto* page = exactClass<QPravikMenuItems>(stack->widget(i)); page && match(page))
            return page;
    return nullptr;
}

} // namespace

// --- QPravikMenuItems --------------------------------------------------------

QPravikMenuItems::QPravikMenuItems(int menuId, QPravikMenuWidget* menuWidget)
    : QPravikMenuItems(menuId, -1, menuWidget)
{
}

QPravikMenuItems::QPravikMenuItems(int menuId, int parentId, QPravikMenuWidget* menuWidget)
    : QPravikSlideWidget(menuWidget)
    , menuId(menuId)
    , parentId(parentId)
    , menuWidget(menuWidget)
{
}

void QPravikMenuItems::addItem(QPravikMenuItem* item)
{
    if (item && item->page == this)
        contentLayout->addWidget(item);
}

void QPravikMenuItems::removeItem(QPravikMenuItem* item)
{
    if (item && item->page == this)
        contentLayout->removeWidget(item);
}

QPravikMenuItem* QPravikMenuItems::findItem(int id) const
{
    return findRow<QPravikMenuItem>(this, [id](const QPravikMenuItem* item) { return item->id == id; });
}

QPravikMenuItem* QPravikMenuItems::findItemOfParent(int id, int parent) const
{
    return findRow<QPravikMenuItem>(
        this, [id, parent](const QPravikMenuItem* item) { return item->id == id && item->parentId == parent; });
}

QList<QPravikMenuItem*> QPravikMenuItems::allItems() const
{
    QList<QPravikMenuItem*> items;
    for (int i = 0; i < contentLayout->count(); ++i)
        if (auto* item = qobject_cast<QPravikMenuItem*>(contentLayout->itemAt(i)->widget()))
            items.append(item);
    return items;
}

void QPravikMenuItems::notifyItemChanged(QPravikMenuItem* item)
{
    if (menuWidget)
        menuWidget->itemChanged(item);
}

// --- QPravikMenuEntries ------------------------------------------------------

QPravikMenuEntries::QPravikMenuEntries(QPravikMenuWidget* menuWidget)
    : QPravikSlideWidget(menuWidget)
    , menuWidget(menuWidget)
{
}

void QPravikMenuEntries::addEntry(QPravikMenuEntry* entry)
{
    if (!entry || (entry->owner && entry->owner != this))
        return;
    contentLayout->addWidget(entry);
    entry->owner = this;
}

void QPravikMenuEntries::setCurrentEntry(QPravikMenuEntry* entry)
{
    if (entry == currentEntry)
        return;
    if (currentEntry)
        currentEntry->setState(QPravikMenuEntry::Normal);
    if (entry && entry->owner == this && entry->state != QPravikMenuEntry::Disabled) {
        currentEntry = entry;
        entry->setState(QPravikMenuEntry::Current);
    }
}

QPravikMenuEntry* QPravikMenuEntries::findEntry(int id) const
{
    return findRow<QPravikMenuEntry>(this, [id](const QPravikMenuEntry* entry) { return entry->id == id; });
}

void QPravikMenuEntries::itemClicked(QWidget* child)
{
    if (!menuWidget || !child)
        return;
    QPravikMenuEntry* entry = exactClass<QPravikMenuEntry>(child->parentWidget());
    if (!entry || entry->id == menuWidget->currentEntryId || entry->state == QPravikMenuEntry::Disabled)
        return;
    menuWidget->entryActivated(entry);
}

// --- QPravikMenuHeader -------------------------------------------------------

QPravikMenuHeader::QMyLabel::QMyLabel(QPravikMenuHeader* header)
    : QLabel(header)
    , header(header)
{
}

void QPravikMenuHeader::QMyLabel::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (header)
        header->labelClicked(this);
}

QPravikMenuHeader::QPravikMenuHeader(QPravikMenuWidget* menuWidget)
    : QWidget(menuWidget)
    , menuWidget(menuWidget)
    , layout(new QHBoxLayout(this))
{
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto icon = [this](const QString& resource, int margin, int size) {
        auto* label = new QMyLabel(this);
        label->setMargin(margin);
        label->setFixedSize(size, size);
        label->setScaledContents(true);
        setPixmapWhenDrawn(label, resource);
        return label;
    };
    backLabel = icon(QStringLiteral(":/images/navleft.png"), 4, 50);
    layout->addWidget(backLabel);

    // Its text changes with each page, and holds the names of the unit's
    // records: measured and painted as a row's.
    titleLabel = elidedLabel(this);
    titleLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titleLabel->setWordWrap(true);
    QFont titleFont = font();
    titleFont.setPixelSize(20);
    titleLabel->setFont(titleFont);
    setTextColour(titleLabel, titleBlue);
    layout->addWidget(titleLabel, 1);

    applyLabel = icon(QStringLiteral(":/images/check.png"), 0, 54);
    applyLabel->hide();
    layout->addWidget(applyLabel);
    refreshLabel = icon(QStringLiteral(":/images/refresh.png"), 0, 54);
    refreshLabel->hide();
    layout->addWidget(refreshLabel);
}

void QPravikMenuHeader::setModified(bool on)
{
    if (on == modified)
        return;
    modified = on;
    setTextColour(titleLabel, modified ? QColor(Qt::red) : titleBlue);
    applyLabel->setVisible(modified);
}

void QPravikMenuHeader::setRefreshVisible(bool on)
{
    if (on != refreshVisible)
        applyRefreshVisible(on);
}

void QPravikMenuHeader::applyRefreshVisible(bool on)
{
    refreshVisible = on;
    refreshLabel->setVisible(on);
}

void QPravikMenuHeader::setBackVisible(bool on)
{
    backLabel->setVisible(on);
    layout->setContentsMargins(on ? 0 : 10, 0, 0, 0);
}

void QPravikMenuHeader::labelClicked(QMyLabel* label)
{
    if (!menuWidget)
        return;
    if (label == backLabel)
        menuWidget->goBack();
    else if (label == applyLabel)
        menuWidget->applyChanges();
    else if (label == refreshLabel)
        menuWidget->refreshMenu();
}

// --- QPravikMenuWidget -------------------------------------------------------

QPravikMenuWidget::QPravikMenuWidget(QWidget* parent)
    : QWidget(parent)
{
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    columns->setAlignment(Qt::AlignLeft);

    entries = new QPravikMenuEntries(this);
    entries->setFixedWidth(200);
    columns->addWidget(entries);
    columns->addWidget(menukit::line(QFrame::VLine, this));

    auto* right = new QVBoxLayout;
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    right->setAlignment(Qt::AlignTop);
    columns->addLayout(right, 1);

    header = new QPravikMenuHeader(this);
    header->setFixedHeight(60);
    right->addWidget(header);
    right->addWidget(menukit::line(QFrame::HLine, this));

    // The stack has a widget of its own: a page change turns the updates of
    // the stack's widget off and on, which repaints all of that widget, and
    // the entry column and the header have not changed.
    auto* pages = new QWidget(this);
    stack = new QStackedLayout(pages);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    right->addWidget(pages);
}

// Closing the window on the way out releases an engaged wheel, whose report
// must not reach the hooks of a menu that is no longer whole.
QPravikMenuWidget::~QPravikMenuWidget()
{
    for (QPravikMenuItems* page : findChildren<QPravikMenuItems*>())
        page->menuWidget = nullptr;
    entries->menuWidget = nullptr;
    header->menuWidget = nullptr;
}

void QPravikMenuWidget::goBack()
{
    header->setModified(false);
    header->applyRefreshVisible(false);
    if (stack->count() <= 1)
        return;
    removeShownPage();
    if (breadcrumb.size() <= 1)
        return;
    breadcrumb.removeLast();
    showBreadcrumb();
    if (breadcrumb.size() == 1)
        header->setBackVisible(false);
}

void QPravikMenuWidget::applyChanges()
{
    header->setModified(false);
}

void QPravikMenuWidget::refreshMenu() {}

void QPravikMenuWidget::openTarget(QPravikMenuEntry* entry)
{
    entryActivated(entry);
}

bool QPravikMenuWidget::entryActivated(QPravikMenuEntry* entry)
{
    if (!entry || entry->state == QPravikMenuEntry::Disabled)
        return false;
    currentEntryId = entry->id;
    entries->setCurrentEntry(entry);
    while (stack->count() > 0)
        removeShownPage();
    breadcrumb = QStringList{entry->titleText()};
    showBreadcrumb();
    header->setBackVisible(false);
    header->setModified(false);
    header->applyRefreshVisible(false);
    return true;
}

void QPravikMenuWidget::itemActivated(QPravikMenuItem* item)
{
    if (!item || item->type != QPravikMenuItem::SubMenu)
        return;
    breadcrumb.append(item->titleText());
    showBreadcrumb();
    header->setModified(false);
    header->applyRefreshVisible(false);
    if (breadcrumb.size() == 2)
        header->setBackVisible(true);
}

void QPravikMenuWidget::prepareKeyboard(QPravikMenuItem*, QPravikVirtual*) {}
void QPravikMenuWidget::prepareSelection(QPravikMenuItem*, QPravikMenuSelect*) {}
void QPravikMenuWidget::itemChanged(QPravikMenuItem*) {}
void QPravikMenuWidget::keyboardAccepted(QPravikMenuItem*, QPravikVirtual*) {}
void QPravikMenuWidget::selectionAccepted(QPravikMenuItem*, QPravikMenuSelect*) {}

bool QPravikMenuWidget::openEntry(int entryId, int target)
{
    QPravikMenuEntry* entry = entries->findEntry(entryId);
    if (!entry || entry->state == QPravikMenuEntry::Disabled)
        return false;
    pendingTarget = target;
    openTarget(entry);
    return true;
}

void QPravikMenuWidget::pushPage(QPravikMenuItems* page)
{
    if (!page)
        return;
    stack->addWidget(page);
    stack->setCurrentWidget(page);
}

QPravikMenuItems* QPravikMenuWidget::currentItems() const
{
    return exactClass<QPravikMenuItems>(stack->currentWidget());
}

QPravikMenuItems* QPravikMenuWidget::itemsPage(int menuId) const
{
    return findPage(stack, [menuId](const QPravikMenuItems* page) { return page->menuId == menuId; });
}

QPravikMenuItems* QPravikMenuWidget::findItemsPage(int menuId, int parentId) const
{
    return findPage(stack, [menuId, parentId](const QPravikMenuItems* page) {
        return page->menuId == menuId && page->parentId == parentId;
    });
}

void QPravikMenuWidget::addEntry(QPravikMenuEntry* entry)
{
    entries->addEntry(entry);
}

void QPravikMenuWidget::showBreadcrumb()
{
    header->titleLabel->setText(breadcrumb.join(breadcrumbSeparator));
}

// Pages go with their rows once the event loop is back: the hook that
// removed a page may still be running on one of its items.
void QPravikMenuWidget::removeShownPage()
{
    QWidget* page = stack->currentWidget();
    if (!page)
        return;
    stack->removeWidget(page);
    page->deleteLater();
}

QWidget* QPravikMenuWidget::shownPageOrSelf()
{
    QWidget* page = stack->currentWidget();
    return page ? page : this;
}
