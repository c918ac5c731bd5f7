#pragma once

// unitsim-server run as a child process, for tools and tests that want the
// unit as a separate peer that can be stopped and started again:
//   UnitSimProcess unit(serverPath, scriptPath);
//   if (!unit.start())            // port 0 picks a free port
//       qFatal("%s", qPrintable(unit.errorString()));
//   connectTo("127.0.0.1", unit.port());
//   unit.stop(); unit.start(unit.port());   // the unit goes away and comes back
//   unit.requests();                        // every request body it received

#include <QByteArrayList>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

class UnitSimProcess
{
public:
    UnitSimProcess(QString server, QString script) : server(std::move(server)), script(std::move(script)) {}
    ~UnitSimProcess() { stop(); }

    bool start(quint16 wanted = 0, int delayMs = 0)
    {
        stop();
        process.setProgram(server);
        // The server ends with the tool or test that started it, even one killed.
        process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process.setArguments({"--script", script, "--port", QString::number(wanted), "--delay",
                              QString::number(delayMs), "--verbose"});
        process.start();
        QByteArray line;
        const QDeadlineTimer deadline(10000);
        while (!line.endsWith('\n') && !deadline.hasExpired() && process.state() != QProcess::NotRunning) {
            if (process.waitForReadyRead(100))
                line += process.readAllStandardOutput();
        }
        const int colon = line.lastIndexOf(':');
        listening = line.startsWith("listening on ") ? quint16(line.mid(colon + 1).trimmed().toUInt()) : 0;
        if (!listening) {
            error = QStringLiteral("unitsim-server did not start: ") + QString::fromLocal8Bit(process.readAllStandardError());
            stop();
        }
        return listening != 0;
    }
    void stop()
    {
        if (process.state() != QProcess::NotRunning) {
            // The server prints what it received every 20 ms: let it finish.
            QThread::msleep(60);
            process.kill();
            process.waitForFinished(5000);
            collect();
        }
        pending.clear();
        listening = 0;
        clientHeld = false;
        clientCount = 0;
    }
    quint16 port() const { return listening; }
    QString errorString() const { return error; }

    // The request bodies received so far, over every run; the server prints
    // them a few milliseconds after they arrive.
    QByteArrayList requests()
    {
        collect();
        return received;
    }
    // Requests no block of the script answered.
    QByteArrayList unanswered()
    {
        collect();
        return missed;
    }
    // Clients accepted so far over this run, and whether one is connected.
    int connections()
    {
        collect();
        return clientCount;
    }
    bool hasClient()
    {
        collect();
        return clientHeld;
    }
    void clear()
    {
        collect();
        received.clear();
        missed.clear();
    }

private:
    void collect()
    {
        pending += process.readAllStandardError();
        const int end = pending.lastIndexOf('\n');
        if (end < 0)
            return;
        for (const QByteArray& line : pending.left(end).split('\n')) {
            if (line.startsWith("request "))
                received << line.mid(8);
            else if (line.startsWith("clients ")) {
                clientCount = line.split(' ').value(1).toInt();
                clientHeld = line.endsWith(" connected");
            } else if (line.startsWith("unanswered ")) {
                received << line.mid(11);
                missed << line.mid(11);
            }
        }
        pending.remove(0, end + 1);
    }

    QString server;
    QString script;
    QProcess process;
    quint16 listening = 0;
    QString error;
    QByteArray pending;
    int clientCount = 0;
    bool clientHeld = false;
    QByteArrayList received;
    QByteArrayList missed;
};
