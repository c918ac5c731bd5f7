#pragma once

#include <QLabel>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "panel/kit/menuitem.h"
#include "panel/kit/slidewidget.h"
#include "panel/pages/panelshared.h"

class QHBoxLayout;
class QStackedLayout;
class QPravikMenuSelect;
class QPravikMenuWidget;
class QPravikMessage;
class QPravikPopup;
class QPravikVirtual;

// One menu page: a drag-scrolled list of items. Rows and pages are found by
// exact class and id, so subclasses of the row classes are not matched.
class QPravikMenuItems : public QPravikSlideWidget
{
    Q_OBJECT
public:
    QPravikMenuItems(int menuId, QPravikMenuWidget* menuWidget);
    QPravikMenuItems(int menuId, int parentId, QPravikMenuWidget* menuWidget);

    // Only items created for this page are taken.
    void addItem(QPravikMenuItem* item);
    void removeItem(QPravikMenuItem* item);
    QPravikMenuItem* findItem(int id) const;
    QPravikMenuItem* findItemOfParent(int id, int parentId) const;
    QList<QPravikMenuItem*> allItems() const;
    void notifyItemChanged(QPravikMenuItem* item);

    // A click on an unlocked item edits it by its type or hands it to the
    // menu widget.
    void itemClicked(QWidget* child) override;

    int menuId;
    int parentId;
    QPravikMenuWidget* menuWidget;

public slots:
    void editionClosed();
    void selectionClosed();

private:
    void openItemKeyboard(QPravikMenuItem* item, int fullKeyboard);
    void openItemSelection(QPravikMenuItem* item);
};

// The column of root entries.
class QPravikMenuEntries : public QPravikSlideWidget
{
    Q_OBJECT
public:
    explicit QPravikMenuEntries(QPravikMenuWidget* menuWidget);

    void addEntry(QPravikMenuEntry* entry);
    void setCurrentEntry(QPravikMenuEntry* entry);
    QPravikMenuEntry* findEntry(int id) const;
    void itemClicked(QWidget* child) override;

    QPravikMenuWidget* menuWidget;
    QPointer<QPravikMenuEntry> currentEntry;
};

// Back arrow, breadcrumb title, apply check mark and refresh icon.
class QPravikMenuHeader : public QWidget
{
    Q_OBJECT
public:
    // An icon that reports a click to its header.
    class QMyLabel : public QLabel
    {
    public:
        explicit QMyLabel(QPravikMenuHeader* header);
        QPravikMenuHeader* header;

    protected:
        void mouseReleaseEvent(QMouseEvent* event) override;
    };

    explicit QPravikMenuHeader(QPravikMenuWidget* menuWidget);

    void setModified(bool on);
    void setRefreshVisible(bool on);
    void applyRefreshVisible(bool on);
    void setBackVisible(bool on);
    void labelClicked(QMyLabel* label);

    bool modified = false;
    bool refreshVisible = false;
    QPravikMenuWidget* menuWidget;
    QHBoxLayout* layout = nullptr;
    QMyLabel* backLabel = nullptr;
    QLabel* titleLabel = nullptr;
    QMyLabel* applyLabel = nullptr;
    QMyLabel* refreshLabel = nullptr;
};

// Frame of a settings menu: root entries at the left, a header above a stack
// of item pages at the right. A concrete menu builds its pages and reacts to
// edits through the twelve virtual hooks; the base versions only keep the
// header and the breadcrumb consistent.
class QPravikMenuWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QPravikMenuWidget(QWidget* parent = nullptr);
    ~QPravikMenuWidget() override;

    virtual void goBack();
    virtual void applyChanges();
    virtual void refreshMenu();
    virtual void openTarget(QPravikMenuEntry* entry);
    virtual bool entryActivated(QPravikMenuEntry* entry);
    virtual void itemActivated(QPravikMenuItem* item);
    virtual void prepareKeyboard(QPravikMenuItem* item, QPravikVirtual* keyboard);
    virtual void prepareSelection(QPravikMenuItem* item, QPravikMenuSelect* select);
    virtual void itemChanged(QPravikMenuItem* item);
    virtual void keyboardAccepted(QPravikMenuItem* item, QPravikVirtual* keyboard);
    virtual void selectionAccepted(QPravikMenuItem* item, QPravikMenuSelect* select);
    virtual bool openEntry(int entryId, int target);

    void pushPage(QPravikMenuItems* page);
    QPravikMenuItems* currentItems() const;
    QPravikMenuItems* itemsPage(int menuId) const;
    QPravikMenuItems* findItemsPage(int menuId, int parentId) const;
    void addEntry(QPravikMenuEntry* entry);

    // Ready-made popups. Each is application-modal, owned by this widget and
    // painted before the call returns. With show false the caller finishes
    // setting the popup up and shows it.
    QPravikVirtual* openKeyboard(int fullKeyboard, QPravikMenuItem* item, bool show);
    QPravikMenuSelect* openSelection(const QString& message, QPravikMenuItem* item, bool show);
    void showMessage(const QString& text, int timeoutMs);
    QPravikMessage* showAction(const QString& text, QPravikMenuItem* item);
    void closePopup();

    QPravik::Page returnPage = QPravik::PageMain; // where leaving the menu goes
    int currentEntryId = -1;
    int pendingTarget = 0; // kept for the concrete menu by openEntry
    QPravikMenuHeader* header = nullptr;
    QPravikMenuEntries* entries = nullptr;
    QStackedLayout* stack = nullptr;
    QPointer<QPravikMessage> messagePopup;
    QStringList breadcrumb;

signals:
    void pageActivated(QPravik::Page page);
    void menuItemChanges(QPravikMenuItem* item, int menuId);

public slots:
    void messagePopupClosed();
    void actionPopupClosed();
    void keyboardPopupClosed();
    void selectionPopupClosed();

private:
    void showBreadcrumb();
    void removeShownPage();
    QWidget* shownPageOrSelf();
};

// Attaches the menu item a popup edits. Should the item go away while the
// popup is open, the popup forgets it and closes as cancelled.
void attachMenuItem(QPravikPopup* popup, QPravikMenuItem* item);
QPravikMenuItem* attachedMenuItem(const QPravikPopup* popup);
