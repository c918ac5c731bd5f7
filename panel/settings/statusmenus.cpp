// The Status entry: the codec lines, the audio connections and their
// statistics, the AoIP controller and the network interfaces, and the unit's
// identity. Nothing here is edited: every page only reads.
#include "panel/settings/qpraviksettingspage.h"

#include <QColor>
#include <QGridLayout>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "link/tcommand.h"
#include "link/valuetext.h"
#include "model/locale.h"
#include "model/tcomaudioconnection.h"
#include "model/tcomdevice.h"
#include "model/textconv.h"
#include "panel/settings/settingsids.h"

using namespace SettingsId;

namespace {

using Item = QPravikMenuItem;

constexpr int kIdentityTimeoutMs = 5000;

const QColor kGrey(127, 127, 127);

using settingsmenu::tr;

// Every status row is locked but the links that open a further page.
Item* addRow(QPravikMenuItems* page, int id, int type, const QString& title, int parentId = -1, int left = 10)
{
    Item* item = QPravikSettingsPage::addMenuRow(page, id, type, title, left, 0, parentId);
    if (type != Item::SubMenu && type != Item::SectionHeader)
        item->setLocked(true);
    return item;
}

Item* addIndented(QPravikMenuItems* page, int id, int type, const QString& title)
{
    return addRow(page, id, type, title, -1, 60);
}

Item* addLink(QPravikMenuItems* page, int id, const QString& title, const QString& value, int parentId = -1)
{
    Item* item = addRow(page, id, Item::SubMenu, title, parentId);
    item->setValueTextColor(value, kGrey, false);
    return item;
}

// Hidden and shown only on a change, so an unchanged page is not laid out again.
void showRow(Item* item, bool show)
{
    if (item && item->isHidden() == show)
        item->setVisible(show);
}

void hideAndEmpty(Item* item)
{
    if (!item)
        return;
    showRow(item, false);
    item->setValueText(QString(), false);
}

void setText(Item* item, const QString& text, const QColor& colour = QColor())
{
    if (item)
        item->setValueTextColor(text, colour, false);
}

// A value with no choice keeps what the item showed before.
void selectKnown(Item* item, int value)
{
    if (item && item->indexOfValue(value, true) >= 0)
        item->setCurrentValue(value, true, true);
}

QString interfaceTitle(std::uint32_t code)
{
    return QPravikLocalize::interfaceName(int(code), frontPanelDevice()->deviceOptions());
}

QString interfaceTitle(const std::string& name)
{
    return interfaceTitle(interfaceCodeFromName(name));
}

int modeOfFlags(int flags)
{
    if (flags == 8 || flags == 64)
        return 2;
    return flags == 16 || flags == 32 ? 1 : 0;
}

QString unitValue(const std::map<std::string, std::string>& values, const char* key)
{
    const auto found = values.find(key);
    return found == values.end() || found->second.empty() ? tr("Not Available") : toQString(found->second);
}

struct CallLook
{
    QString text;
    QColor colour;
};

CallLook callLook(int status)
{
    using S = TComAudioConnection::Status;
    switch (status) {
    case S::AutoRedial:
        return {tr("Call redial pending..."), Qt::yellow};
    case S::Proceeding:
        return {tr("Call in progress..."), Qt::yellow};
    case S::Ringing:
        return {tr("Incoming call..."), Qt::yellow};
    case S::Active:
    case S::Negotiating:
        return {tr("Call in progress (%1)").arg(tr("negociating")), Qt::yellow};
    case S::WaitingForSync:
        return {tr("Call in progress (%1)").arg(tr("waiting for sync")), Qt::yellow};
    case S::Synchronised:
        return {tr("Call established (%1)").arg(tr("synchronized")), Qt::red};
    case S::SyncLost:
        return {tr("Call established (%1)").arg(tr("sync lost")), QColor(240, 101, 101)};
    case S::DisconnectedStatus:
        return {tr("Releasing call..."), QColor(234, 177, 102)};
    default:
        return {tr("Call released"), kGrey};
    }
}

// A direction without a report yet is left as it stands.
void showQuality(Item* item, int first, bool withSecond, int second)
{
    if (first < 0)
        return;
    showRow(item, true);
    setText(item, withSecond && second >= 0 ? QStringLiteral("%1% / %2%").arg(first).arg(second)
                                            : QStringLiteral("%1%").arg(first));
}

// The unit's figures are signed; a negative duration is shown as none.
QString durationText(int seconds)
{
    std::string text;
    formatDuration(std::uint64_t(std::max(seconds, 0)), text);
    return QString::fromStdString(text);
}

// In double: lost x 100 and total + lost do not fit an int for large counts.
QString lostPercent(int lost, int total, double divisor)
{
    const double percent = total < 1 || divisor < 1 ? 0.0 : double(lost) * 100.0 / divisor;
    return QString::number(percent, 'f', 2);
}

QString packetsText(int total, int lost, double divisor)
{
    return tr("Total: %1, Lost: %2 (%3%)").arg(total).arg(lost).arg(lostPercent(lost, total, divisor));
}

QString txPacketsText(const TComAudioConnection::TxStatistics& s)
{
    return packetsText(s.packetsTotal, s.packetsLost, double(s.packetsTotal));
}

QString rxPacketsText(const TComAudioConnection::RxStatistics& s)
{
    return packetsText(s.packetsTotal, s.packetsLost, double(s.packetsTotal) + double(s.packetsLost))
        + QLatin1Char('\n')
        + tr("Discarded: %1, Duplicated: %2, Reordered: %3")
              .arg(s.packetsDiscarded)
              .arg(s.packetsDuplicated)
              .arg(s.packetsReordered);
}

template <class Block>
QString jitterText(const Block& s)
{
    return tr("Average: %1 ms, Maximum: %2 ms").arg(s.jitterAverage).arg(s.jitterMaximum);
}

// Stream 1's text, and stream 2's on a line of its own when it is shown.
template <class Block, class Text>
QString streamsText(const Block& first, const Block& second, bool withSecond, Text text)
{
    return withSecond ? text(first) + QLatin1Char('\n') + text(second) : text(first);
}

// A failed read must not leave the texts of the interface shown before.
template <class Controller>
void attachFresh(Controller& controller, const std::string& network)
{
    controller.reset();
    controller.attach(network, 0, false);
}

} // namespace

