// The remote-access server's reply and its tunnel field: any reply is judged
// without harm, an account is granted only with a user, a password and a
// usable tunnel port, and the port always lies in the port range.

#include "fuzzcheck.h"

#include "app/remoteaccess.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

namespace {

const int kPortOffset = 31488;

// The tunnel field read plainly: alphanumerics upper-cased, anything else a
// separator; the last six remaining characters are hex digits, "0X" prefix
// allowed.
int expectedPort(const QString& text)
{
    QByteArray kept;
    int length = 0;
    for (QChar qc : text) {
        const char c = qc.unicode() < 0x80 ? char(qc.unicode()) : '?';
        ++length;
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))
            kept += c;
        else if (c >= 'a' && c <= 'z')
            kept += char(c - 32);
    }
    if (length < 6 || kept.size() < 6)
        return 0;
    QByteArray hex = kept.right(6);
    if (hex.startsWith("0X"))
        hex = hex.mid(2);
    int number = 0;
    for (char c : hex) {
        const int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (digit < 0)
            break;
        number = number * 16 + digit;
    }
    return number + kPortOffset <= 65535 ? number + kPortOffset : 0;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

QByteArray trimmed(const QByteArray& bytes)
{
    qsizetype begin = 0, end = bytes.size();
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
    return bytes.mid(begin, end - begin);
}

RemoteAccessOutcome expectedOutcome(const QByteArray& reply, RemoteAccount& account)
{
    const QByteArray text = trimmed(reply);
    const qsizetype firstBreak = text.indexOf('\n');
    if (firstBreak < 0)
        return RemoteAccessOutcome::InvalidResponse;
    if (!text.left(firstBreak).contains("200 OK"))
        return RemoteAccessOutcome::UnknownDevice;
    bool user = false, password = false, port = false;
    const QByteArray last = trimmed(text.mid(text.lastIndexOf('\n') + 1));
    qsizetype start = 0;
    while (start <= last.size()) {
        qsizetype end = last.indexOf('&', start);
        if (end < 0)
            end = last.size();
        const QString field = QUrl::fromPercentEncoding(last.mid(start, end - start));
        start = end + 1;
        if (field.startsWith(QLatin1String("u="))) {
            account.user = field.mid(2);
            user = true;
        } else if (field.startsWith(QLatin1String("p="))) {
            account.password = field.mid(2);
            password = true;
        } else if (field.startsWith(QLatin1String("m="))) {
            const int p = expectedPort(field.mid(2));
            if (p > 0) {
                account.tunnelPort = p;
                account.tunnelText = field.mid(2);
                port = true;
            }
        }
    }
    return user && password && port ? RemoteAccessOutcome::Authenticated
                                     : RemoteAccessOutcome::AuthenticationFailed;
}

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
        FUZZ_CHECK(port == expectedPort(field));
    }

    // The input as a whole reply.
    RemoteAccount account;
    const RemoteAccessOutcome outcome = parseRemoteAccessReply(bytes, account);
    RemoteAccount expected;
    FUZZ_CHECK(outcome == expectedOutcome(bytes, expected));
    FUZZ_CHECK(account.user == expected.user && account.password == expected.password);
    FUZZ_CHECK(account.tunnelPort == expected.tunnelPort && account.tunnelText == expected.tunnelText);
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
