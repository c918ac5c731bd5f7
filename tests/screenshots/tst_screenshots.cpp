#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

class TestScreenshots : public QObject
{
    Q_OBJECT

private slots:
    void everyPageAndMenuRendered()
    {
        QTemporaryDir out;
        QProcess tool;
        tool.setProcessChannelMode(QProcess::ForwardedChannels);
        tool.start(KANDELO_SCREENSHOTS, {"--out", out.path()});
        QVERIFY(tool.waitForFinished(90000));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
        const QStringList pages = {"login", "main", "connection", "audio", "audio-input", "audio-auxiliary",
                                   "audio-output", "headphone-1", "headphone-2", "headphone-3", "headphone-4",
                                   "menu-network", "menu-codec-1", "menu-audio", "menu-module", "menu-call-profiles",
                                   "menu-tools", "menu-status", "menu-connections"};
        for (const QString& page : pages) {
            const QImage image(out.filePath(page + ".png"));
            QVERIFY2(!image.isNull(), qPrintable(page));
            QCOMPARE(image.size(), QSize(800, 480));
            // Not blank: a page shows texts and controls, so many colours.
            QSet<QRgb> colours;
            for (int y = 0; y < image.height(); y += 2) {
                for (int x = 0; x < image.width(); x += 2)
                    colours.insert(image.pixel(x, y));
            }
            QVERIFY2(colours.size() > 8, qPrintable(QString("%1: %2 colours").arg(page).arg(colours.size())));
        }
    }
};

QTEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
