#include "panel/pages/qpravikconnectionpage.h"

#include <QCoreApplication>
#include <QLabel>

#include <algorithm>

#include "link/protocolkeys.h"
#include "link/tcommand.h"
#include "link/valuetext.h"
#include "model/locale.h"
#include "model/tcomaudioconnection.h"
#include "model/tcomdevice.h"
#include "model/textconv.h"
#include "panel/kit/connpanel.h"
#include "panel/kit/controls.h"
#include "panel/kit/look.h"
#include "panel/kit/menuselect.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/qpravikwindow.h"

namespace {

constexpr int kTimeoutMs = 5000;
// The coding whose bit rate a running call can change.
constexpr int kRateCodec = 19;
const char* const kAutoRedialKeys[2] = {"auto_redial_link1", "auto_redial_link2"};

// Centres a popup over the page, lowered by down pixels.
template <class Popup>
Popup* placed(Popup* popup, QWidget* page, void* item, int down = 0)
{
    popup->setWindowModality(Qt::ApplicationModal);
    popup->move(page->mapToGlobal(QPoint(0, 0))
                + QPoint((page->width() - popup->width()) / 2, (page->height() - popup->height()) / 2 + down));
    popup->item = item;
    return popup;
}

QPravikMenuSelectable* row(QPravikMenuSelect* select, int value, const QString& text)
{
    auto* selectable = new QPravikMenuSelectable(value);
    selectable->label->setTextFormat(Qt::PlainText);
    selectable->label->setText(text);
    select->addSelectable(selectable);
    return selectable;
}

bool isPageOfCodec(QPravik::Page page)
{
    return page == QPravik::PageCodec1Menu || page == QPravik::PageCodec2Menu;
}

QString codingLine(const char* direction, const CodecConfig& codec)
{
    return QStringLiteral("%1: %2 %3 %4kbit/s")
        .arg(QLatin1String(direction), QPravikLocalize::codecName(codec.codec),
             QPravikLocalize::channelModeName(int(codec.channelMode)))
        .arg(codec.bitRate / 1000);
}

} // namespace

QPravikConnectionPage::QPravikConnectionPage(QPravikWindow* parent)
    : QPravikBasePage(parent)
{
    setupUi();
}

void QPravikConnectionPage::setupUi()
{
    for (int line = 1; line <= 2; ++line) {
        QPravikConnPanel* linePanel = new QPravikConnPanel(line, this);
        panels[line - 1] = linePanel;
        linePanel->move(line == 1 ? 10 : 466, 134);
        linePanel->setProgramMode(1, 0);
        connect(linePanel, &QPravikConnPanel::panelClicked, this, &QPravikConnectionPage::panelClicked);
        connect(linePanel, &QPravikConnPanel::dialClicked, this, &QPravikConnectionPage::dialClicked);
        connect(linePanel, &QPravikConnPanel::histClicked, this, &QPravikConnectionPage::histClicked);
        connect(linePanel, &QPravikConnPanel::autoRedialClicked, this, &QPravikConnectionPage::autoRedialClicked);
        connect(linePanel, &QPravikConnPanel::pageActivated, this, &QPravikConnectionPage::pageActivated);
    }
    const auto key = [this](const QRect& geometry, const char* icon) {
        auto* button = new QPravikButton(this);
        button->borderWidth = 4;
        setLampColours(button, Qt::white, Qt::black);
        button->setIcon(iconWhenDrawn(QString::fromLatin1(icon)));
        button->setGeometry(geometry);
        return button;
    };
    homeKey = key(QRect(10, 7, 98, 66), ":/images/home.png");
    networkKey = key(QRect(351, 186, 98, 66), ":/images/network.png");
    connect(homeKey, &QPravikButton::clicked, this, &QPravikConnectionPage::page1Clicked);
    connect(networkKey, &QPravikButton::clicked, this, &QPravikConnectionPage::page2Clicked);
}

QPravikConnPanel* QPravikConnectionPage::panel(int line) const
{
    return line == 1 || line == 2 ? panels[line - 1] : nullptr;
}

void QPravikConnectionPage::setProgramMode(int flags, int mode)
{
    statusPanel->setProgramMode(flags, mode);
    for (QPravikConnPanel* linePanel : panels)
        linePanel->setProgramMode(flags, mode);
}