// --- Status root -------------------------------------------------------------

void QPravikSettingsPage::createStatusMenu()
{
    auto* page = new QPravikMenuItems(StatusMenu, this);
    header->setRefreshVisible(true);
    TComDevice* device = frontPanelDevice();
    device->loadNetworks();
    const TComDevice::Interfaces interfaces = device->interfaces();

    addRow(page, -1, Item::SectionHeader, tr("Current State"));
    Item* mode = addIndented(page, ModeStatusItem, Item::ChoiceList, tr("Mode"));
    mode->addChoice(0, tr("Single Codec"));
    mode->addChoice(1, tr("Double Codec"));
    mode->addChoice(2, tr("Single Codec and Mobile Voice Coordination"));
    addIndented(page, Codec1StatusItem, Item::ReadOnly, QString());
    addIndented(page, Codec2StatusItem, Item::ReadOnly, QString());
    addLink(page, ConnectionsMenu, tr("Audio Connections"), tr("Status of the audio connections"));
    addLink(page, AoipStatusMenu, tr("AoIP Controller"), tr("Status of the AoIP controller"));

    const struct
    {
        std::uint32_t interfaceClass;
        int firstItem;
        int type;
    } lines[] = {{kEthClass, EthernetStatusItemFirst, Item::ReadOnly},
                {kMobileClass, MobileStatusMenuFirst, Item::SubMenu},
                {kWifiClass, WifiStatusItemFirst, Item::ReadOnly}};
    for (const auto& line : lines) {
        for (std::uint32_t n = 0; n < 4; ++n) {
            if (interfaces.count(line.interfaceClass + n))
                addRow(page, line.firstItem + int(n), line.type, interfaceTitle(line.interfaceClass + n));
        }
    }

    TCommand request(TCommand::Param);
    request.setParam("target", "general");
    for (const char* key : {"serialno", "version", "builddate"})
        request.addGet(key);
    std::map<std::string, std::string> values;
    std::map<std::string, std::string> errors;
    requestHelper.getParams(request, values, errors, kIdentityTimeoutMs);

    const std::string& aoipVersion = device->aoip().aoipVersion();
    const struct
    {
        int id;
        const char* title;
        QString value;
    } about[] = {
        {SerialNumberItem, QT_TR_NOOP("Serial Number"), unitValue(values, "serialno")},
        {FirmwareVersionItem, QT_TR_NOOP("Firmware Version"), unitValue(values, "version")},
        {AoipVersionItem, QT_TR_NOOP("AoIP Version"),
         aoipVersion.empty() ? tr("Not Available") : toQString(aoipVersion)},
        {SoftwareBuildItem, QT_TR_NOOP("Software Build"), unitValue(values, "builddate")},
    };
    addRow(page, -1, Item::SectionHeader, tr("About"));
    for (const auto& row : about)
        addIndented(page, row.id, Item::ReadOnly, tr(row.title))->setValueText(row.value, false);

    updateStatusMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateStatusMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    TComDevice* device = frontPanelDevice();
    const int flags = device->audioModeFlags();
    if (Item* mode = page->findItem(ModeStatusItem))
        mode->setCurrentValue(modeOfFlags(flags), true, true);
    const QString defaultNetwork = interfaceTitle(device->defaultNetwork());
    if (Item* codec1 = page->findItem(Codec1StatusItem)) {
        codec1->titleLabel->setText(tr("Codec 1 [ %1 ]").arg(defaultNetwork));
        codec1->setValueText(QPravikLocalize::codecDescription(device->codec1()), false);
    }
    if (Item* codec2 = page->findItem(Codec2StatusItem)) {
        if (device->codecMode() == 1) {
            codec2->titleLabel->setText(tr("Codec 2 [ %1 ]").arg(defaultNetwork));
            codec2->setValueText(QPravikLocalize::codecDescription(device->codec2()), false);
        } else if (flags == 8 || flags == 64) {
            codec2->titleLabel->setText(tr("Codec 2 [ %1 ]").arg(interfaceTitle(kMobileClass)));
            codec2->setValueText(QPravikLocalize::codecName(kGsmCodec), false);
        } else {
            codec2->titleLabel->setText(tr("Codec 2"));
            codec2->setValueText(tr("Not applicable in single codec mode"), false);
        }
    }
    if (Item* aoip = page->findItem(AoipStatusMenu)) {
        device->aoip().readParams({"audio_mode"});
        aoip->setValueTextColor(tr("Default Protocol is %1").arg(callProtocolLabel(device->aoip().audioMode())),
                                kGrey, false);
    }
    for (int n = 0; n < 4; ++n) {
        updateEthernetStatusText(page, EthernetStatusItemFirst + n);
        updateMobileStatusMenu(page, MobileStatusMenuFirst + n);
        updateWifiStatusText(page, WifiStatusItemFirst + n);
    }
}

