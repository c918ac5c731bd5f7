#include "audio/taudiosettings.h"
#include "audio/tcomravennacontroller.h"
#include "link/tcommand.h"
#include "tests/support/simulatedunit.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {


QList<int> params(const QSignalSpy& spy)
{
    QList<int> out;
    for (const QList<QVariant>& args : spy)
        out.append(args.at(1).toInt());
    return out;
}

} // namespace

class AudioTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedUnit> sim;

private slots:
    void init()
    {
        sim = std::make_unique<SimulatedUnit>();
        QVERIFY(sim->start());
    }
    void cleanup() { sim.reset(); }

    void audioSetters()
    {
        TAudioSettings audio(&sim->com);
        QSignalSpy spy(&audio, &TAudioSettings::controllerParamChanged);
        sim->expect("PARAM;input1_power:48V;target:audio;");
        sim->expect("PARAM;input_source:digital;target:audio;");
        sim->expect("PARAM;drc_ratio_cmp:2.5;target:audio;");
        sim->expect("PARAM;input1_gain:7;target:audio;", "PARAM;input1_gain:105-invalid value;return:ERROR;");
        sim->expect("PARAM;aux_pair:on;target:audio;");
        QVERIFY(audio.setInput1Power(true, true) && audio.setInputSource(1, true) && audio.setDrcRatio(2.5f, true));
        QVERIFY(audio.setDrcRatio(2.5f, true));  // equal: nothing sent or announced
        QVERIFY(!audio.setInput1Gain(7, true));  // refused: kept, nothing announced
        QCOMPARE(audio.input1Gain(), 0);
        sim->expect("PARAM;drc_attack:3;target:audio;"), sim->expect("PARAM;input_source:analog;target:audio;");
        QVERIFY(audio.setDrcAttack(3, true) && audio.setInputSource(2, true) && audio.inputSource() == 0);
        QVERIFY(audio.setAudioProfile("talk", false)); // never announced
        {
            // A key the firmware does not take is refused, nothing stored or
            // announced; pairings go on any firmware.
            FirmwareWord fw(0x106FF);
            QVERIFY(!audio.setLineOutput2Level(5, true) && !audio.setWaveFile("/mnt/datax/sound_ID.wav", true));
            QVERIFY(audio.lineOutput2Level() != 5 && audio.waveFile().empty());
            QVERIFY(audio.setAuxPair(true, true));
        }
        QCOMPARE(params(spy), (QList<int>{1, 22, 28, 29, 22, 30}));
        QCOMPARE(sim->bodies().size(), 7);
    }

    void audioRepliesAndInfo()
    {
        TAudioSettings audio(nullptr);
        audio.setDrcAttack(1, false);
        audio.setLineOutputLevel(3, false);
        audio.setInput2Power(true, false);
        QVERIFY(audio.applyReply({{"drc_attack", "3"}, {"line_output_level", ""}, {"drc_ratio_cmp", ""},
                                  {"input1_power", "48V"}, {"input2_power", "on"}, {"input_source", "digital"},
                                  {"auxiliary_board", "yes"}, {"nonsense", "1"}}));
        QVERIFY(audio.drcAttack() == 0 && audio.lineOutputLevel() == 16 && audio.drcRatio() == 2.0f);
        QVERIFY(audio.input1Power() && !audio.input2Power() && audio.auxiliaryBoard() && audio.inputSource() == 1);

        QSignalSpy spy(&audio, &TAudioSettings::controllerParamChanged);
        TCommand info(TCommand::Info);
        info.setParam("info_type", "audio_changeset");
        QVERIFY(audio.handleInfo(info)); // the type alone changes nothing
        info.setParam("input4_gain", "-4");
        QVERIFY(audio.handleInfo(info));
        info.setParam("info_type", "config_changeset", TCommand::Replace);
        info.setParam("input4_gain", "9", TCommand::Replace);
        QVERIFY(!audio.handleInfo(info));
        QCOMPARE(params(spy), QList<int>{13});
        QVERIFY(!audio.writeParams({"input4_gain"}));
    }

    void audioLoadAndReset()
    {
        TAudioSettings audio(&sim->com);
        QSignalSpy spy(&audio, &TAudioSettings::controllerParamChanged);
        QSignalSpy states(&audio, &TComController::controllerStateChanged);
        const QByteArray sub = "DO;action:subscribe;info:audio_changeset;";
        const QByteArray unsub = "DO;action:unsubscribe;info:audio_changeset;";
        sim->unit.onRequestMatching(QRegularExpression("^PARAM;target:audio;GET:"),
                                    {UnitSimulator::reply("PARAM;auxiliary_board:yes;input1_gain:5;return:OK;")}, 2);
        sim->unit.onRequestMatching(QRegularExpression("subscribe"), {UnitSimulator::reply("DO;return:OK;")});
        QVERIFY(audio.load(true) && audio.load(true)); // a loaded model is reset first
        QCOMPARE(audio.input1Gain(), 5);
        audio.reset();
        QVERIFY(audio.input1Gain() == 0 && audio.auxiliaryBoard());
        QVERIFY(!audio.load(true)); // the read is refused now
        QVERIFY(audio.state() == -1 && spy.isEmpty());
        QCOMPARE(states.count(), 4); // ready, unloaded, ready, unloaded
        const QByteArray get = sim->bodies().at(0);
        QCOMPARE(sim->bodies(), (QByteArrayList{get, sub, unsub, get, sub, unsub, get}));
    }

    void ravennaReplies()
    {
        const struct {
            const char *key, *text;
            bool ok;
            int stream, id, sub, state1, state2;
            const char* name;
        } rows[] = {
            {"rav_stream_in3", "12/3/Studio", true, 3, 12, 3, -1, -1, "Studio"},
            {"rav_stream_in3", "12/3/", true, 3, 12, 3, -1, -1, ""},
            {"rav_stream_in3", "/3/x", false, 3, 0xFFFF, 0, -1, -1, "None"},
            {"rav_stream_in3", "12/3", false, 3, 0xFFFF, 0, -1, -1, "None"},
            {"rav_stream_in3", "12/255/x", true, 3, 12, 255, -1, -1, "x"},
            {"rav_stream_in3", "12/256/x", false, 3, 0xFFFF, 0, -1, -1, "None"},
            {"rav_stream_in3", "12/-1/x", false, 3, 0xFFFF, 0, -1, -1, "None"},
            {"rav_status_in1", "receiving,idle", true, 1, 0xFFFF, 0, 4, 1, "None"},
            {"rav_status_in1", "receiving", true, 1, 0xFFFF, 0, 4, 0, "None"},
            {"rav_status_in1", "x,idle", true, 1, 0xFFFF, 0, -1, 1, "None"},
            {"rav_status_in1", "idle,", true, 1, 0xFFFF, 0, 1, -1, "None"},
        };
        for (const auto& row : rows) {
            TComRavennaController ravenna(nullptr);
            QVERIFY2(ravenna.applyReply({{row.key, row.text}, {"rav_sample_rate", "96000"}}) == row.ok, row.text);
            const TComRavennaStream& s = ravenna.streamIn(row.stream);
            QVERIFY2(s.streamId == row.id && s.streamSubId == row.sub && s.state1 == row.state1
                         && s.state2 == row.state2 && s.name == row.name, row.text);
            QCOMPARE(ravenna.sampleRate(), 96000); // the rest of a malformed reply still counts
        }

        TComRavennaController ravenna(nullptr);
        ravenna.setDelayIn(100, false);
        QVERIFY(ravenna.applyReply({{"rav_if_count", "0"}, {"rav_ch_count_ou", ""}, {"rav_delay_in", ""},
                                    {"rav_vlan_id1", ""}, {"rav_lock_state", "locked"}}));
        QVERIFY(ravenna.ifCount() == 1 && ravenna.chCountOut() == 2 && ravenna.delayIn() == 100);
        QVERIFY(ravenna.iface(1).vlanId == 0 && ravenna.lockState() == 3);
    }

    void ravennaSendsAndWrites()
    {
        TComRavennaController ravenna(&sim->com);
        QVERIFY(ravenna.setIpAddress(0, "10.0.0.5", true)); // DHCP on: stored only
        sim->expect("PARAM;rav_dhcp:off;target:audio;");
        sim->expect("PARAM;rav_ip_addr:10.0.0.6;target:audio;");
        QVERIFY(ravenna.setDhcp(0, false, true) && ravenna.setIpAddress(0, "10.0.0.6", true));
        QVERIFY(ravenna.setIpAddress(0, "", true));      // empty: stored only
        QVERIFY(ravenna.setGateway(3, "10.0.0.1", true)); // interface 1 is still on DHCP
        QVERIFY(ravenna.applyReply({{"rav_dhcp1", "zeroconf"}}) && ravenna.setDhcp(1, true, false));
        QCOMPARE(ravenna.iface(1).dhcpMode, 2);           // zeroconf counts as on
        QVERIFY(ravenna.setMcPortOut(0, 0, true));        // port 0: stored only
        QVERIFY(ravenna.setDeviceName("Desk", false) && ravenna.setDeviceName("", true));
        sim->expect("PARAM;rav_sample_rate:96000;target:audio;", "PARAM;rav_sample_rate:105-invalid value;return:ERROR;");
        QVERIFY(!ravenna.setSampleRate(96000, true));
        QCOMPARE(ravenna.sampleRate(), 48000);
        QCOMPARE(sim->bodies().size(), 3);

        // writeParams sends empties, and addresses whatever the DHCP mode.
        sim->expect("PARAM;rav_device_name:;rav_dhcp1:on;rav_gateway1:10.0.0.1;rav_mc_port_ou:0;rav_net_mode:switch;"
                    "rav_stream_in2:65535/0/None;target:audio;");
        QVERIFY(ravenna.writeParams({"rav_mc_port_ou", "rav_gateway1", "rav_device_name", "rav_dhcp1",
                                     "rav_stream_in2", "rav_net_mode", "rav_lock_state", "x"}));
        QVERIFY(!ravenna.writeParams({"rav_lock_state", "rav_status_in0"}));
        QCOMPARE(sim->bodies().size(), 4);
    }

    void ravennaStreamsResetAndLists()
    {
        TComRavennaController ravenna(&sim->com);
        QSignalSpy states(&ravenna, &TComController::controllerStateChanged);
        QVERIFY(ravenna.load({})); // no keys: no request
        QVERIFY(!ravenna.setStreamIn(6, TComRavennaStream(), false) && !ravenna.setStreamIn(-1, TComRavennaStream(), false));
        sim->expect("PARAM;rav_stream_in2:5/1/Mix;target:audio;");
        QVERIFY(ravenna.applyReply({{"rav_status_in2", "receiving,idle"}, {"rav_status_in0", "idle,idle"},
                                    {"rav_manufacturer", "ACME"}, {"rav_sample_rate", "96000"}}));
        QVERIFY(ravenna.setStreamIn(2, {5, 1, 4, 4, "Mix"}, true));
        QVERIFY(ravenna.streamIn(2).state1 == -1 && ravenna.streamIn(2).state2 == -1);
        ravenna.reset(); // stream 0 already is the empty one: its states go all the same
        QVERIFY(ravenna.streamIn(0).state2 == -1 && ravenna.streamIn(2).name == "None");
        QVERIFY(ravenna.manufacturer() == "ACME" && ravenna.sampleRate() == 48000);
        QCOMPARE(states.count(), 2);

        sim->expect("PARAM;target:audio;LIST:rav_sample_rate;", "PARAM;rav_sample_rate:44100,48000;return:OK;");
        sim->expect("PARAM;target:audio;LIST:rav_stream_in;",
                    "PARAM;rav_stream_in:1/2/Studio \xE2\x80\x93 A,12/3,,/1/x,7/8/;return:OK;");
        std::vector<int> rates{1};
        QVERIFY(ravenna.refreshSampleRate(rates));
        QCOMPARE(rates, (std::vector<int>{44100, 48000}));
        std::vector<TComRavennaStream> streams(3);
        QVERIFY(ravenna.parseStreamIn(streams));
        QVERIFY(streams.size() == 2 && streams[1].streamSubId == 8);
        sim->expect("PARAM;rav_stream_in1:1/2/Studio \xE2\x80\x93 A;target:audio;"); // chosen: its name as it came
        QVERIFY(ravenna.setStreamIn(1, streams[0], true));
        QVERIFY(!ravenna.refreshResolution(rates) && rates.empty()); // refused
    }

};

QTEST_GUILESS_MAIN(AudioTest)
#include "tst_audio.moc"