void QPravikConnectionPage::setLinkState(int line, int state)
{
    statusPanel->setLinkState(line, state);
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

QPravikConnPanel* QPravikConnectionPage::senderPanel() const
{
    QObject* from = sender();
    return from == panels[0] || from == panels[1] ? static_cast<QPravikConnPanel*>(from) : nullptr;
}

QPravikConnPanel* QPravikConnectionPage::popupPanel(void* item) const
{
    return item == panels[0] || item == panels[1] ? static_cast<QPravikConnPanel*>(item) : nullptr;
}

TComAudioConnection* QPravikConnectionPage::lineConnection(int line) const
{
    return dynamic_cast<TComAudioConnection*>(frontPanelDevice()->findAudioConnection(line));
}

bool QPravikConnectionPage::canDial(int line) const
{
    const TComDevice* device = frontPanelDevice();
    return device->isReady() && interfaceClassFromName(device->defaultNetwork()) != kInvalidInterface
        && !device->findAudioConnection(line);
}

void QPravikConnectionPage::takeNumber(QPravikConnPanel* linePanel, const QString& number)
{
    const int line = linePanel->line;
    const int kind = frontPanelDevice()->transportForLine(line);
    linePanel->setText(number, kind);
    setLinkState(line, number.isEmpty() ? 1 : 2);
    panelWindow->sendRemoteNumber(line, number, kind);
}

// --- dial pad and history ------------------------------------------------------

void QPravikConnectionPage::dialClicked()
{
    QPravikConnPanel* linePanel = senderPanel();
    if (!linePanel || !canDial(linePanel->line))
        return;
    auto* dial = placed(new QPravikVirtual(0, this), this, linePanel);
    dial->titleLabel.setText(tr("Dial Number"));
    dial->lineEdit.setText(linePanel->text(frontPanelDevice()->transportForLine(linePanel->line)));
    connect(dial, &QPravikPopup::popupClosed, this, &QPravikConnectionPage::dialClosed);
    dial->show();
}

void QPravikConnectionPage::dialClosed()
{
    auto* dial = qobject_cast<QPravikVirtual*>(sender());
    QPravikConnPanel* linePanel = dial ? popupPanel(dial->item) : nullptr;
    if (!linePanel || dial->cancelled || !canDial(linePanel->line))
        return;
    takeNumber(linePanel, dial->lineEdit.text());
}

void QPravikConnectionPage::histClicked()
{
    QPravikConnPanel* linePanel = senderPanel();
    if (!linePanel || !canDial(linePanel->line))
        return;
    TComDevice* device = frontPanelDevice();
    auto* select = placed(new QPravikMenuSelect(this), this, linePanel, 25);

    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), wire::target::db());
    request.addList(linePanel == panels[1] && device->isDoubleStreamMode() ? "phone-addr-history" : "addr-history");
    std::vector<std::string> entries;
    device->requestHelper().getList(request, entries, kTimeoutMs);

    const QString number = linePanel->text(device->transportForLine(linePanel->line));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const QString entry = fromUnitUtf8(entries[i]);
        QPravikMenuSelectable* added = row(select, int(i), entry);
        if (!select->currentRow && entry == number)
            select->setCurrent(added);
    }
    if (!select->currentRow)
        select->setCurrent(select->findSelectable(0));
    connect(select, &QPravikPopup::popupClosed, this, &QPravikConnectionPage::histClosed);
    select->show();
}

void QPravikConnectionPage::histClosed()
{
    auto* select = qobject_cast<QPravikMenuSelect*>(sender());
    QPravikConnPanel* linePanel = select ? popupPanel(select->item) : nullptr;
    if (!linePanel || select->cancelled || !select->currentRow || !canDial(linePanel->line))
        return;
    takeNumber(linePanel, select->currentRow->label->text());
}

// --- call and hang-up ----------------------------------------------------------

void QPravikConnectionPage::panelClicked()
{
    QPravikConnPanel* linePanel = senderPanel();
    if (!linePanel)
        return;
    const TComAudioConnection* call = lineConnection(linePanel->line);
    if (!call) {
        placeCall(linePanel);
        return;
    }
    if (call->state() != TComAudioConnection::SettingUp && call->state() != TComAudioConnection::Connected)
        return;
    auto* confirm = placed(new QPravikMessage(tr("Are you sure you want to hang up?"),
                                              QPravikMessage::CancelButton | QPravikMessage::OkButton, this),
                           this, linePanel);
    connect(confirm, &QPravikPopup::popupClosed, this, &QPravikConnectionPage::messagePopupClosed);
    confirm->popup();
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
}

void QPravikConnectionPage::placeCall(QPravikConnPanel* linePanel)
{
    TComDevice* device = frontPanelDevice();
    const std::string network = device->defaultNetwork();
    if (!device->isReady() || interfaceClassFromName(network) == kInvalidInterface)
        return;

    TComAudioConnection* call = nullptr;
    int result = 0;
    if (linePanel == panels[0] || device->codecMode() == 1) {
        const QString number = linePanel->text(transportFromName(network));
        if (number.isEmpty())
            return;
        call = new TComAudioConnection(device->requestHelper().session(),
                                       linePanel == panels[0] ? TComBaseConnection::Line1 : TComBaseConnection::Line2);
        result = call->call(network, toUnitUtf8(number));
    } else if (device->isDoubleStreamMode()) {
        const QString number = linePanel->text(GsmTransport);
        if (number.isEmpty())
            return;
        call = new TComAudioConnection(device->requestHelper().session(), TComBaseConnection::CoordLine);
        result = call->call("mobile.0", toUnitUtf8(number));
    } else {
        return;
    }

    if (result != 0) {
        delete call;
        panelWindow->showMessage(tr("Failed to initiate call\n(%1)").arg(frontPanelLocale()->causeText(result)), 0);
        return;
    }
    if (!device->addConnection(call)) {
        delete call;
        return;
    }
    panelWindow->audioCallStatusChanged(call);
}

