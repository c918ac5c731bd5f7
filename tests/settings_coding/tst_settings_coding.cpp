#include "audio/tmatrixsettings.h"
#include "panel/kit/controls.h"
#include "panel/settings/settingsids.h"
#include "tests/support/settingsfixture.h"

#include <QGridLayout>
#include <QTest>

using namespace SettingsId;
using Replies = QList<QPair<const char*, QByteArray>>;

// The unit's options and state, its replies, the operator; then the items' texts and the unit's writes.
struct Row { const char* name; QByteArray options; std::function<void()> setup; Replies replies;
             std::function<void()> act; QList<int> ids; const char* shown; QByteArrayList writes; };

class SettingsCodingTest : public QObject
{
    Q_OBJECT
    SettingsFixture f;
    TComDevice* device = frontPanelDevice();
    TAudioSettings* audio = frontPanelAudioSettings();

    // Later rules win; a reply "" refuses once.
    void answer(const Replies& replies)
    {
        for (const auto& [pattern, body] : replies)
            f.unit.onRequestMatching(QRegularExpression(pattern), {body.isEmpty() ? UnitSimulator::errorReply(117)
                                     : UnitSimulator::reply("PARAM;" + body + "return:OK;")}, body.isEmpty() ? 1 : -1);
    }
    QPravikMenuItem* item(int id) { return f.page->currentItems() ? f.page->currentItems()->findItem(id) : nullptr; }
    void choose(int id, int value) { item(id)->setCurrentValue(value, true, true), f.page->itemChanged(item(id)); }
    void flip(int id) { item(id)->switchButton->click(); }
    // The line panels' coding keys open the codec menus through the window.
    void codec(int menuId) { f.window->pageActivated(menuId == Codec1Menu ? QPravik::PageCodec1Menu : QPravik::PageCodec2Menu); }
    void apply() { f.page->applyChanges(); }
    // Value texts (a link's title); '#' after a locked item, '>' after an indented one, '-' for a missing one.
    QString shown(const QList<int>& ids)
    {
        QStringList out;
        for (int id : ids)
            out << (!item(id) ? QStringLiteral("-")
                              : (item(id)->type == QPravikMenuItem::SubMenu ? item(id)->titleText() : item(id)->valueText())
                                    + (item(id)->locked ? "#" : "")
                                    + (item(id)->gridLayout->contentsMargins().left() == 60 ? ">" : ""));
        return out.join('|');
    }
    // What the unit was asked to write, without verb and target.
    QByteArrayList writes()
    {
        QByteArrayList out;
        for (const QByteArray& body : f.unit.takeRequestBodies())
            if (!body.contains("GET:") && !body.contains("LIST:"))
                out << body.left(body.indexOf(";target")).mid(body.indexOf(';') + 1);
        return out;
    }
    // Every row starts from single codec Opus mono, standard operation, no
    // call, and the audio values below.
    void run(std::initializer_list<Row> rows)
    {
        for (const Row& row : rows) {
            unitFirmwareVersion = 0xFFFFFF;
            QVERIFY(f.loadDevice("aoip,eth.0", row.options));
            device->removeAllConnections();
            device->setDualCodec(1, "OPUS/48000/mono/64000", false) && device->setOperationMode(0, false) && device->setAes67Reset(false, false);
            frontPanelMatrixSettings()->setState(TComController::Ready);
            device->setDualCodec(2, "OPUS/48000/stereo/128000", false) && frontPanelMatrixSettings()->setOptions(0x40000000, false);
            audio->applyReply({{"auxiliary_board", "yes"}, {"limiter_threshold", "-6"}, {"input_source", "digital"}, {"drc_state", "off"},
                               {"drc_lim_threshold", "-6"}, {"drc_threshold_cmp", "-9"}, {"drc_ratio_cmp", "2"}, {"drc_attack", "0"}});
            row.setup();
            answer(row.replies);
            f.unit.clearReceived();
            row.act();
            const QString seen = shown(row.ids);
            const QByteArrayList sent = writes();
            QVERIFY2(seen == row.shown && sent == row.writes, qPrintable(row.name + (": " + seen) + ' ' + sent.join(' ')));
            f.page->closePopup();
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(f.start());
        f.unit.setDefaultActions({UnitSimulator::reply("PARAM;return:OK;")});
        QVERIFY(frontPanelMatrixSettings()->load(false) && audio->load(false));
    }

    // The unit's lists drive the choices; what goes out on apply.
    void codecMenus()
    {
        const Replies lists = {{"LIST:alg", "alg:OPUS,G711,bogus;"},          {"LIST:mode", "mode:mono,stereo;"},
                               {"LIST:samplerate", "samplerate:48000,44100;"}, {"LIST:bitrate", "bitrate:64000,96000;"},
                               {"GET:relay", "relay:off;"}};
        const QList<int> ids = {AlgorithmItem, ChannelModeItem, SamplingRateItem, BitRateItem, RelayItem};
        const auto coding = [this](int mode, int coord, const char* codec1) {
            return [=] { device->setCodecMode(mode, false), device->setCoordMode(coord, false), device->setDualCodec(1, codec1, false); };
        };
        const auto changeAndApply = [this](int menuId) { return [=] { codec(menuId), choose(BitRateItem, 96000), apply(); }; };
        run({
            {"G.711 asks bit rates at 48000", "", coding(0, 0, "G711"),
             lists + Replies{{"alg:G711.*samplerate:48000.*LIST:bitrate", "bitrate:48000,56000;"}},
             [=] { codec(98); QVERIFY(!f.page->itemValue(item(BitRateItem))); }, ids, "G.711|Mono|8 kHz#|64 kbit/s|Disabled", {}},
            {"a rate not listed stays, relay unusable", "", coding(0, 0, "OPUS/32000/mono/64000"),
             lists + Replies{{"GET:relay", "relay:auto;"}}, changeAndApply(98), ids,
             "Opus|Mono|32 kHz|96 kbit/s|Not available#", {"codec:OPUS/32000/mono/96000"}},
            {"a bit rate not listed is shown, not sent", "", coding(0, 0, "OPUS/48000/mono/12000"), lists,
             [=] { codec(98); QVERIFY(!f.page->itemValue(item(BitRateItem)) && !f.page->header->modified); apply(); }, ids,
             "Opus|Mono|48 kHz|12 kbit/s|Disabled", {}},
            {"G.711 at an odd rate", "", coding(0, 0, "G711/32000/mono/64000"), lists, [=] { codec(98), apply(); }, ids,
             "G.711|Mono|32 kHz#|64 kbit/s|Disabled", {}},
            {"G.722 at 16000 reads as the fixed choice", "", coding(0, 0, "G722/16000/mono/64000"), lists + Replies{{"LIST:alg", "alg:G722,OPUS;"}},
             [=] { codec(98), apply(); }, ids, "G.722|Mono|16 kHz#|64 kbit/s|Disabled", {}},
            {"the relay alone", "", coding(0, 0, "OPUS/32000/mono/64000"), lists,
             [=] { codec(98), flip(RelayItem), apply(); QVERIFY(!f.page->header->modified); }, ids, "Opus|Mono|32 kHz|64 kbit/s|Disabled", {"relay:on"}},
            {"the relay outlives a later pick", "", coding(0, 0, "OPUS/48000/mono/64000"), lists,
             [=] { codec(98), flip(RelayItem), choose(BitRateItem, 96000), apply(); }, ids, "Opus|Mono|48 kHz|96 kbit/s|Disabled",
             {"codec:OPUS/48000/mono/96000", "relay:on"}},
            {"an algorithm picked brings listed values", "", coding(0, 0, "OPUS/32000/dmono/12000"), lists + Replies{{"LIST:alg", "alg:OPUS,AAC-lbr;"}},
             [=] { codec(98), apply(), choose(AlgorithmItem, 14), apply(); }, ids, "AAC LC|Mono|48 kHz|64 kbit/s|Disabled",
             {"codec:AAC-lbr/48000/mono/64000"}},
            {"mono only offered, stereo kept", "", coding(0, 1, "OPUS/48000/mono/64000"), lists, changeAndApply(99), ids,
             "Opus|Stereo#|48 kHz|96 kbit/s|-", {"dcodec_2:OPUS/48000/stereo/96000"}},
            {"double codec", "ip_dcodec", coding(1, 0, "OPUS/48000/mono/64000"), lists,
             [=] { codec(98), choose(ChannelModeItem, 2), apply(); }, ids, "Opus|Stereo|48 kHz|64 kbit/s|Disabled",
             {"dcodec_1:OPUS/48000/stereo/64000"}},
            {"refused coding sends no relay", "", coding(0, 0, "OPUS/48000/mono/64000"), lists + Replies{{"codec:", ""}},
             [=] { codec(98), choose(BitRateItem, 96000), flip(RelayItem), apply(); QVERIFY(f.page->header->modified); }, ids,
             "Opus|Mono|48 kHz|96 kbit/s|Active", {"codec:OPUS/48000/mono/96000"}},
            {"refused relay, the retry sends it alone", "", coding(0, 0, "OPUS/48000/mono/64000"), lists + Replies{{"relay:on", ""}},
             [=] { codec(98), choose(BitRateItem, 96000), flip(RelayItem); apply(); QVERIFY(f.page->header->modified); apply(); QVERIFY(!f.page->header->modified); },
             ids, "Opus|Mono|48 kHz|96 kbit/s|Disabled", {"codec:OPUS/48000/mono/96000", "relay:on", "relay:on"}},
            {"no coding on the unit, a rate alone cannot go", "", [this] { f.unit.onRequestMatching(QRegularExpression("GET:codec_mode"),
             {UnitSimulator::reply(QByteArray(SettingsFixture::kDeviceValues).replace("OPUS/48000/stereo/128000", ""))}, 1); QVERIFY(device->loadAudioSettings()); }, lists,
             [=] { codec(98), choose(BitRateItem, 96000), apply(); QVERIFY(f.page->header->modified && f.shownMessage() == "Failed to apply changes!"); },
             ids, "Invalid|Mono||96 kbit/s|Disabled", {}},
        });
    }

    void autoBitRate()
    {
        const Replies replies = {{"GET:abr", "abr_calls:on;abr_profile:Safe;abr_minbr:24000;abr_maxbr:64000;"}, {"abr_minbr:16000", ""},
                                 {"LIST:abr_minbr", "abr_minbr:16000,24000,32000;"}, {"LIST:abr_maxbr", "abr_maxbr:64000,128000;"}};
        const QList<int> ids = {AutoAdaptItem, AdaptPolicyItem, MinimumBitRateItem, MaximumBitRateItem};
        const auto open = [this] {
            f.openEntry(2), f.page->itemActivated(item(AutoBitRateMenu));
            QCOMPARE(f.unit.takeRequestBodies(), QByteArrayList({"PARAM;target:audio;GET:abr_calls;GET:abr_profile;GET:abr_minbr;"
                     "GET:abr_maxbr;", "PARAM;target:audio;LIST:abr_profile;", "PARAM;target:audio;LIST:abr_minbr;",
                     "PARAM;target:audio;LIST:abr_maxbr;"}));
        };
        run({
            {"refused write shows the kept value", "", [] {}, replies,
             [=] { open(); QCOMPARE(item(AdaptPolicyItem)->valueText(), QString("Standard")); choose(108, 16000), choose(107, 2); },
             ids, "Active|Punchy|24 kbit/s|64 kbit/s", {"abr_minbr:16000", "abr_profile:punchy"}},
            {"a call locks", "", [this] { QVERIFY(f.startCall(5, "audio", "eth.0")); }, replies, open, ids,
             "Active#|Standard#|24 kbit/s#|64 kbit/s#", {}},
        });
    }

    // Which Audio rows there are, which are locked, and what their writes do.
    void audioMenu()
    {
        const auto unit = [this](bool board, bool reset, std::uint32_t firmware) {
            return [=] { audio->applyReply({{"auxiliary_board", board ? "yes" : "no"}}), device->setAes67Reset(reset, false),
                         frontPanelRavenna()->setState(0), unitFirmwareVersion = firmware; };
        };
        const QList<int> rows = {InputFormatItem, KnobFunctionItem, OperationModeItem, Aes67StateItem, RavennaMenu};
        const auto open = [this] { f.openEntry(3); };
        const auto doubleStereo = [this] {
            device->setCodecMode(1, false), device->setOperationMode(1, false), device->setDualCodec(1, "OPUS/48000/stereo/256000", false);
        };
        const auto call = [this] { QVERIFY(f.startCall(5, "audio", "eth.0")); };
        const QByteArrayList toStandard = {"audio:dsp;operation_mode:standard", "audio:aic;operation_mode:standard",
                                           "network:aoip;operation_mode:standard", "action:reinit;network:aoip"};
        const QByteArray kind1 = "ravenna,hardware_1", kind4 = "ravenna,hardware_4";
        run({
            {"no auxiliary board", kind1, unit(false, false, 0x20000), {}, open, rows, "-|Side Tone|-|-|RAVENNA#", {}},
            {"AES67 section", kind1, unit(true, false, 0x20000), {}, open, rows, "Digital (AES 1/2)|Side Tone|Standard|Active>|RAVENNA>", {}},
            {"AES67 reset", kind1, unit(true, true, 0x20000), {}, open, rows, "Digital (AES 1/2)|Side Tone|Standard|Disabled>|RAVENNA#>", {}},
            {"1.12, DANTE", "ravenna,ravenna_2,hardware_4", unit(true, false, 0x10C05), {}, open, rows, "Digital (AES 1/2)|Side Tone|-|-|DANTE", {}},
            {"1.7", kind1, unit(true, false, 0x10705), {}, open, rows, "Digital (AES 1/2)|Side Tone#|-|-|RAVENNA", {}},
            {"hardware kind 0", "ravenna,hardware_0", unit(true, false, 0x20000), {}, open, rows, "-|Side Tone|-|-|RAVENNA", {}},
            {"limiter at the compressor lowers it first", kind4, [] {}, {}, [=] { open(), choose(118, -9); }, {119},
             "-10 dBFS>", {"drc_threshold_cmp:-10", "drc_lim_threshold:-9"}},
            {"compressor below a limiter of -30", kind4, [this] { audio->setDrcLimThreshold(-30, false); }, {},
             [=] { open(); QVERIFY(item(119)->choiceCount() == 10 && item(119)->choices.last().value == -31); }, {118},
             "-30 dBFS>", {}},
            {"compressor within the limiter's own range", kind4, [this] { audio->setDrcLimThreshold(20000, false); }, {},
             [=] { open(); QVERIFY(item(119)->choiceCount() == 38 && item(119)->choices.last().value == -3); }, {118, 119},
             "20000 dBFS>|-9 dBFS>", {}},
            {"a limiter of no choice stays when the wheel is let go", kind4, [this] { audio->setDrcLimThreshold(20000, false); }, {},
             [=] { open(); item(118)->wheel->setChecked(true), item(118)->wheel->setChecked(false); }, {118}, "20000 dBFS>", {}},
            {"ratios", kind4, [this] { audio->setDrcRatio(2.9999f, false); }, {},
             [=] { open(); QCOMPARE(item(120)->valueText(), QString("3:1")); choose(120, 15); }, {120}, "1.5:1>", {"drc_ratio_cmp:1.5"}},
            {"refused 110", kind4, [] {}, {{"limiter_thr", ""}}, [=] { open(), choose(110, -9); }, {110}, "-6 dBFS", {"limiter_threshold:-9"}},
            {"refused 111", kind4, [] {}, {{"input_source", ""}}, [=] { open(), flip(111); }, {111}, "Digital (AES 1/2)", {"input_source:analog"}},
            {"111 on a firmware without its key", kind4, [] { unitFirmwareVersion = 0x106FF; }, {}, [=] {
                 open(), flip(111); QCOMPARE(f.shownMessage(), QString()); }, {111}, "Digital (AES 1/2)#", {}},
            {"refused 112", kind4, [] {}, {{"matrix_opt", ""}}, [=] { open(), flip(112); }, {112}, "Side Tone", {"matrix_opt:60000000"}},
            {"refused 113", kind4, [] {}, {{"operation_mode", ""}}, [=] { open(), flip(113); }, {113}, "Standard", {"audio:dsp;operation_mode:extended"}},
            {"refused 117", kind4, [] {}, {{"drc_state", ""}}, [=] { open(), flip(117); }, {117}, "Disabled>", {"drc_state:on"}},
            {"refused 118", kind4, [] {}, {{"drc_lim", ""}}, [=] { open(), choose(118, -4); }, {118}, "-6 dBFS>", {"drc_lim_threshold:-4"}},
            {"refused 119", kind4, [] {}, {{"drc_thr", ""}}, [=] { open(), choose(119, -12); }, {119}, "-9 dBFS>", {"drc_threshold_cmp:-12"}},
            {"refused 120", kind4, [] {}, {{"drc_ratio", ""}}, [=] { open(), choose(120, 30); }, {120}, "2:1>", {"drc_ratio_cmp:3"}},
            {"refused 121", kind4, [] {}, {{"drc_attack", ""}}, [=] { open(), choose(121, 2); }, {121}, "Fast>", {"drc_attack:2"}},
            {"refused 122", kind4, [] {}, {{"aes67", ""}}, [=] { open(), choose(122, 0); }, {122}, "Active>", {"aes67_reset:on"}},
            {"AES67 on kind 4 during a call", kind4, call, {}, [=] { open(), choose(122, 0); }, {122}, "Active>", {}},
            {"Standard makes codec 1 mono first", kind4, doubleStereo, {{"mode:mono.*LIST:bitrate", "bitrate:64000,128000;"}},
             [=] { open(), flip(113); }, {113}, "Standard", QByteArrayList{"dcodec_1:OPUS/48000/mono/64000"} + toStandard},
            {"refused conversion", kind4, doubleStereo, {{"dcodec_1", ""}}, [=] { open(), flip(113); }, {113}, "Extended",
             {"dcodec_1:OPUS/48000/mono/64000"}},
            {"Standard during a call", kind4, [=] { doubleStereo(), call(); }, {}, [=] { open(), flip(113); }, {113}, "Extended", {}},
        });
    }

    // The options word holds the intercom bit (30) at the start of every row.
    void monitoring()
    {
        const auto open = [this] { f.openEntry(3), f.page->itemActivated(item(MonitoringMenu)); };
        const QList<int> ids = {SideToneItem, IntercomItem};
        const auto unloaded = [] { frontPanelMatrixSettings()->setState(TComController::Unloaded); };
        run({
            {"switched back", "", [] {}, {}, [=] { open(), flip(115), flip(115), apply(); }, ids, "Permanently available|Mute non-relevant signals", {}},
            {"a locked bit travels", "", [] { unitFirmwareVersion = 0x10505; }, {}, [=] { open(), flip(115), apply(); }, ids,
             "Only when routed to Program or Coord.|Mute non-relevant signals#", {"matrix_opt:C0000000"}},
            {"refused", "", [] {}, {{"matrix_opt", ""}}, [=] { open(), flip(115), flip(116), apply(); QVERIFY(f.page->header->modified); }, ids,
             "Permanently available|Mute non-relevant signals", {"matrix_opt:80000000"}},
            {"not applied, left behind", "", [] {}, {}, [=] { open(), flip(115), f.page->goBack(), flip(112); }, {112},
             "Mic Fader", {"matrix_opt:60000000"}},
            {"the knob's bit set meanwhile stays", "", [] {}, {}, [=] {
                 open(), flip(115);
                 QVERIFY(f.push("INFO;info_type:audio_changeset;info_source:aic;matrix_opt:60000000;", [] { return frontPanelMatrixSettings()->options() == 0x60000000; }));
                 apply(); QVERIFY(!f.page->header->modified); }, ids,
             "Only when routed to Program or Coord.|Mute non-relevant signals", {"matrix_opt:E0000000"}},
            {"the unit's side tone set meanwhile stays", "", [] {}, {}, [=] {
                 open(), flip(116);
                 QVERIFY(f.push("INFO;info_type:audio_changeset;info_source:aic;matrix_opt:C0000000;", [] { return frontPanelMatrixSettings()->options() == 0xC0000000; }));
                 // The switch left alone follows the unit; the one flipped stays the operator's.
                 QCOMPARE(shown(ids), QString("Only when routed to Program or Coord.|Fade non-relevant signals"));
                 QVERIFY(f.page->header->modified);
                 apply(); QVERIFY(!f.page->header->modified); }, ids,
             "Only when routed to Program or Coord.|Fade non-relevant signals", {"matrix_opt:80000000"}},
            {"flipped back after the unit took the same bit", "", [] { frontPanelMatrixSettings()->setOptions(0, false); }, {}, [=] {
                 f.openEntry(3), f.click({MonitoringMenu}), flip(116);
                 QVERIFY(f.push("INFO;info_type:audio_changeset;info_source:aic;matrix_opt:40000000;", [] { return frontPanelMatrixSettings()->options() == 0x40000000; }));
                 flip(116); QVERIFY(f.page->header->modified);
                 apply(); QVERIFY(!f.page->header->modified); }, ids,
             "Permanently available|Fade non-relevant signals", {"matrix_opt:00000000"}},
            {"matrix not loaded: nothing stored", "", unloaded, {}, [=] {
                 open(), flip(115), apply();
                 QVERIFY(f.page->header->modified && f.shownMessage() == "Failed to apply changes!" && frontPanelMatrixSettings()->options() == 0x40000000); },
             ids, "Only when routed to Program or Coord.|Mute non-relevant signals", {}},
            {"matrix not loaded: the knob goes back", "", unloaded, {}, [=] {
                 f.openEntry(3), flip(112); QVERIFY(f.shownMessage() == "Failed to apply changes!" && frontPanelMatrixSettings()->options() == 0x40000000); },
             {112}, "Side Tone", {}},
        });
    }
};

QTEST_MAIN(SettingsCodingTest)
#include "tst_settings_coding.moc"