// --- Audio connections and statistics -----------------------------------------

void QPravikSettingsPage::createConnectionsMenu()
{
    auto* page = new QPravikMenuItems(ConnectionsMenu, this);
    header->setRefreshVisible(true);
    for (int line = 1; line <= 2; ++line) {
        const int group = line == 1 ? Connection1Item : Connection2Item;
        Item* title = addRow(page, -1, Item::SectionHeader, tr("Connection %1").arg(line), group);
        title->gridLayout->setContentsMargins(10, line == 1 ? 0 : 10, 10, 0);
        addRow(page, CallStateItem, Item::ReadOnly, tr("State"), group);
        addRow(page, CallNetworkItem, Item::ReadOnly, tr("Network"), group);
        // What a call brings shows once the call is there.
        addRow(page, CallRemoteAddressItem, Item::ReadOnly, tr("Remote Address"), group)->setVisible(false);
        addRow(page, QualityHeaderItem, Item::SectionHeader, tr("Quality"), group)->setVisible(false);
        addRow(page, TransmissionQualityItem, Item::ReadOnly, tr("Transmission"), group)->setVisible(false);
        addRow(page, ReceptionQualityItem, Item::ReadOnly, tr("Reception"), group)->setVisible(false);
        addLink(page, DetailedStatisticsItem, tr("Detailed Statistics"), tr("Show detailed statistics"), group)
            ->setVisible(false);
        addLink(page, LatestAoipStatisticsItem, tr("Latest AoIP Statistics"),
                tr("Show detailed statistics of latest AoIP call"), group);
    }
    updateConnectionsMenu(page, 1);
    updateConnectionsMenu(page, 2);
    pushPage(page);
}

