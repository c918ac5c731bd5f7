// Serves a simulated unit from a script file until killed, so that the panel
// can be tried without a unit:
//   unitsim-server --script FILE [--address 127.0.0.1] [--port 7001] [--delay MS] [--verbose]
// Prints "listening on <address>:<port>" on stdout once it accepts clients;
// --verbose prints on stderr each request as "request <body>", each one no
// block answered as "unanswered <body>", and "clients <count> connected" or
// "clients <count> none" when a client comes or goes (count: all so far).
// --delay makes every answer wait MS milliseconds first, as a distant unit's.
//
// The script, one statement a line, '#' starts a comment line:
//   on REGEX           a request whose body matches REGEX is answered by the
//                      steps below it; the first block that matches wins
//     reply BODY       a reply carrying the request's id
//     error CODE [BODY]  an error reply
//     signal BODY      an unsolicited message
//     delay MS         waits before the next step
//   every MS BODY      an unsolicited message sent every MS milliseconds
//   otherwise error CODE  the answer to a request no block matches
//                      (without it, "error 204")
#include "tests/support/unitsimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <optional>

namespace {

struct Script
{
    struct Block
    {
        QRegularExpression pattern;
        UnitSimulator::Actions actions;
    };
    QList<Block> blocks;
    QList<QPair<int, QByteArray>> periodic;
    UnitSimulator::Actions otherwise{UnitSimulator::errorReply(204)};
};

std::optional<int> number(const QByteArray& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 0 ? std::optional<int>(value) : std::nullopt;
}

// One step of a block; false for a line that is none.
bool parseStep(const QByteArray& word, const QByteArray& rest, UnitSimulator::Action* step)
{
    if (word == "reply" || word == "signal") {
        *step = word == "reply" ? UnitSimulator::reply(rest) : UnitSimulator::signal(rest);
        return !rest.isEmpty();
    }
    const int space = rest.indexOf(' ');
    const std::optional<int> value = number(space < 0 ? rest : rest.left(space));
    if (!value)
        return false;
    if (word == "delay" && space < 0)
        *step = UnitSimulator::delay(*value);
    else if (word == "error")
        *step = UnitSimulator::errorReply(*value, space < 0 ? QByteArray() : rest.mid(space + 1));
    else
        return false;
    return true;
}

bool parseScript(const QByteArray& text, Script* script, QString* why)
{
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const int space = line.indexOf(' ');
        const QByteArray word = space < 0 ? line : line.left(space);
        const QByteArray rest = space < 0 ? QByteArray() : line.mid(space + 1).trimmed();
        const auto fail = [&](const QString& reason) {
            *why = QStringLiteral("line %1: %2").arg(i + 1).arg(reason);
            return false;
        };
        if (word == "on") {
            QRegularExpression pattern(QString::fromLatin1(rest));
            if (rest.isEmpty() || !pattern.isValid())
                return fail(QStringLiteral("not a pattern: ") + QString::fromLatin1(rest));
            script->blocks.append({pattern, {}});
        } else if (word == "every") {
            const int gap = rest.indexOf(' ');
            const std::optional<int> ms = number(rest.left(gap));
            if (gap < 0 || !ms || *ms < 10)
                return fail(QStringLiteral("every needs a period of 10 ms or more and a body"));
            script->periodic.append({*ms, rest.mid(gap + 1).trimmed()});
        } else if (word == "otherwise") {
            UnitSimulator::Action step;
            const int gap = rest.indexOf(' ');
            if (!parseStep(rest.left(gap < 0 ? rest.size() : gap), gap < 0 ? QByteArray() : rest.mid(gap + 1), &step))
                return fail(QStringLiteral("not a step: ") + QString::fromLatin1(rest));
            script->otherwise = {step};
        } else {
            UnitSimulator::Action step;
            if (!parseStep(word, rest, &step))
                return fail(QStringLiteral("not a statement: ") + QString::fromLatin1(line));
            if (script->blocks.isEmpty())
                return fail(QStringLiteral("a step outside an on block"));
            script->blocks.last().actions.append(step);
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A simulated unit served from a script"));
    parser.addHelpOption();
    const QCommandLineOption scriptOption(QStringLiteral("script"), QStringLiteral("The script file."),
                                          QStringLiteral("file"));
    const QCommandLineOption addressOption(QStringLiteral("address"), QStringLiteral("Address to listen on."),
                                           QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port to listen on; 0 picks a free one."),
                                        QStringLiteral("port"), QStringLiteral("7001"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"), QStringLiteral("Print each request on stderr."));
    const QCommandLineOption delayOption(QStringLiteral("delay"), QStringLiteral("Milliseconds before each answer."),
                                         QStringLiteral("ms"), QStringLiteral("0"));
    parser.addOptions({scriptOption, addressOption, portOption, delayOption, verboseOption});
    parser.process(app);

    QTextStream err(stderr);
    QTextStream out(stdout);
    QFile file(parser.value(scriptOption));
    if (!parser.isSet(scriptOption) || !file.open(QIODevice::ReadOnly)) {
        err << "unitsim-server: cannot read the script " << file.fileName() << ": " << file.errorString() << Qt::endl;
        return 2;
    }
    Script script;
    QString why;
    if (!parseScript(file.readAll(), &script, &why)) {
        err << "unitsim-server: " << file.fileName() << ": " << why << Qt::endl;
        return 2;
    }

    const std::optional<int> delay = number(parser.value(delayOption).toLatin1());
    if (!delay) {
        err << "unitsim-server: bad delay" << Qt::endl;
        return 2;
    }
    if (*delay > 0) {
        for (Script::Block& block : script.blocks)
            block.actions.prepend(UnitSimulator::delay(*delay));
        script.otherwise.prepend(UnitSimulator::delay(*delay));
    }

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    const QHostAddress address(parser.value(addressOption));
    UnitSimulator unit;
    const bool verbose = parser.isSet(verboseOption);
    // The simulator lets later rules win: the file's first block goes in last.
    for (auto it = script.blocks.crbegin(); it != script.blocks.crend(); ++it)
        unit.onRequestMatching(it->pattern, it->actions);
    unit.setDefaultActions(script.otherwise);
    if (!portOk || port > 65535 || address.isNull()) {
        err << "unitsim-server: bad address or port" << Qt::endl;
        return 2;
    }
    if (!unit.listen(address, quint16(port))) {
        err << "unitsim-server: cannot listen on " << address.toString() << ":" << port << Qt::endl;
        return 1;
    }
    for (const auto& [ms, body] : std::as_const(script.periodic)) {
        auto* timer = new QTimer(&unit);
        QObject::connect(timer, &QTimer::timeout, &unit, [&unit, body = body] { unit.pushSignal(body); });
        timer->start(ms);
    }
    // The simulator keeps every frame it received: take them now and then,
    // to print them or to let them go.
    auto* printer = new QTimer(&unit);
    QObject::connect(printer, &QTimer::timeout, &unit, [&, seen = 0, held = false]() mutable {
        const QByteArrayList bodies = unit.takeRequestBodies();
        if (!verbose)
            return;
        // Connections first: a request cannot come before its client.
        if (unit.connectionCount() != seen || unit.hasClient() != held) {
            seen = unit.connectionCount();
            held = unit.hasClient();
            err << "clients " << seen << (held ? " connected" : " none") << Qt::endl;
        }
        for (const QByteArray& body : bodies) {
            bool answered = false;
            for (const Script::Block& block : std::as_const(script.blocks))
                answered = answered || block.pattern.match(QString::fromLatin1(body)).hasMatch();
            err << (answered ? "request " : "unanswered ") << QString::fromLatin1(body) << Qt::endl;
        }
    });
    printer->start(20);
    out << "listening on " << address.toString() << ":" << unit.port() << Qt::endl;
    return app.exec();
}
