#pragma once

#include <QPointer>
#include <QWidget>

#include "panel/kit/popup.h"
#include "panel/kit/slidewidget.h"

class QGridLayout;
class QLabel;
class QPravikButton;
class QPravikMenuSelect;
class QPravikSwitch;

// One row of a choice popup: a switch and the choice's text.
class QPravikMenuSelectable : public QWidget
{
    Q_OBJECT
public:
    explicit QPravikMenuSelectable(int value, QWidget* parent = nullptr);

    int value;
    QPravikMenuSelect* owner = nullptr;
    QGridLayout* layout = nullptr;
    QLabel* label = nullptr; // the creator sets the text
    QPravikSwitch* switchButton = nullptr;

public slots:
    void switchClicked();
};

// Popup that picks one row of a list. OK without a chosen row is a Cancel.
class QPravikMenuSelect : public QPravikPopup
{
    Q_OBJECT
public:
    // A click anywhere on a row chooses it.
    class QMyPravikSlideWidget : public QPravikSlideWidget
    {
    public:
        using QPravikSlideWidget::QPravikSlideWidget;
        void itemClicked(QWidget* child) override;
    };

    explicit QPravikMenuSelect(QWidget* parent = nullptr);

    void setMessage(const QString& text);
    void addSelectable(QPravikMenuSelectable* row);
    void appendSelectable(QPravikMenuSelectable* row);
    void setCurrent(QPravikMenuSelectable* row);
    QPravikMenuSelectable* findSelectable(int value) const;

    QMyPravikSlideWidget* list = nullptr;
    QLabel* messageLabel = nullptr; // hidden while empty
    QPravikButton* cancelButton = nullptr;
    QPravikButton* okButton = nullptr;
    QPointer<QPravikMenuSelectable> currentRow;

public slots:
    void okClicked();
    void cancelClicked();

protected:
    void showEvent(QShowEvent* event) override;
};
