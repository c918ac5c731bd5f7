// The remote-access server's reply and its tunnel field: any reply is judged
// without harm, an account is granted only with a user, a password and a
// usable tunnel port, and the port always lies in the port range.

#include "fuzzcheck.h"

#include "app/remoteaccess.h"

#include <QByteArray>
#include <QString>

namespace {

const int kPortOffset = 31488;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startQt("fuzz_remoteaccess");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    // The input as a tunnel field, in both the server's encodings.
    for (const QString& field : {QString::fromLatin1(bytes), QString::fromUtf8(bytes)}) {
        const int port = parseForwardPort(field);
        FUZZ_CHECK(port == 0 || (port >= kPortOffset && port <= 65535));
    }

    // The input as a whole reply.
    RemoteAccount account;
    const RemoteAccessOutcome outcome = parseRemoteAccessReply(bytes, account);
    if (outcome == RemoteAccessOutcome::Authenticated) {
        FUZZ_CHECK(account.tunnelPort >= kPortOffset && account.tunnelPort <= 65535);
        FUZZ_CHECK(parseForwardPort(account.tunnelText) == account.tunnelPort);
    }

    // Every port the server can mean is read back from its field.
    if (size >= 2) {
        const int number = (data[0] << 8 | data[1]) % (65536 - kPortOffset);
        const QString field = QStringLiteral("00:00:%1").arg(number, 6, 16, QLatin1Char('0'));
        FUZZ_CHECK(parseForwardPort(field) == number + kPortOffset);
    }
    return 0;
}
