// Serves a scripted unit on a given address and port until killed.
//   unitsim-server --script unit.txt [--address 127.0.0.1] [--port 7001] [--verbose]
// Prints "listening on <address>:<port>" on stdout once it accepts clients.
#include "tests/support/unitsimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Scripted unit simulator"));
    parser.addHelpOption();
    const QCommandLineOption scriptOption(QStringLiteral("script"),
                                          QStringLiteral("Script file; - reads standard input."),
                                          QStringLiteral("file"));
    const QCommandLineOption addressOption(QStringLiteral("address"),
                                           QStringLiteral("Address to listen on."),
                                           QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on; 0 picks a free one."),
                                        QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"),
                                           QStringLiteral("Print every received frame on stderr."));
    parser.addOptions({scriptOption, addressOption, portOption, verboseOption});
    parser.process(app);

    QTextStream err(stderr);
    QTextStream out(stdout);

    UnitSimulator unit;
    if (parser.isSet(scriptOption)) {
        QFile file;
        const QString name = parser.value(scriptOption);
        const bool opened = name == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                       : (file.setFileName(name), file.open(QIODevice::ReadOnly));
        if (!opened) {
            err << "unitsim-server: cannot read " << name << ": " << file.errorString() << Qt::endl;
            return 2;
        }
        QString why;
        if (!unit.loadScript(QString::fromLatin1(file.readAll()), &why)) {
            err << "unitsim-server: " << name << ": " << why << Qt::endl;
            return 2;
        }
    }

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    const QHostAddress address(parser.value(addressOption));
    if (!portOk || port > 65535 || address.isNull()) {
        err << "unitsim-server: bad address or port" << Qt::endl;
        return 2;
    }
    if (!unit.listen(address, quint16(port))) {
        err << "unitsim-server: cannot listen on " << address.toString() << ":" << port << Qt::endl;
        return 1;
    }
    if (parser.isSet(verboseOption)) {
        QObject::connect(&unit, &UnitSimulator::frameReceived, &unit, [&err](const SimFrame& f) {
            err << "received #" << f.connection << " id=" << f.id << " type=" << f.type
                << " error=" << f.errorCode << " body=" << QString::fromLatin1(f.body) << Qt::endl;
        });
    }
    out << "listening on " << unit.address().toString() << ":" << unit.port() << Qt::endl;
    return app.exec();
}