void QPravikSettingsPage::updateConnectionsMenu(QPravikMenuItems* page, int line)
{
    if (!page)
        return;
    TComDevice* device = frontPanelDevice();
    if (auto* connection = dynamic_cast<TComAudioConnection*>(device->findAudioConnection(line))) {
        updateConnectionMenu(page, connection);
        return;
    }
    const int group = line == 1 ? Connection1Item : Connection2Item;
    const auto row = [&](int id) { return page->findItemOfParent(id, group); };
    setText(row(CallStateItem), tr("Idle"), kGrey);
    const bool mobileLine = line == 2 && device->isDoubleStreamMode();
    setText(row(CallNetworkItem), mobileLine ? interfaceTitle(kMobileClass) : interfaceTitle(device->defaultNetwork()));
    for (int id : {CallRemoteAddressItem, TransmissionQualityItem, ReceptionQualityItem})
        hideAndEmpty(row(id));
    showRow(row(QualityHeaderItem), false);
    showRow(row(DetailedStatisticsItem), false);
    showRow(row(LatestAoipStatisticsItem), true);
}

void QPravikSettingsPage::updateConnectionMenu(QPravikMenuItems* page, TComAudioConnection* connection)
{
    if (!page || !connection)
        return;
    const int group = connection->kind() == TComBaseConnection::Line1 ? Connection1Item : Connection2Item;
    const auto row = [&](int id) { return page->findItemOfParent(id, group); };
    const int status = connection->status();
    const CallLook look = callLook(status);
    setText(row(CallStateItem), look.text, look.colour);

    const QString network = interfaceTitle(connection->network());
    if (status < TComAudioConnection::Calling || status > TComAudioConnection::DisconnectedStatus) {
        setText(row(CallNetworkItem), network);
        for (int id : {CallRemoteAddressItem, TransmissionQualityItem, ReceptionQualityItem})
            hideAndEmpty(row(id));
        showRow(row(QualityHeaderItem), false);
        showRow(row(DetailedStatisticsItem), false);
        showRow(row(LatestAoipStatisticsItem), true);
        return;
    }
    const CodecConfig& codec = connection->txCodec();
    setText(row(CallNetworkItem), codec.codec == -1 ? network
                                        : network + QLatin1Char('\n') + QPravikLocalize::codecDescription(codec));
    showRow(row(CallRemoteAddressItem), true);
    setText(row(CallRemoteAddressItem), toQString(connection->remoteAddress(1)));
    showRow(row(LatestAoipStatisticsItem), false);

    const auto& tx1 = connection->txStatistics(0);
    const auto& rx1 = connection->rxStatistics(0);
    if (connectionTransport(connection) != IpTransport || (tx1.netQuality < 0 && rx1.netQuality < 0))
        return;
    showRow(row(QualityHeaderItem), true);
    const bool twoStreams = connection->twoStreams();
    showQuality(row(TransmissionQualityItem), tx1.netQuality, twoStreams, connection->txStatistics(1).netQuality);
    showQuality(row(ReceptionQualityItem), rx1.netQuality, twoStreams, connection->rxStatistics(1).netQuality);
    showRow(row(DetailedStatisticsItem), true);
}

