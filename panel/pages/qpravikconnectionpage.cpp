#include "panel/pages/qpravikconnectionpage.h"

#include <QLabel>

#include "panel/kit/connpanel.h"

QPravikConnectionPage::QPravikConnectionPage(QPravikWindow* parent)
    : QPravikStripPage(0, parent)
    , panels{new QPravikConnPanel(1, this), new QPravikConnPanel(2, this)}
{
    panels[0]->move(10, 134);
    panels[1]->move(466, 134);
    for (QPravikConnPanel* linePanel : panels)
        linePanel->setProgramMode(1, 0);
}

QPravikConnPanel* QPravikConnectionPage::panel(int line) const
{
    return line == 1 || line == 2 ? panels[line - 1] : nullptr;
}

void QPravikConnectionPage::setProgramMode(int flags, int mode)
{
    QPravikStripPage::setProgramMode(flags, mode);
    for (QPravikConnPanel* linePanel : panels)
        linePanel->setProgramMode(flags, mode);
}

void QPravikConnectionPage::setLinkState(int line, int state)
{
    QPravikStripPage::setLinkState(line, state);
    if (QPravikConnPanel* linePanel = panel(line))
        linePanel->setLinkState(state);
}

void QPravikConnectionPage::setLineStatus(int line, const QString& text)
{
    if (QPravikConnPanel* linePanel = panel(line))
        linePanel->stateLabel->setText(text);
}

void QPravikConnectionPage::setLineNote(int line, const QString& text)
{
    if (QPravikConnPanel* linePanel = panel(line))
        linePanel->info->noteLabel->setText(text);
}

void QPravikConnectionPage::setLineText(int line, const QString& text, int index)
{
    if (QPravikConnPanel* linePanel = panel(line))
        linePanel->setText(text, index);
}
