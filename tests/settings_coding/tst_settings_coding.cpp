#include "audio/taudiosettings.h"
#include "audio/tcomravennacontroller.h"
#include "audio/tmatrixsettings.h"
#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "model/tcomdevice.h"
#include "panel/kit/controls.h"
#include "panel/settings/qpraviksettingspage.h"
#include "tests/support/firmwareword.h"
#include "tests/support/unitsimulator.h"

#include <QGridLayout>
#include <QTest>

#include <functional>

namespace {

using Sim = UnitSimulator;
using Replies = QList<QPair<const char*, QByteArray>>;

struct Call : TComBaseConnection
{
    explicit Call(int kind) : TComBaseConnection(nullptr, kind) { m_id = 40 + kind, m_network = "eth.0"; }
    bool handleEvent(const TCommand&) override { return false; }
};

} // namespace

class SettingsCodingTest : public QObject
{
    Q_OBJECT
    UnitSimulator unit;
    TComDevice* device = frontPanelDevice();
    TAudioSettings* audio = frontPanelAudioSettings();
    TMatrixSettings* matrix = frontPanelMatrixSettings();
    QPravikSettingsPage page;

    // Later rules win; a reply "" refuses once; requests no rule takes are accepted.
    void answer(const Replies& replies)
    {
        for (const auto& [pattern, body] : replies)
            unit.onRequestMatching(QRegularExpression(pattern),
                                   {body.isEmpty() ? Sim::errorReply(117) : Sim::reply("PARAM;" + body + "return:OK;")},
                                   body.isEmpty() ? 1 : -1);
    }
    void setUnit(const QByteArray& options, int codecMode, const char* codec1, int coord = 0)
    {
        unit.clearRules();
        answer({{"LIST:device_opts", "device_opts:" + options + ";"}});
        device->loadDeviceOptions();
        device->removeAllConnections();
        device->setCodecMode(codecMode, false) && device->setCoordMode(coord, false);
        device->setOperationMode(0, false) && device->setDualCodec(1, codec1, false);
        device->setDualCodec(2, "OPUS/48000/stereo/128000", false);
        unit.clearRules();
        unit.clearReceived();
    }
    QPravikMenuItem* item(int id) { return page.currentItems() ? page.currentItems()->findItem(id) : nullptr; }
    void choose(int id, int value)
    {
        item(id)->setCurrentValue(value, true, true);
        page.itemChanged(item(id));
    }
    void flip(int id) { item(id)->switchButton->click(); }
    // Value texts, '#' after a locked item, '-' for a missing one.
    QString shown(std::initializer_list<int> ids)
    {
        QStringList out;
        for (int id : ids)
            out << (item(id) ? item(id)->valueText() + (item(id)->locked ? "#" : "") : "-");
        return out.join('|');
    }
    QByteArrayList writes()
    {
        QByteArrayList out;
        for (const QByteArray& body : unit.takeRequestBodies())
            if (!body.contains("GET:") && !body.contains("LIST:"))
                out << body.left(body.indexOf(";target")).mid(body.indexOf(';') + 1);
        return out;
    }

private slots:
    void initTestCase()
    {
        currentAccessLevel = AdministratorLevel;
        unit.setDefaultActions({Sim::reply("PARAM;return:OK;")});
        answer({{"GET:", "default_network:eth.0;secondary_network:;aoip_version:2.1;sip_state:;sip_state2:;jitterab:on;mode:dhcp;"
                         "cable:yes;codec_mode:cmode_normal;coord_mode:disabled;codec:;dcodec_1:;dcodec_2:;"
                         "operation_mode:standard;aes67_reset:off;"},
                {"LIST:network;", "network:aoip,eth.0;"}});
        QVERIFY(unit.listen() && frontPanelCom()->connectToUnit("127.0.0.1", unit.port(), 0));
        QVERIFY(unit.waitUntil([] { return frontPanelCom()->state() == RpcConnection::ConnectedState; }));
        QVERIFY(device->refresh() && matrix->load(false) && audio->load(false));
    }

