// The session's synchronous call against the simulated unit on loopback,
// with link logging on and off, beside ping-pongs of the same bytes: raw
// blocking sockets (the physical limit), two QTcpSockets driven by the event
// loop in one thread (the floor for any call that waits in an event loop, as
// the session's does) and a QTcpSocket against the simulated unit (that floor
// with the unit's own work); and the gathering of a long LIST answered in
// many PROGRESS pieces, which must cost the same per item at any length.
#include "app/applicationsettings.h"
#include "app/logfile.h"
#include "bench/link/ratioreporter.h"
#include "link/ccom.h"
#include "tests/support/unitsimulator.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QLoggingCategory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>

// Every allocation of the process counted, for the allocations per call.
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* block, size_t size);
namespace {
std::atomic<long> g_allocations{0};
}
extern "C" void* malloc(size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(block, size);
}

namespace {

const QByteArray kRequestBody("PARAM;target:general;GET:device;GET:version;GET:builddate;");
const QByteArray kReplyBody("PARAM;builddate:2026-11-01;device:Velto;return:OK;version:1.14.2;");
constexpr int kItemsPerPiece = 50;
const int kListSizes[] = {500, 1000, 5000};

// --- link logging ---------------------------------------------------------

void dropHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

enum Logging { Off = 0, ToFile = 1, Dropped = 2 };

// Dropped: the link builds and masks its lines, the handler throws them
// away, which sets the link's own share apart from the handler's.
void setLinkLogging(int mode)
{
    if (mode != Off) {
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(mode == ToFile ? logMessageHandler : dropHandler);
    } else {
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
        qInstallMessageHandler(dropHandler);
    }
}

// --- the session under test --------------------------------------------------

std::string listRequestText(int count)
{
    return "PARAM;count:" + std::to_string(count) + ";target:general;LIST:items;";
}

struct Session
{
    UnitSimulator unit;
    zel::CCom com;
    bool up = false;

