#include "tst_model.h"

#include "model/textconv.h"

#include <QTest>

namespace {
struct StreamRecord
{
    int streamId = 0xFFFF;
    int streamSubId = 0;
    int state1 = -1;
    std::string name = "None";
};
}

void TextConvTest::latin1Conversions()
{
    QCOMPARE(toStdString(QString()), std::string());
    QCOMPARE(toQString(std::string()), QString());
    QCOMPARE(toUtf8StdString(QString()), std::string());
    QCOMPARE(fromUtf8StdString(std::string()), QString());

    QCOMPARE(toStdString(QString(QChar(0xE9))), std::string("\xE9"));
    QCOMPARE(toStdString(QString(QChar(0x20AC))), std::string("?"));
    // Each half of a surrogate pair is one code unit, so one "?" each.
    QCOMPARE(toStdString(QString::fromUtf8("a\xF0\x9F\x8E\xB5" "b")), std::string("a??b"));

    const std::string withNul("a\0b", 3);
    const QString q = toQString(withNul);
    QCOMPARE(q.size(), 3);
    QCOMPARE(q.at(1).unicode(), char16_t(0));
    QCOMPARE(toStdString(q), withNul);

    const QString high = toQString("\xFF\x80");
    QCOMPARE(high.at(0).unicode(), char16_t(0xFF));
    QCOMPARE(high.at(1).unicode(), char16_t(0x80));
}

void TextConvTest::utf8Conversions_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("abc") << QString("abc");
    QTest::newRow("e-acute") << QByteArray("\xC3\xA9") << QString(QChar(0xE9));
    QTest::newRow("nbsp") << QByteArray("\xC2\xA0") << QString(QChar(0xA0));
    QTest::newRow("euro stays bytes") << QByteArray("\xE2\x82\xAC")
                                      << (QString(QChar(0xE2)) + QChar(0x82) + QChar(0xAC));
    QTest::newRow("lone lead at end") << QByteArray("x\xC3") << (QString("x") + QChar(0xC3));
    QTest::newRow("lead without continuation") << QByteArray("\xC3" "A") << (QString(QChar(0xC3)) + "A");
    QTest::newRow("stray continuation") << QByteArray("\xA9") << QString(QChar(0xA9));
}

void TextConvTest::utf8Conversions()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(fromUtf8StdString(bytes.toStdString()), text);
}

void TextConvTest::utf8RoundTrip()
{
    QCOMPARE(toUtf8StdString(QString(QChar(0xE9))), std::string("\xC3\xA9"));
    QCOMPARE(toUtf8StdString(QString(QChar(0x20AC))), std::string("?"));

    QString all;
    for (int c = 1; c <= 0xFF; ++c)
        all.append(QChar(c));
    const std::string utf8 = toUtf8StdString(all);
    QVERIFY(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())) == all); // well-formed UTF-8
    QCOMPARE(fromUtf8StdString(utf8), all);
}

void TextConvTest::slashTriple_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<QByteArray>("name");
    // Failures leave the record as it was: 0xFFFF, 0, "None".
    QTest::newRow("full") << QByteArray("12/3/Studio A") << true << 12 << 3 << QByteArray("Studio A");
    QTest::newRow("utf8 name") << QByteArray("1/2/Caf\xC3\xA9") << true << 1 << 2 << QByteArray("Caf\xE9");
    QTest::newRow("name with slash") << QByteArray("1/2/a/b") << true << 1 << 2 << QByteArray("a/b");
    QTest::newRow("ends after second slash") << QByteArray("4/5/") << true << 4 << 5 << QByteArray();
    QTest::newRow("one slash") << QByteArray("4/5") << true << 4 << 5 << QByteArray();
    QTest::newRow("bad numbers read as 0") << QByteArray("x/y/n") << true << 0 << 0 << QByteArray("n");
    QTest::newRow("empty") << QByteArray() << false << 0xFFFF << 0 << QByteArray("None");
    QTest::newRow("no slash") << QByteArray("12") << false << 0xFFFF << 0 << QByteArray("None");
    QTest::newRow("starts with slash") << QByteArray("/1/n") << false << 0xFFFF << 0 << QByteArray("None");
    QTest::newRow("ends after first slash") << QByteArray("1/") << false << 0xFFFF << 0 << QByteArray("None");
    QTest::newRow("empty middle") << QByteArray("1//n") << false << 0xFFFF << 0 << QByteArray("None");
}

void TextConvTest::slashTriple()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(QByteArray, name);

    StreamRecord record;
    record.state1 = 7;
    QCOMPARE(parseSlashTriple(record, text.toStdString()), ok);
    QCOMPARE(record.streamId, first);
    QCOMPARE(record.streamSubId, second);
    QCOMPARE(record.name, name.toStdString());
    QCOMPARE(record.state1, 7);
}