    // The unit's lists drive the choices; what goes out on apply.
    void codecMenus()
    {
        const Replies lists = {{"LIST:alg", "alg:OPUS,G711,bogus;"},
                               {"LIST:mode", "mode:mono,stereo;"},
                               {"LIST:samplerate", "samplerate:48000,44100;"},
                               {"LIST:bitrate", "bitrate:64000,96000;"},
                               {"GET:relay", "relay:off;"}};
        const auto apply = [this] { page.applyChanges(); };
        const auto changeAndApply = [&] { choose(104, 96000), apply(); };
        const struct
        {
            const char* name;
            int codecMode, coord, target;
            const char* codec1;
            Replies replies;
            std::function<void()> act;
            const char* shown;
            QByteArrayList writes;
            bool modified;
        } rows[] = {
            {"G.711 asks bit rates at 48000", 0, 0, 14, "G711", {{"alg:G711.*samplerate:48000.*LIST:bitrate", "bitrate:48000,56000;"}},
             [] {}, "G.711|Mono|8 kHz#|48 kbit/s|Disabled", {}, false},
            {"32000 becomes the first listed, relay unusable", 0, 0, 14, "OPUS/32000/mono/64000", {{"GET:relay", "relay:auto;"}},
             changeAndApply, "Opus|Mono|48 kHz|96 kbit/s|Not available#", {"codec:OPUS/48000/mono/96000"}, false},
            {"mono only offered, stereo kept", 0, 1, 15, "OPUS/48000/mono/64000", {}, changeAndApply,
             "Opus|Stereo#|48 kHz|96 kbit/s|-", {"dcodec_2:OPUS/48000/stereo/96000"}, false},
            {"double codec", 1, 0, 14, "OPUS/48000/mono/64000", {}, [&] { choose(102, 2), apply(); },
             "Opus|Stereo|48 kHz|64 kbit/s|Disabled", {"dcodec_1:OPUS/48000/stereo/64000"}, false},
            {"refused coding sends no relay", 0, 0, 14, "OPUS/48000/mono/64000", {{"codec:", ""}},
             [&] { choose(104, 96000), flip(105), apply(); }, "Opus|Mono|48 kHz|96 kbit/s|Active",
             {"codec:OPUS/48000/mono/96000"}, true},
            {"refused relay, the retry sends it alone", 0, 0, 14, "OPUS/48000/mono/64000", {{"relay:on", ""}},
             [&] {
                 choose(104, 96000), flip(105), apply();
                 QVERIFY(page.header->modified);
                 apply();
             },
             "Opus|Mono|48 kHz|96 kbit/s|Disabled", {"codec:OPUS/48000/mono/96000", "relay:on", "relay:on"}, false},
        };
        for (const auto& row : rows) {
            setUnit("ip_dcodec", row.codecMode, row.codec1, row.coord);
            answer(lists + row.replies);
            QVERIFY(page.openEntry(2, row.target));
            row.act();
            QCOMPARE(shown({101, 102, 103, 104, 105}), QString::fromLatin1(row.shown));
            QVERIFY2(writes() == row.writes && page.header->modified == row.modified, row.name);
            page.closePopup();
        }
    }

    void autoBitRate()
    {
        for (bool call : {false, true}) {
            setUnit("ip_dcodec", 0, "OPUS/48000/mono/64000");
            if (call)
                device->addConnection(new Call(0));
            answer({{"GET:abr", "abr_calls:on;abr_profile:Safe;abr_minbr:24000;abr_maxbr:64000;"},
                    {"LIST:abr_minbr", "abr_minbr:16000,24000,32000;"},
                    {"LIST:abr_maxbr", "abr_maxbr:64000,128000;"}});
            QVERIFY(page.openEntry(2, -1));
            page.itemActivated(item(100));
            QCOMPARE(unit.takeRequestBodies(),
                     QByteArrayList({"PARAM;target:audio;GET:abr_calls;GET:abr_profile;GET:abr_minbr;GET:abr_maxbr;",
                                     "PARAM;target:audio;LIST:abr_profile;", "PARAM;target:audio;LIST:abr_minbr;",
                                     "PARAM;target:audio;LIST:abr_maxbr;"}));
            QCOMPARE(shown({106, 107, 108, 109}), QString(call ? "Active#|Standard#|24 kbit/s#|64 kbit/s#"
                                                       : "Active|Standard|24 kbit/s|64 kbit/s"));
        }
        answer({{"abr_minbr:16000", ""}});
        choose(108, 16000);
        choose(107, 2);
        QCOMPARE(shown({107, 108}), QString("Punchy#|24 kbit/s#"));
        QCOMPARE(writes(), QByteArrayList({"abr_minbr:16000", "abr_profile:punchy"}));
    }

