#pragma once

#include <QString>

#include <functional>
#include <string>
#include <vector>

class QPravikMenuItem;
class QPravikMenuItems;
class QPravikMenuWidget;
class TComController;

// An edited menu held against the controller it mirrors. A menu's modified
// test and its applier walk the same items in the same order through one
// ControllerEdit: comparing only tells whether an unlocked item differs;
// storing also puts each difference into the controller without sending it
// and collects its key for one commit. When the unit refuses the commit every
// stored value goes back, so the page keeps its edits and mark and a retry
// sends the same request again.
class ControllerEdit
{
public:
    enum Mode { Compare, Store };
    // How a text item's value becomes the controller's bytes.
    using TextForm = std::string (*)(const QString&);

    using Walk = std::function<void(ControllerEdit&)>;

    ControllerEdit(QPravikMenuItems* page, Mode mode);

    // A menu's modified test: whether an unlocked item differs. A null page
    // does not.
    static bool modified(QPravikMenuItems* page, const Walk& walk);
    // A menu's applier: the walk stores, then one commit (see commit()). A
    // null page gives false.
    static bool apply(QPravikMenuWidget* menu, QPravikMenuItems* page, TComController& controller, const Walk& walk);

    // The item when it is on the page and not locked.
    QPravikMenuItem* editable(int id) const;
    // The value of an editable item: a switch's state, the current choice of
    // a list (false without one), a text in the given form.
    bool switchValue(int id, bool& on) const;
    bool choiceValue(int id, int& value) const;
    bool textValue(int id, std::string& text, TextForm form) const;

    bool changed() const { return m_changed; }

    // A value the menu wants in the controller. With always the key travels
    // even when the controller holds the value already.
    template <class C, class P, class T>
    void update(C& controller, const T& current, const T& wanted, bool (C::*set)(P, bool), const char* key,
                bool always = false)
    {
        const bool differs = !(current == wanted);
        m_changed = m_changed || differs;
        if (m_mode != Store || (!differs && !always))
            return;
        if (differs) {
            const T previous = current;
            (controller.*set)(wanted, false);
            m_undo.push_back([&controller, set, previous] { (controller.*set)(previous, false); });
        }
        m_keys.push_back(key);
    }

    // The same for a setter that takes an index (an interface, an output)
    // before the value.
    template <class C, class I, class P, class T>
    void update(C& controller, I index, const T& current, const T& wanted, bool (C::*set)(I, P, bool),
                const std::string& key)
    {
        const bool differs = !(current == wanted);
        m_changed = m_changed || differs;
        if (m_mode != Store || !differs)
            return;
        const T previous = current;
        (controller.*set)(index, wanted, false);
        m_undo.push_back([&controller, set, index, previous] { (controller.*set)(index, previous, false); });
        m_keys.push_back(key);
    }

    // The same for an editable item read straight from the controller.
    template <class C, class G, class P>
    void toggle(int id, C& controller, G (C::*get)() const, bool (C::*set)(P, bool), const char* key)
    {
        bool on = false;
        if (switchValue(id, on))
            update(controller, bool((controller.*get)()), on, set, key);
    }
    template <class C, class G, class P>
    void choice(int id, C& controller, G (C::*get)() const, bool (C::*set)(P, bool), const char* key)
    {
        int value = 0;
        if (choiceValue(id, value))
            update(controller, int((controller.*get)()), value, set, key);
    }
    template <class C, class P>
    void text(int id, C& controller, const std::string& (C::*get)() const, bool (C::*set)(P, bool), const char* key,
              TextForm form, bool always = false)
    {
        std::string value;
        if (textValue(id, value, form))
            update(controller, (controller.*get)(), value, set, key, always);
    }

    // Nothing collected: true and nothing sent. Otherwise "Applying
    // changes..." and one commit of the keys; a refusal puts the controller
    // back, shows "Failed to apply changes!" and gives false.
    bool commit(QPravikMenuWidget* menu, TComController& controller);
    // For a menu with a commit of its own: the keys stored, and putting
    // their previous values back.
    const std::vector<std::string>& keys() const { return m_keys; }
    void rollback();

private:
    QPravikMenuItems* m_page;
    Mode m_mode;
    bool m_changed = false;
    std::vector<std::string> m_keys;
    std::vector<std::function<void()>> m_undo;
};