void QPravikSettingsPage::createStatisticsMenu(int menuId)
{
    auto* page = new QPravikMenuItems(menuId, this);
    const struct
    {
        int id;
        const char* title;
    } rows[] = {
        {TxDurationItem, QT_TR_NOOP("Tx Duration")}, {TxPacketsItem, QT_TR_NOOP("Tx Packets")},
        {TxJitterItem, QT_TR_NOOP("Tx Jitter")},     {RxDurationItem, QT_TR_NOOP("Rx Duration")},
        {RxPacketsItem, QT_TR_NOOP("Rx Packets")},   {RxJitterItem, QT_TR_NOOP("Rx Jitter")},
        {RxBufferItem, QT_TR_NOOP("Rx Buffer")},
    };
    for (const auto& row : rows)
        addRow(page, row.id, Item::ReadOnly, tr(row.title));
    updateStatisticsMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateStatisticsMenu(QPravikMenuItems* page)
{
    if (!page || (page->menuId != Statistics1Menu && page->menuId != Statistics2Menu))
        return;
    const auto& line = lineStatistics[page->menuId == Statistics1Menu ? 0 : 1];
    const auto& tx = line.tx;
    const auto& rx = line.rx;
    const bool tx2 = tx[1].netQuality >= 0;
    const bool rx2 = rx[1].netQuality > 0;
    const auto duration = [](const auto& s) { return durationText(s.duration); };
    const auto jitter = [](const auto& s) { return jitterText(s); };
    setText(page->findItem(TxDurationItem), streamsText(tx[0], tx[1], tx2, duration));
    setText(page->findItem(TxPacketsItem), streamsText(tx[0], tx[1], tx2, txPacketsText));
    setText(page->findItem(TxJitterItem), streamsText(tx[0], tx[1], tx2, jitter));
    setText(page->findItem(RxDurationItem), streamsText(rx[0], rx[1], rx2, duration));
    setText(page->findItem(RxPacketsItem), streamsText(rx[0], rx[1], rx2, rxPacketsText));
    setText(page->findItem(RxJitterItem), streamsText(rx[0], rx[1], rx2, jitter));
    QString buffer = tr("Latency: %1 ms").arg(rx[0].bufferCurrent);
    if (rx[0].bufferMark > 0)
        buffer += tr(", Initial: %1 ms").arg(rx[0].bufferMark);
    setText(page->findItem(RxBufferItem), buffer);
}

// --- AoIP controller and network interfaces ---------------------------------------

void QPravikSettingsPage::createAoipStatusMenu()
{
    auto* page = new QPravikMenuItems(AoipStatusMenu, this);
    header->setRefreshVisible(true);
    Item* protocol = addRow(page, ProtocolStatusItem, Item::ChoiceList, tr("Default Protocol"));
    for (int value : {0, 1})
        protocol->addChoice(value, callProtocolLabel(value));
    addRow(page, SipUser1StatusItem, Item::ReadOnly, tr("SIP User 1"));
    addRow(page, SipUser2StatusItem, Item::ReadOnly, tr("SIP User 2"));
    addRow(page, PublicIpStatusItem, Item::ReadOnly, tr("Public IP"));
    Item* nat = addRow(page, NatTypeStatusItem, Item::ChoiceList, tr("NAT Type"));
    for (int value = 0; value <= 8; ++value)
        nat->addChoice(value, natTypeLabel(value));
    updateAoipStatusMenu(page);
    pushPage(page);
}

void QPravikSettingsPage::updateAoipStatusMenu(QPravikMenuItems* page)
{
    if (!page)
        return;
    TComAoIPController& aoip = frontPanelDevice()->aoip();
    aoip.readParams({"audio_mode", "stun_nat_type", "public_addr", "sip_user", "sip_user2"});
    selectKnown(page->findItem(ProtocolStatusItem), aoip.audioMode());
    setText(page->findItem(SipUser1StatusItem), fromUnitUtf8(aoip.account1().user));
    setText(page->findItem(SipUser2StatusItem), fromUnitUtf8(aoip.account2().user));
    setText(page->findItem(PublicIpStatusItem), toQString(aoip.publicAddr()));
    selectKnown(page->findItem(NatTypeStatusItem), aoip.stunNatType());
}

void QPravikSettingsPage::updateEthernetStatusText(QPravikMenuItems* page, int itemId)
{
    Item* item = page ? page->findItem(itemId) : nullptr;
    if (!item)
        return;
    attachFresh(ethernetController, interfaceName(int(kEthClass) + itemId - EthernetStatusItemFirst));
    ethernetController.readParams({"mode", "local_addr", "link_mode_neg"});
    item->setValueText(QStringLiteral("%1 [ %2, %3 ]")
                           .arg(toQString(ethernetController.localAddr()), ipModeLabel(ethernetController.mode()),
                                linkModeLabel(ethernetController.linkModeNeg())),
                       false);
}

void QPravikSettingsPage::createMobileStatusMenu(int menuId)
{
    auto* page = new QPravikMenuItems(menuId, this);
    header->setRefreshVisible(true);
    addRow(page, RadioTechStatusItem, Item::ReadOnly, tr("Radio Access Technology"));
    addRow(page, OperatorStatusItem, Item::ReadOnly, tr("Operator"));
    addRow(page, SignalStatusItem, Item::ReadOnly, tr("Signal Strength"));
    addRow(page, DataServiceStatusItem, Item::ReadOnly, tr("Data Service"));
    updateMobileStatusMenu(page, menuId);
    pushPage(page);
}

void QPravikSettingsPage::updateMobileStatusMenu(QPravikMenuItems* page, int id)
{
    if (!page || id < MobileStatusMenuFirst || id > MobileStatusMenuLast)
        return;
    const std::string network = interfaceName(int(kMobileClass) + id - MobileStatusMenuFirst);
    if (page->menuId == id) {
        attachFresh(mobileController, network);
        mobileController.readParams({"operator_long", "technology", "signal_quality_dbm", "data_connection_state"});
        setText(page->findItem(RadioTechStatusItem), radioTechLabel(mobileController.technology()));
        setText(page->findItem(OperatorStatusItem), fromUtf8StdString(mobileController.operatorLong()));
        setText(page->findItem(SignalStatusItem), tr("%1 dBm").arg(mobileController.signalQuality()));
        setText(page->findItem(DataServiceStatusItem), connectionStateLabel(mobileController.dataConnectionState()));
        return;
    }
    Item* item = page->menuId == StatusMenu ? page->findItem(id) : nullptr;
    if (!item)
        return;
    attachFresh(mobileController, network);
    QString text;
    switch (mobileController.state()) {
    case TComController::SimMissing:
        text = tr("SIM Missing");
        break;
    case TComController::SimLocked:
        text = tr("SIM Locked");
        break;
    case TComController::PinRequired:
        text = tr("PIN Required");
        break;
    default:
        mobileController.readParams({"operator_long", "technology"});
        text = mobileController.technology() == -1
                   ? tr("Not Registered on the network")
                   : tr("Current network is %1 [ %2 ]")
                         .arg(radioTechLabel(mobileController.technology()),
                              fromUtf8StdString(mobileController.operatorLong()));
    }
    item->setValueTextColor(text, kGrey, false);
}

void QPravikSettingsPage::updateWifiStatusText(QPravikMenuItems* page, int itemId)
{
    Item* item = page ? page->findItem(itemId) : nullptr;
    if (!item)
        return;
    TComWifiController& wifi = wifiController;
    attachFresh(wifi, interfaceName(int(kWifiClass) + itemId - WifiStatusItemFirst));
    wifi.readParams({"ssid", "signal_quality_dbm", "local_addr", "data_connection", "data_connection_state"});
    const QString ssid = fromUnitUtf8(wifi.ssid());
    const QString signal = QString::number(wifi.signalQuality());
    QString text;
    if (ssid.isEmpty())
        text = tr("No network configured");
    else if (!wifi.dataConnection())
        text = QStringLiteral("%1 [ %2 ]").arg(ssid, accessStateLabel(wifi.dataConnectionState()));
    else if (!wifi.localAddr().empty())
        text = tr("%1 [ %2, %3 dBm ]").arg(ssid, toQString(wifi.localAddr()), signal);
    else
        text = tr("%1 [ %2, %3 dBm ]").arg(ssid, accessStateLabel(wifi.dataConnectionState()), signal);
    item->setValueText(text, false);
}