    // Which rows the Audio menu has and which are locked.
    void audioRows()
    {
        const struct
        {
            const char* options;
            bool board, reset;
            std::uint32_t firmware;
            const char* shown;
            const char* module;
        } rows[] = {
            {"ravenna,hardware_1", false, false, 0x20000, "-|Side Tone|-|-|Configure the RAVENNA interface#", "RAVENNA 10"},
            {"ravenna,hardware_1", true, false, 0x20000, "Digital (AES 1/2)|Side Tone|Standard|Active|Configure the RAVENNA interface", "RAVENNA 60"},
            {"ravenna,hardware_1", true, true, 0x20000, "Digital (AES 1/2)|Side Tone|Standard|Disabled|Configure the RAVENNA interface#", "RAVENNA 60"},
            {"ravenna,ravenna_2,hardware_4", true, false, 0x10C05, "Digital (AES 1/2)|Side Tone|-|-|Configure the DANTE interface", "DANTE 10"},
            {"ravenna,hardware_1", true, false, 0x10705, "Digital (AES 1/2)|Side Tone#|-|-|Configure the RAVENNA interface", "RAVENNA 10"},
            {"ravenna,hardware_0", true, false, 0x20000, "-|Side Tone|-|-|Configure the RAVENNA interface", "RAVENNA 10"},
        };
        frontPanelRavenna()->setState(0);
        for (const auto& row : rows) {
            setUnit(row.options, 0, "OPUS/48000/mono/64000");
            FirmwareWord firmware(row.firmware);
            audio->applyReply({{"auxiliary_board", row.board ? "yes" : "no"}, {"input_source", "digital"}});
            device->setAes67Reset(row.reset, false);
            QVERIFY(page.openEntry(3, -1));
            QCOMPARE(shown({111, 112, 113, 122, 123}), QString::fromLatin1(row.shown));
            QCOMPARE(item(123)->titleText() + ' ' + QString::number(item(123)->gridLayout->contentsMargins().left()),
                     QString::fromLatin1(row.module));
        }
    }

