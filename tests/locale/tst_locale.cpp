#include <QtTest>

#include "link/valuetext.h"
#include "model/locale.h"

class LocaleTest : public QObject
{
    Q_OBJECT

private slots:
    void loader()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("test.locale"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("time:12:30:00\n\n \t \n# note:x\n  key   with\tblanks  :  spaced  text \nempty:\n"
                   "dup:first\ndup:second\nno colon\ncrlf:dos\r\naccent:caf\xC3\xA9\nlast:end");
        file.close();
        const TLocale locale(file.fileName());
        const TLocale missing(dir.filePath("absent.locale"));
        QCOMPARE(int(locale.entries().size()), 7);
        QVERIFY(missing.entries().empty());

        const char* const rows[][2] = {
            {"time", "12:30:00"}, {"key with blanks ", " spaced text"}, {"empty", ""}, {"dup", "first"},
            {"crlf", "dos"}, {"accent", "caf\xE9"}, {"last", "end"}, {"# note", "# note"}, {"no colon", "no colon"}};
        for (const auto& row : rows) {
            QCOMPARE(locale.text(row[0]), QString::fromLatin1(row[1]));
            QCOMPARE(missing.text(row[0]), QString::fromLatin1(row[0]));
        }
    }

    void embeddedTable()
    {
        const TLocale& locale = *frontPanelLocale();
        // Every cause the unit can report reads in words of its own.
        for (int number = 0; number <= 205; ++number) {
            const auto it = locale.entries().find(errorText(number));
            QVERIFY2(it != locale.entries().end() && !it->second.empty() && it->second != it->first,
                     errorText(number).c_str());
        }
        QCOMPARE(locale.causeText(122), QString("PIN required"));
        QCOMPARE(locale.causeText(50), QString("Unknown error"));
        QCOMPARE(locale.causeText(-3), QString("Unknown error"));
    }

    void displayNames()
    {
        using L = QPravikLocalize;
        const unsigned modems = L::InternalModems, dnt = L::DntPortNames;
        const std::pair<QString, const char*> rows[] = {
            {L::interfaceName(0x100, 0), "Ethernet"}, {L::interfaceName(0x101, 0), "Ethernet (aux)"},
            {L::interfaceName(0x102, 0), "Ethernet (ext 1)"}, {L::interfaceName(0x203, 0), "ISDN"},
            {L::interfaceName(0x300, 0), "Mobile"}, {L::interfaceName(0x301, 0), "Mobile (ext 1)"},
            {L::interfaceName(0x300, modems), "Mobile (int 1)"}, {L::interfaceName(0x301, modems), "Mobile (int 2)"},
            {L::interfaceName(0x302, modems), "Mobile (ext 1)"}, {L::interfaceName(0x401, 0), "Wi-Fi (ext 2)"},
            {L::interfaceName(0, 0), "Invalid"}, {L::interfaceName(0xFFFF, 0), "Invalid"},
            {L::interfaceName(0x1100, 0), "Invalid"}, {L::interfaceName(-1, 0), "Invalid"},
            {L::codecName(0), "G.711 A-Law"}, {L::codecName(17), "Mobile Voice"}, {L::codecName(18), "Phone"},
            {L::codecName(28), "AAC ELD"}, {L::codecName(29), "Invalid"}, {L::codecName(-1), "Invalid"},
            {L::channelModeName(3), "J-Stereo"}, {L::channelModeName(4), "Invalid"},
            {L::audioPortName(0, dnt), "INPUT 1"}, {L::audioPortName(9, 0), "RAV. 1"},
            {L::audioPortName(9, dnt), "DNT. 1"}, {L::audioPortName(18, dnt), "DNT. 6"},
            {L::audioPortName(12, 0), "PROGRAM\nRETURN"}, {L::audioPortName(29, 0), "SIDE\nTONE"},
            {L::audioPortName(17, 0), "Invalid"}, {L::audioPortName(30, 0), "Invalid"},
            {L::audioPortName(-1, 0), "Invalid"},
            {L::codecDescription({14, 48000, 2, 128000, -1}), "AAC LC 48kHz Stereo 128kbit/s"},
            {L::codecDescription({3, 48000, 2, 64000, 5}), "G.722"},
            {L::codecDescription({19, 44100, 0, 64500, -1}), "Opus 44kHz Mono 64500bit/s"},
            {L::codecDescription({19, -1, 9, -1, -1}), "Opus Invalid"},
            {L::codecDescription({8, 48000, 3, 256000, -1}), "MPEG L2 J.52 48kHz J-Stereo 256kbit/s FEC:-1"},
            {L::codecDescription({9, 48000, 2, 128000, 0}), "MPEG L2 48kHz Stereo 128kbit/s FEC:0"},
            {L::codecDescription({9, 48000, 2, 128000, -1}), "MPEG L2 48kHz Stereo 128kbit/s"},
            {L::codecDescription({13, 16000, 0, 24000, 2}), "Celp 16kHz Mono 24kbit/s FEC:P2"},
            {L::codecDescription({13, 16000, 0, 24000, -1}), "Celp"},
            {L::codecDescription({40, 48000, 2, 128000, -1}), "Invalid"}};
        for (const auto& [shown, name] : rows)
            QCOMPARE(shown, QString(name));
    }
};


QTEST_GUILESS_MAIN(LocaleTest)
#include "tst_locale.moc"
