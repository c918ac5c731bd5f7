#include "panel/settings/controlleredit.h"

#include <QCoreApplication>

#include "model/tcomcontroller.h"
#include "panel/kit/controls.h"
#include "panel/kit/menuwidget.h"
#include "panel/settings/qpraviksettingspage.h"

ControllerEdit::ControllerEdit(QPravikMenuItems* page, Mode mode)
    : m_page(page)
    , m_mode(mode)
{
}

bool ControllerEdit::modified(QPravikMenuItems* page, const Walk& walk)
{
    if (!page)
        return false;
    ControllerEdit edit(page, Compare);
    walk(edit);
    return edit.changed();
}

bool ControllerEdit::apply(QPravikMenuWidget* menu, QPravikMenuItems* page, TComController& controller,
                           const Walk& walk)
{
    if (!page)
        return false;
    ControllerEdit edit(page, Store);
    walk(edit);
    return edit.commit(menu, controller);
}

QPravikMenuItem* ControllerEdit::editable(int id) const
{
    QPravikMenuItem* item = m_page ? m_page->findItem(id) : nullptr;
    return item && !item->locked ? item : nullptr;
}

bool ControllerEdit::switchValue(int id, bool& on) const
{
    QPravikMenuItem* item = editable(id);
    if (!item || !item->switchButton)
        return false;
    on = item->switchButton->isChecked();
    return true;
}

bool ControllerEdit::choiceValue(int id, int& value) const
{
    const std::optional<int> current = QPravikSettingsPage::itemValue(editable(id));
    if (current)
        value = *current;
    return current.has_value();
}

bool ControllerEdit::textValue(int id, std::string& text, TextForm form) const
{
    QPravikMenuItem* item = editable(id);
    if (!item)
        return false;
    text = form(item->valueText());
    return true;
}

bool ControllerEdit::commit(QPravikMenuWidget* menu, TComController& controller)
{
    if (m_keys.empty())
        return true;
    menu->showMessage(QCoreApplication::translate("QPravikSettingsPage", "Applying changes..."), 1000);
    if (controller.writeParams(m_keys))
        return true;
    rollback();
    menu->showMessage(QCoreApplication::translate("QPravikSettingsPage", "Failed to apply changes!"), 0);
    return false;
}

void ControllerEdit::rollback()
{
    for (auto undo = m_undo.rbegin(); undo != m_undo.rend(); ++undo)
        (*undo)();
    m_undo.clear();
}