    // Immediate Audio items: what goes out, and what the item shows before and after.
    void audioWrites()
    {
        const auto doubleStereo = [this] {
            device->setCodecMode(1, false), device->setOperationMode(1, false);
            device->setDualCodec(1, "OPUS/48000/stereo/256000", false);
        };
        const auto call = [this] { device->addConnection(new Call(0)); };
        const struct
        {
            const char* name;
            std::function<void()> setup;
            Replies replies;
            std::function<void()> act;
            int id;
            const char *before, *after;
            QByteArrayList writes;
        } rows[] = {
            {"limiter at the compressor lowers it first", [] {}, {}, [&] { choose(118, -9); }, 119, "-9 dBFS", "-10 dBFS",
             {"drc_threshold_cmp:-10", "drc_lim_threshold:-9"}},
            {"compressor below a limiter of -30", [&] { audio->setDrcLimThreshold(-30, false); }, {},
             [&] { QVERIFY(item(119)->choiceCount() == 10 && item(119)->choices.last().value == -31); }, 118,
             "-30 dBFS", "-30 dBFS", {}},
            {"ratios", [&] { audio->setDrcRatio(2.9999f, false); }, {}, [&] { choose(120, 15); }, 120, "3:1", "1.5:1",
             {"drc_ratio_cmp:1.5"}},
            {"refused 110", [] {}, {{"limiter_thr", ""}}, [&] { choose(110, -9); }, 110, "-6 dBFS", "-6 dBFS", {"limiter_threshold:-9"}},
            {"refused 111", [] {}, {{"input_source", ""}}, [&] { flip(111); }, 111, "Digital (AES 1/2)", "Digital (AES 1/2)", {"input_source:analog"}},
            {"refused 112", [] {}, {{"matrix_opt", ""}}, [&] { flip(112); }, 112, "Side Tone", "Side Tone", {"matrix_opt:20000000"}},
            {"refused 113", [] {}, {{"operation_mode", ""}}, [&] { flip(113); }, 113, "Standard", "Standard", {"audio:dsp;operation_mode:extended"}},
            {"refused 117", [] {}, {{"drc_state", ""}}, [&] { flip(117); }, 117, "Disabled", "Disabled", {"drc_state:on"}},
            {"refused 118", [] {}, {{"drc_lim", ""}}, [&] { choose(118, -4); }, 118, "-6 dBFS", "-6 dBFS", {"drc_lim_threshold:-4"}},
            {"refused 119", [] {}, {{"drc_thr", ""}}, [&] { choose(119, -12); }, 119, "-9 dBFS", "-9 dBFS", {"drc_threshold_cmp:-12"}},
            {"refused 120", [] {}, {{"drc_ratio", ""}}, [&] { choose(120, 30); }, 120, "2:1", "2:1", {"drc_ratio_cmp:3"}},
            {"refused 121", [] {}, {{"drc_attack", ""}}, [&] { choose(121, 2); }, 121, "Fast", "Fast", {"drc_attack:2"}},
            {"refused 122", [] {}, {{"aes67", ""}}, [&] { choose(122, 0); }, 122, "Active", "Active", {"aes67_reset:on"}},
            {"AES67 on kind 4 during a call", call, {}, [&] { choose(122, 0); }, 122, "Active", "Active", {}},
            {"Standard makes codec 1 mono first", doubleStereo, {{"mode:mono.*LIST:bitrate", "bitrate:64000,128000;"}},
             [&] { flip(113); }, 113, "Extended", "Standard",
             {"dcodec_1:OPUS/48000/mono/64000", "audio:dsp;operation_mode:standard", "audio:aic;operation_mode:standard",
              "network:aoip;operation_mode:standard", "action:reinit;network:aoip"}},
            {"refused conversion", doubleStereo, {{"dcodec_1", ""}}, [&] { flip(113); }, 113, "Extended", "Extended",
             {"dcodec_1:OPUS/48000/mono/64000"}},
            {"Standard during a call", [&] { doubleStereo(), call(); }, {}, [&] { flip(113); }, 113, "Extended", "Extended", {}},
        };
        for (const auto& row : rows) {
            setUnit("ravenna,hardware_4", 0, "OPUS/48000/mono/64000");
            audio->applyReply({{"auxiliary_board", "yes"}, {"limiter_threshold", "-6"}, {"input_source", "digital"},
                               {"drc_state", "off"}, {"drc_lim_threshold", "-6"}, {"drc_threshold_cmp", "-9"},
                               {"drc_ratio_cmp", "2.0"}, {"drc_attack", "0"}});
            matrix->setOptions(0, false) && device->setAes67Reset(false, false);
            row.setup();
            answer(row.replies);
            QVERIFY(page.openEntry(3, -1));
            QCOMPARE(item(row.id)->valueText(), QString::fromLatin1(row.before));
            row.act();
            QVERIFY2(item(row.id)->valueText() == QLatin1String(row.after), row.name);
            { auto w = writes(); QVERIFY2(w == row.writes, qPrintable(row.name + QString(": ") + QString(w.join(' ')))); }
            page.closePopup();
        }
    }

    void monitoring()
    {
        const auto apply = [this] { page.applyChanges(); };
        const struct
        {
            const char* name;
            std::uint32_t firmware;
            Replies replies;
            std::function<void()> act;
            const char* shown;
            QByteArrayList writes;
        } rows[] = {
            {"switched back", 0x20000, {}, [&] { flip(115), flip(115), apply(); }, "Permanently available|Mute non-relevant signals", {}},
            {"a locked bit travels", 0x10505, {}, [&] { flip(115), apply(); },
             "Only when routed to Program or Coord.|Mute non-relevant signals#", {"matrix_opt:C0000000"}},
            {"refused", 0x20000, {{"matrix_opt", ""}}, [&] { flip(115), flip(116), apply(); },
             "Permanently available|Mute non-relevant signals", {"matrix_opt:80000000"}},
            {"not applied, left behind", 0x20000, {}, [&] { flip(115), page.goBack(), flip(112); }, "-|-", {"matrix_opt:60000000"}},
        };
        for (const auto& row : rows) {
            setUnit("ravenna,hardware_1", 0, "OPUS/48000/mono/64000");
            FirmwareWord firmware(row.firmware);
            matrix->setOptions(0x40000000, false);
            answer(row.replies);
            QVERIFY(page.openEntry(3, -1));
            page.itemActivated(item(114));
            row.act();
            QCOMPARE(shown({115, 116}), QString::fromLatin1(row.shown));
            QVERIFY2(writes() == row.writes, row.name);
            page.closePopup();
        }
    }
};

QTEST_MAIN(SettingsCodingTest)
#include "tst_settings_coding.moc"