    Session()
    {
        unit.onRequest(kRequestBody, {UnitSimulator::reply(kReplyBody)});
        for (int count : kListSizes) {
            UnitSimulator::Actions pieces;
            for (int first = 0; first < count; first += kItemsPerPiece) {
                QByteArray items;
                for (int i = first; i < qMin(first + kItemsPerPiece, count); ++i)
                    items += (i == first ? "" : ",") + QByteArray("item") + QByteArray::number(i);
                const bool last = first + kItemsPerPiece >= count;
                pieces << UnitSimulator::reply("PARAM;return:" + QByteArray(last ? "OK" : "PROGRESS")
                                               + ";items:" + items + ";");
            }
            unit.onRequest(QByteArray::fromStdString(listRequestText(count)), pieces);
        }
        if (!unit.listen())
            return;
        com.connectToUnit(QStringLiteral("127.0.0.1"), unit.port(), 0);
        up = unit.waitUntil([this] { return com.state() == RpcConnection::ConnectedState; });
    }
};

Session* g_session = nullptr;

TCommand syncRequest()
{
    TCommand request;
    TCommand::parse(kRequestBody.toStdString(), request);
    return request;
}

void BM_SyncCall(benchmark::State& state)
{
    if (!g_session || !g_session->up) {
        state.SkipWithError("simulated unit not reachable");
        return;
    }
    setLinkLogging(int(state.range(0)));
    const TCommand request = syncRequest();
    TCommand reply;
    // The simulated unit's share is counted by BM_UnitPingPong.
    const long before = g_allocations.load();
    for (auto _ : state) {
        if (g_session->com.sendSyncMsg(request, reply, 0, 5000) != 0) {
            state.SkipWithError("call failed");
            break;
        }
    }
    state.counters["allocs/call"] = double(g_allocations.load() - before) / double(state.iterations());
    setLinkLogging(Off);
}

void BM_ListGather(benchmark::State& state)
{
    if (!g_session || !g_session->up) {
        state.SkipWithError("simulated unit not reachable");
        return;
    }
    setLinkLogging(Off);
    const int count = int(state.range(0));
    TCommand request;
    TCommand::parse(listRequestText(count), request);
    TCommand reply;
    for (auto _ : state) {
        if (g_session->com.sendSyncMsg(request, reply, 0, 30000) != 0) {
            state.SkipWithError("call failed");
            break;
        }
    }
    std::vector<std::string> items;
    splitEscaped(*reply.param("items"), items);
    if (int(items.size()) != count)
        state.SkipWithError("items lost while gathering");
    state.counters["items"] = count;
}

// --- the physical limit: blocking sockets, no framing, no event loop --------

bool readFully(int fd, char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::read(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool writeFully(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

void BM_RawPingPong(benchmark::State& state)
{
    const size_t requestSize = size_t(RpcMessage::HeaderSize + kRequestBody.size());
    const size_t replySize = size_t(RpcMessage::HeaderSize + kReplyBody.size());

    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0
        || ::listen(listener, 1) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        state.SkipWithError("no loopback socket");
        if (listener >= 0)
            ::close(listener);
        return;
    }
    // Both ends in this thread, as the simulated unit shares the session's
    // thread: the floor is the loopback system calls, not a thread hand-over.
    const int one = 1;
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    const int peer = ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0
                         ? ::accept(listener, nullptr, nullptr)
                         : -1;
    if (peer < 0) {
        state.SkipWithError("connect failed");
    } else {
        ::setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
        std::vector<char> request(requestSize, 'q'), reply(replySize, 'r');
        std::vector<char> peerIn(requestSize), clientIn(replySize);
        for (auto _ : state) {
            if (!writeFully(client, request.data(), request.size()) || !readFully(peer, peerIn.data(), peerIn.size())
                || !writeFully(peer, reply.data(), reply.size()) || !readFully(client, clientIn.data(), clientIn.size())) {
                state.SkipWithError("ping-pong failed");
                break;
            }
        }
        ::close(peer);
    }
    ::close(client);
    ::close(listener);
}

// --- the fair floor: both ends on QTcpSocket, one thread, the event loop ----

void BM_QtPingPong(benchmark::State& state)
{
    const QByteArray request(RpcMessage::HeaderSize + kRequestBody.size(), 'q');
    const QByteArray reply(RpcMessage::HeaderSize + kReplyBody.size(), 'r');
    QTcpServer server;
    QTcpSocket client;
    if (!server.listen(QHostAddress::LocalHost)) {
        state.SkipWithError("no loopback socket");
        return;
    }
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    if (!client.waitForConnected(5000) || !server.waitForNewConnection(5000)) {
        state.SkipWithError("connect failed");
        return;
    }
    QTcpSocket* peer = server.nextPendingConnection();
    qint64 peerIn = 0;
    qint64 clientIn = 0;
    // The peer answers as the simulated unit does: write, then flush.
    QObject::connect(peer, &QTcpSocket::readyRead, peer, [&] {
        peerIn += peer->skip(peer->bytesAvailable());
        if (peerIn >= request.size()) {
            peerIn -= request.size();
            peer->write(reply);
            peer->flush();
        }
    });
    QObject::connect(&client, &QTcpSocket::readyRead, &client,
                     [&] { clientIn += client.skip(client.bytesAvailable()); });
    // The client waits as a synchronous call does.
    for (auto _ : state) {
        client.write(request);
        client.flush();
        while (clientIn < reply.size()) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents
                                            | QEventLoop::WaitForMoreEvents);
        }
        clientIn -= reply.size();
    }
}

// The same client against the simulated unit: the floor with the unit's own
// work (decoding, matching, encoding its answer) that every call includes.
void BM_UnitPingPong(benchmark::State& state)
{
    if (!g_session || !g_session->up) {
        state.SkipWithError("simulated unit not reachable");
        return;
    }
    const QByteArray request = unitsim::encodeFrame(1, RpcMessage::Request, 0, kRequestBody);
    const qint64 replySize = RpcMessage::HeaderSize + kReplyBody.size();
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, g_session->unit.port());
    if (!client.waitForConnected(5000)) {
        state.SkipWithError("connect failed");
        return;
    }
    qint64 clientIn = 0;
    QObject::connect(&client, &QTcpSocket::readyRead, &client,
                     [&] { clientIn += client.skip(client.bytesAvailable()); });
    const long before = g_allocations.load();
    for (auto _ : state) {
        client.write(request);
        client.flush();
        while (clientIn < replySize) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents
                                            | QEventLoop::WaitForMoreEvents);
        }
        clientIn -= replySize;
    }
    state.counters["allocs/call"] = double(g_allocations.load() - before) / double(state.iterations());
}

} // namespace