void QPravikConnectionPage::messagePopupClosed()
{
    auto* confirm = qobject_cast<QPravikMessage*>(sender());
    QPravikConnPanel* linePanel = confirm ? popupPanel(confirm->item) : nullptr;
    if (!linePanel || confirm->cancelled)
        return;
    if (TComAudioConnection* call = lineConnection(linePanel->line))
        call->hangUp();
}

// --- coding and phone book -----------------------------------------------------

void QPravikConnectionPage::pageActivated(QPravik::Page page)
{
    QPravikConnPanel* linePanel = senderPanel();
    if (!linePanel)
        return;
    const TComAudioConnection* call = lineConnection(linePanel->line);
    if (!call) {
        if (currentAccessLevel == OperatorLevel && isPageOfCodec(page))
            return;
        panelWindow->pageActivated(page);
        return;
    }
    if (call->txCodec().codec != kRateCodec || !isPageOfCodec(page))
        return;
    if (!call->autoBitrate()) {
        openBitrates(linePanel, call);
        return;
    }
    const QString rates = codingLine("Tx", call->txCodec()) + QLatin1Char('\n') + codingLine("Rx", call->rxCodec());
    panelWindow->showMessage(tr("Auto bit rate is active\n\n") + rates, 0);
}

void QPravikConnectionPage::mergeBitrate(std::vector<int>& rates, int current)
{
    if (std::find(rates.begin(), rates.end(), current) != rates.end())
        return;
    const auto greater = std::find_if(rates.begin(), rates.end(), [current](int rate) { return rate > current; });
    if (greater == rates.end())
        rates.push_back(current);
    else if ((greater == rates.begin() ? 0 : *(greater - 1)) < current)
        rates.insert(greater, current);
}

void QPravikConnectionPage::openBitrates(QPravikConnPanel* linePanel, const TComAudioConnection* call)
{
    TComDevice* device = frontPanelDevice();
    const CodecConfig& tx = call->txCodec();
    std::vector<int> rates;
    if (!device->listBitrates(device->codecMode(), kRateCodec, int(tx.channelMode), tx.sampleRate, rates,
                              int(kInvalidInterface))
        || rates.empty())
        return;
    mergeBitrate(rates, tx.bitRate);
    auto* select = placed(new QPravikMenuSelect(this), this, linePanel, 25);
    for (int rate : rates) {
        QPravikMenuSelectable* added = row(select, rate, tr("%1 kbit/s").arg(rate / 1000));
        if (rate == tx.bitRate)
            select->setCurrent(added);
    }
    connect(select, &QPravikPopup::popupClosed, this, &QPravikConnectionPage::codingClosed);
    select->show();
}

void QPravikConnectionPage::codingClosed()
{
    auto* select = qobject_cast<QPravikMenuSelect*>(sender());
    QPravikConnPanel* linePanel = select ? popupPanel(select->item) : nullptr;
    if (!linePanel || select->cancelled || !select->currentRow)
        return;
    const TComAudioConnection* call = lineConnection(linePanel->line);
    if (!call)
        return;
    TCommand request(TCommand::Do);
    request.setParam(wire::key::action(), wire::action::sendUserInfo());
    request.setParam(wire::key::id(), toString(call->id()));
    request.setParam(wire::key::info(), "AT#AVTXBITRATE=" + toString(select->currentRow->value) + ";");
    frontPanelDevice()->requestHelper().send(request, kTimeoutMs);
}

// --- auto redial -----------------------------------------------------------------

void QPravikConnectionPage::autoRedialClicked()
{
    QPravikConnPanel* linePanel = senderPanel();
    if (!linePanel)
        return;
    QPravikSwitch* toggle = linePanel->autoRedialSwitch;
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), wire::target::network());
    request.setParam(kAutoRedialKeys[linePanel->line - 1], toggle->isChecked() ? "on" : "off");
    if (frontPanelDevice()->requestHelper().setParams(request, kTimeoutMs) == int(request.params.size()))
        return;
    // The unit kept its value: show that one, not the operator's.
    toggle->setChecked(!toggle->isChecked());
    panelWindow->showMessage(tr("Failed to apply changes!"), 0);
}

void QPravikConnectionPage::showEvent(QShowEvent* event)
{
    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), wire::target::network());
    for (const char* key : kAutoRedialKeys)
        request.addGet(key);
    TComRequestHelper::ValueMap values, errors;
    frontPanelDevice()->requestHelper().getParams(request, values, errors, kTimeoutMs);
    for (int k = 0; k < 2; ++k) {
        const auto found = values.find(kAutoRedialKeys[k]);
        panels[k]->autoRedialSwitch->setChecked(found != values.end() && found->second == "on");
        panels[k]->autoRedialSwitch->setEnabled(currentAccessLevel != OperatorLevel);
    }
    QPravikBasePage::showEvent(event);
}

// --- navigation ------------------------------------------------------------------

void QPravikConnectionPage::page1Clicked()
{
    panelWindow->pageActivated(QPravik::PageMain);
}

void QPravikConnectionPage::page2Clicked()
{
    panelWindow->pageActivated(QPravik::PageNetworkMenu);
}