BENCHMARK(BM_RawPingPong)->UseRealTime();
BENCHMARK(BM_QtPingPong)->UseRealTime();
BENCHMARK(BM_UnitPingPong)->UseRealTime();
BENCHMARK(BM_SyncCall)->ArgName("logging")->Arg(Off)->Arg(ToFile)->Arg(Dropped)->UseRealTime();
// Wall and CPU time: the simulated unit writes each piece without waiting
// for the acknowledgement of the one before.
BENCHMARK(BM_ListGather)->ArgName("items")->Arg(500)->Arg(1000)->Arg(5000);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    argv = initializeInterleaved(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    // The program's own log: its handler writing to its files, one line per
    // write, with the program's default limits.
    QTemporaryDir logDirectory;
    LogFile log(QStringLiteral("Kandelo"));
    const ApplicationSettings defaults;
    log.maxSize = LogFile::sizeLimit(defaults.logMaxSize);
    log.setMaxFiles(defaults.logMaxFiles);
    if (!logDirectory.isValid() || !log.setDirectory(logDirectory.path())) {
        std::fprintf(stderr, "no log file\n");
        return 1;
    }
    setMessageLog(&log);
    setLinkLogging(Off);

    RatioReporter reporter;
    {
        auto session = std::make_unique<Session>();
        g_session = session.get();
        benchmark::RunSpecifiedBenchmarks(&reporter);
        g_session = nullptr;
    }
    qInstallMessageHandler(nullptr);
    setMessageLog(nullptr);
    log.close();

    reporter.printHeading("Against the floor (QTcpSocket ping-pong of the same bytes, one thread, event loop):");
    reporter.ratio("synchronous call, link logging off", "BM_SyncCall/logging:0/real_time",
                   "BM_QtPingPong/real_time");
    reporter.ratio("synchronous call, link logging on", "BM_SyncCall/logging:1/real_time",
                   "BM_QtPingPong/real_time");
    reporter.ratio("synchronous call, lines built, dropped by the handler", "BM_SyncCall/logging:2/real_time",
                   "BM_QtPingPong/real_time");
    reporter.printHeading("Against the floor with the unit's own work (QTcpSocket client against the simulated unit):");
    reporter.ratio("synchronous call, link logging off", "BM_SyncCall/logging:0/real_time",
                   "BM_UnitPingPong/real_time");
    reporter.ratio("synchronous call, link logging on", "BM_SyncCall/logging:1/real_time",
                   "BM_UnitPingPong/real_time");
    reporter.printHeading("Against the limit (raw blocking TCP ping-pong of the same bytes on loopback):");
    reporter.ratio("QTcpSocket ping-pong", "BM_QtPingPong/real_time", "BM_RawPingPong/real_time");
    reporter.ratio("synchronous call, link logging off", "BM_SyncCall/logging:0/real_time",
                   "BM_RawPingPong/real_time");
    reporter.ratio("synchronous call, link logging on", "BM_SyncCall/logging:1/real_time",
                   "BM_RawPingPong/real_time");

    reporter.printHeading("LIST gathering in pieces of 50 items, unit and session together, cost per item\n"
                          "against the 500-item list (1.00 = linear), in CPU and in wall time:");
    for (bool cpu : {true, false}) {
        const double base = reporter.seconds("BM_ListGather/items:500", cpu);
        for (int count : kListSizes) {
            const double total = reporter.seconds("BM_ListGather/items:" + std::to_string(count), cpu);
            if (total < 0 || base <= 0) {
                std::printf("%5d items: (not run)\n", count);
                continue;
            }
            std::printf("%5d items, %-4s: %10.3f us per call, %8.3f us per item, ratio %6.2f\n", count,
                        cpu ? "CPU" : "wall", total * 1e6, total * 1e6 / count, (total / count) / (base / 500));
        }
    }
    reporter.printHeading("LIST gathering in wall time against a synchronous call of one piece (the stall\n"
                          "of a delayed acknowledgement would show as tens of milliseconds):");
    reporter.ratio("500 items in 10 pieces", "BM_ListGather/items:500", "BM_SyncCall/logging:0/real_time");
    benchmark::Shutdown();
    return 0;
}
