// What --listen and --listen-auth-file accept, the users an auth file lets
// in, and the check of each request head before Qt HttpServer parses it.

#include "http/credentials.h"
#include "http/listen_options.h"
#include "http/request_head_filter.h"
#include "support/test_suite.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace tst_http_options {

using namespace quadtherm;

namespace {

QByteArray basic(const QByteArray& userAndPassword) {
    return "Basic " + userAndPassword.toBase64();
}

// `text` in a file of `dir` with the permission bits `mode`.
QString fileWith(const QTemporaryDir& dir, const QByteArray& text, QFile::Permissions mode) {
    const QString path = dir.filePath(QStringLiteral("users"));
    QFile file(path);
    file.remove();
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(text);
    file.close();
    file.setPermissions(mode);
    return path;
}

const QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

} // namespace

class TestHttpOptions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listenAddressesReadAsTheUserMeansThem_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address"); // empty: refused
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("beyond");
        QTest::newRow("a port alone is the loopback") << "8080"
                                                      << "127.0.0.1" << 8080 << false;
        QTest::newRow("any free port") << "0"
                                       << "127.0.0.1" << 0 << false;
        QTest::newRow("every IPv4 address") << "0.0.0.0:8080"
                                            << "0.0.0.0" << 8080 << true;
        QTest::newRow("one of this computer's") << "192.168.1.20:9100"
                                                << "192.168.1.20" << 9100 << true;
        QTest::newRow("IPv6 loopback") << "[::1]:8080"
                                       << "::1" << 8080 << false;
        QTest::newRow("every IPv6 address") << "[::]:80"
                                            << "::" << 80 << true;
        QTest::newRow("localhost") << "localhost:65535"
                                   << "127.0.0.1" << 65535 << false;
        QTest::newRow("leading zeros") << "127.0.0.1:0080"
                                       << "127.0.0.1" << 80 << false;
        QTest::newRow("nothing") << ""
                                 << "" << 0 << false;
        QTest::newRow("past the last port") << "65536"
                                            << "" << 0 << false;
        QTest::newRow("a sign") << "+8080"
                                << "" << 0 << false;
        QTest::newRow("a space") << "8080 "
                                 << "" << 0 << false;
        QTest::newRow("a host name") << "meter.example:80"
                                     << "" << 0 << false;
        QTest::newRow("IPv6 without brackets") << "::1:80"
                                               << "" << 0 << false;
        QTest::newRow("no address before the colon") << ":8080"
                                                     << "" << 0 << false;
        QTest::newRow("no port after it") << "127.0.0.1:"
                                          << "" << 0 << false;
        QTest::newRow("brackets without a colon") << "[::1]8080"
                                                  << "" << 0 << false;
        QTest::newRow("a scope") << "[fe80::1%eth0]:80"
                                 << "" << 0 << false;
    }
    void listenAddressesReadAsTheUserMeansThem() {
        QFETCH(QString, text);
        QFETCH(QString, address);
        QString error;
        const auto where = http::parseListenAddress(text, &error);
        QCOMPARE(where.has_value(), !address.isEmpty());
        if (!where) {
            QVERIFY2(error.startsWith(QStringLiteral("--listen ") + text + u':'),
                     qPrintable(error));
            return;
        }
        QCOMPARE(where->address, QHostAddress(address));
        QTEST(int(where->port), "port");
        QTEST(http::listensBeyondThisComputer(where->address), "beyond");
    }

    void theListenOptionsAreTakenOutOfACommandsArguments() {
        QStringList args{"--count", "3", "--listen-auth-file", "users", "--listen", "9000"};
        QString error;
        const auto listen = http::takeListenOptions(args, &error);
        QVERIFY(listen.has_value());
        QCOMPARE(args, (QStringList{"--count", "3"}));
        QCOMPARE(listen->where.port, quint16(9000));
        QCOMPARE(listen->authFile, QStringLiteral("users"));
        QVERIFY(error.isEmpty());

        QStringList none{"--out", "run.4ch"};
        QVERIFY(!http::takeListenOptions(none, &error).has_value());
        QVERIFY(error.isEmpty());
        QCOMPARE(none.size(), 2);

        const auto refused = [](QStringList bad) {
            QString why;
            return http::takeListenOptions(bad, &why) ? QString() : why;
        };
        QCOMPARE(refused({"--count", "3", "--listen"}), QStringLiteral("--listen needs a value"));
        QCOMPARE(refused({"--listen-auth-file", "users"}),
                 QStringLiteral("--listen-auth-file needs --listen"));
        QVERIFY(refused({"--listen", "http://x"}).startsWith(QStringLiteral("--listen http://x:")));
    }

    void anAuthFileMustBeItsOwnersAlone_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("rw-------") << int(kOwnerOnly) << true;
        QTest::newRow("r--------") << int(QFile::ReadOwner) << true;
        QTest::newRow("rw-r-----") << int(kOwnerOnly | QFile::ReadGroup) << false;
        QTest::newRow("rw--w----") << int(kOwnerOnly | QFile::WriteGroup) << false;
        QTest::newRow("rw----r--") << int(kOwnerOnly | QFile::ReadOther) << false;
        QTest::newRow("rw-----w-") << int(kOwnerOnly | QFile::WriteOther) << false;
    }
    void anAuthFileMustBeItsOwnersAlone() {
        QFETCH(int, mode);
        QFETCH(bool, accepted);
        QTemporaryDir dir;
        const QString path = fileWith(dir, "ann:secret\n", QFile::Permissions(mode));
        QString error;
        QCOMPARE(http::Credentials::load(path, &error).has_value(), accepted);
        if (!accepted)
            QVERIFY2(error.contains(QStringLiteral("chmod 600 ") + path), qPrintable(error));
    }

    void anAuthFileHoldsUserPasswordLines_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("users"); // 0: refused
        QTest::addColumn<QString>("why");
        QTest::newRow("two users, a comment, a blank line, CRLF")
            << QByteArray("# who may look\r\nann:secret\r\n\r\nbob:pa:ss\r\n") << 2 << "";
        QTest::newRow("only comments")
            << QByteArray("# nobody\n\n") << 0 << "no user:password line";
        QTest::newRow("a line without a colon")
            << QByteArray("ann:secret\nbob\n") << 0 << "line 2 is not user:password";
        QTest::newRow("no user before the colon")
            << QByteArray(":secret\n") << 0 << "line 1 is not user:password";
        QTest::newRow("too large") << QByteArray(70 * 1024, 'a') << 0 << "larger than 65536 bytes";
    }
    void anAuthFileHoldsUserPasswordLines() {
        QFETCH(QByteArray, text);
        QFETCH(int, users);
        QFETCH(QString, why);
        QTemporaryDir dir;
        QString error;
        const auto credentials = http::Credentials::load(fileWith(dir, text, kOwnerOnly), &error);
        QCOMPARE(credentials ? int(credentials->users()) : 0, users);
        QVERIFY2(why.isEmpty() ? error.isEmpty() : error.endsWith(why), qPrintable(error));
    }

    void anAuthFileMustBeAFile() {
        QTemporaryDir dir;
        QString error;
        QVERIFY(!http::Credentials::load(dir.path(), &error));
        QVERIFY2(error.endsWith(QStringLiteral("not a regular file")), qPrintable(error));
        QVERIFY(!http::Credentials::load(dir.filePath(QStringLiteral("missing")), &error));
        QVERIFY2(error.endsWith(QStringLiteral("No such file or directory")), qPrintable(error));
    }

    void onlyAUsersOwnPasswordLetsThemIn_data() {
        QTest::addColumn<QByteArray>("authorization");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("right") << basic("ann:secret") << true;
        QTest::newRow("the second user, a colon in the password") << basic("bob:pa:ss") << true;
        QTest::newRow("the scheme in lower case")
            << "basic " + QByteArray("ann:secret").toBase64() << true;
        QTest::newRow("wrong password") << basic("ann:secreT") << false;
        QTest::newRow("a password cut short") << basic("ann:secre") << false;
        QTest::newRow("a password too long") << basic("ann:secret2") << false;
        QTest::newRow("another user's password") << basic("bob:secret") << false;
        QTest::newRow("no password") << basic("ann") << false;
        QTest::newRow("nothing") << QByteArray() << false;
        QTest::newRow("another scheme") << "Bearer " + QByteArray("ann:secret").toBase64() << false;
        QTest::newRow("not base64") << QByteArray("Basic ann:secret") << false;
    }
    void onlyAUsersOwnPasswordLetsThemIn() {
        QFETCH(QByteArray, authorization);
        QTemporaryDir dir;
        QString error;
        const auto credentials =
            http::Credentials::load(fileWith(dir, "ann:secret\nbob:pa:ss\n", kOwnerOnly), &error);
        QVERIFY2(credentials, qPrintable(error));
        QTEST(credentials->accepts(authorization), "accepted");
    }

    void requestHeadsAreCheckedBeforeTheParser_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("heads");
        QTest::addColumn<int>("refusal");
        const QByteArray get = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        QTest::newRow("GET") << get << 1 << 0;
        QTest::newRow("HEAD with a query")
            << QByteArray("HEAD /api/live?at=10%3A00&x=~1 HTTP/1.0\r\n\r\n") << 1 << 0;
        QTest::newRow("bare line feeds") << QByteArray("GET / HTTP/1.1\nHost: x\n\n") << 1 << 0;
        QTest::newRow("empty lines before it") << "\r\n\r\n" + get << 1 << 0;
        QTest::newRow("two, back to back") << get + get << 2 << 0;
        QTest::newRow("the first half") << get.left(20) << 0 << 0;
        QTest::newRow("a body of nothing")
            << QByteArray("GET / HTTP/1.1\r\nContent-Length: 00\r\n\r\n") << 1 << 0;
        QTest::newRow("POST") << QByteArray("POST /metrics HTTP/1.1\r\n\r\n") << 0 << 405;
        QTest::newRow("PUT") << QByteArray("PUT / HTTP/1.1\r\n\r\n") << 0 << 405;
        QTest::newRow("a method of its own") << QByteArray("BREW / HTTP/1.1\r\n\r\n") << 0 << 405;
        QTest::newRow("not a method") << QByteArray("G@T / HTTP/1.1\r\n\r\n") << 0 << 400;
        QTest::newRow("OPTIONS *") << QByteArray("OPTIONS * HTTP/1.1\r\n\r\n") << 0 << 400;
        QTest::newRow("a space in the target")
            << QByteArray("GET /a b HTTP/1.1\r\n\r\n") << 0 << 400;
        QTest::newRow("an absolute target")
            << QByteArray("GET http://x/ HTTP/1.1\r\n\r\n") << 0 << 400;
        QTest::newRow("a quote in the target")
            << QByteArray("GET /\"x HTTP/1.1\r\n\r\n") << 0 << 400;
        QTest::newRow("UTF-8 in the target")
            << QByteArray("GET /caf\xc3\xa9 HTTP/1.1\r\n\r\n") << 0 << 400;
        QTest::newRow("HTTP/2") << QByteArray("GET / HTTP/2.0\r\n\r\n") << 0 << 400;
        QTest::newRow("a space after the version")
            << QByteArray("GET / HTTP/1.1 \r\n\r\n") << 0 << 400;
        QTest::newRow("a lone carriage return")
            << QByteArray("GET / HTTP/1.1\rX\r\n\r\n") << 0 << 400;
        QTest::newRow("a header without a colon")
            << QByteArray("GET / HTTP/1.1\r\nHost\r\n\r\n") << 0 << 400;
        QTest::newRow("a space before the colon")
            << QByteArray("GET / HTTP/1.1\r\nHost : x\r\n\r\n") << 0 << 400;
        QTest::newRow("a folded header")
            << QByteArray("GET / HTTP/1.1\r\nX-A: 1\r\n 2\r\n\r\n") << 0 << 400;
        QTest::newRow("a control byte in a value")
            << QByteArray("GET / HTTP/1.1\r\nX-A: \x01\r\n\r\n") << 0 << 400;
        // Refused before the line ends: the parser reads along.
        QTest::newRow("a byte past ASCII in an unfinished line")
            << QByteArray("POST /a\xee") << 0 << 400;
        QTest::newRow("a control byte in an unfinished header")
            << QByteArray("GET / HTTP/1.1\r\nX-A: \x7f") << 0 << 400;
        QTest::newRow("a carriage return before the line ends")
            << QByteArray("GET / HTTP/1.1\r\nX-A: 1\rX") << 0 << 400;
        QTest::newRow("a byte past ASCII in a value")
            << QByteArray("GET / HTTP/1.1\r\nX-A: \x80\r\n\r\n") << 0 << 400;
        QTest::newRow("a body") << QByteArray("GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello")
                                << 0 << 400;
        QTest::newRow("two lengths")
            << QByteArray("GET / HTTP/1.1\r\nContent-Length: 0\r\ncontent-length: 0\r\n\r\n") << 0
            << 400;
        QTest::newRow("chunks") << QByteArray(
                                       "GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n")
                                << 0 << 400;
        QTest::newRow("an upgrade")
            << QByteArray("GET / HTTP/1.1\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n\r\n")
            << 0 << 400;
        QTest::newRow("a request line of 20 KB")
            << "GET /" + QByteArray(20 * 1024, 'a') + " HTTP/1.1\r\n\r\n"
            << 0 << 414;
        QTest::newRow("a header of a megabyte")
            << "GET / HTTP/1.1\r\nX-A: " + QByteArray(1 << 20, 'a') + "\r\n\r\n"
            << 0 << 431;
        QByteArray many = "GET / HTTP/1.1\r\n";
        for (int i = 0; i < 64; ++i)
            many += "X-" + QByteArray::number(i) + ": 1\r\n";
        QTest::newRow("64 headers") << many + "\r\n" << 1 << 0;
        QTest::newRow("65 headers") << many + "X-Z: 1\r\n\r\n" << 0 << 431;
        // Refused, and what follows is not looked at.
        QTest::newRow("a good head after a bad one")
            << QByteArray("POST / HTTP/1.1\r\n\r\n") + get << 0 << 405;
    }
    // Whole, in two halves and byte by byte: the verdict is the same.
    void requestHeadsAreCheckedBeforeTheParser() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, heads);
        QFETCH(int, refusal);
        const auto feed = [&](qsizetype chunk) {
            http::RequestHeadFilter filter;
            http::RequestHeadFilter::Result total;
            for (qsizetype at = 0; at < bytes.size(); at += chunk) {
                const auto result =
                    filter.feed(QByteArrayView(bytes).sliced(at, qMin(chunk, bytes.size() - at)));
                total.heads += result.heads;
                total.refusal = result.refusal;
            }
            return total;
        };
        const qsizetype byteByByte = bytes.size() > 100000 ? 997 : 1;
        for (const qsizetype chunk : {bytes.size(), (bytes.size() + 1) / 2, byteByByte}) {
            const auto result = feed(qMax<qsizetype>(1, chunk));
            QCOMPARE(result.refusal, refusal);
            QCOMPARE(result.heads, heads);
        }
    }

    void aRefusalHasTheLastWord() {
        http::RequestHeadFilter filter;
        const auto first = filter.feed("DELETE / HTTP/1.1\r\n");
        QCOMPARE(first.refusal, 405);
        QCOMPARE(first.reason, QByteArray("only GET and HEAD are served"));
        QCOMPARE(filter.feed("GET / HTTP/1.1\r\n\r\n").refusal, 405);
    }

    void aHeadSaysWhetherTheConnectionEndsAfterIt_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<bool>("inHead");
        QTest::addColumn<bool>("close");
        QTest::newRow("HTTP/1.1") << QByteArray("GET / HTTP/1.1\r\n\r\n") << false << false;
        QTest::newRow("Connection: close")
            << QByteArray("GET / HTTP/1.1\r\nConnection: close\r\n\r\n") << false << true;
        QTest::newRow("among other options")
            << QByteArray("GET / HTTP/1.1\r\nConnection: TE, Close\r\n\r\n") << false << true;
        QTest::newRow("HTTP/1.0") << QByteArray("GET / HTTP/1.0\r\n\r\n") << false << true;
        QTest::newRow("HTTP/1.0, kept alive")
            << QByteArray("GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n") << false << false;
        QTest::newRow("in the middle of one")
            << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n") << true << false;
    }
    void aHeadSaysWhetherTheConnectionEndsAfterIt() {
        QFETCH(QByteArray, head);
        http::RequestHeadFilter filter;
        QCOMPARE(filter.feed(head).refusal, 0);
        QTEST(filter.inHead(), "inHead");
        QTEST(filter.closeAfter(), "close");
    }
};

QUADTHERM_TEST_SUITE(TestHttpOptions, Core)

} // namespace tst_http_options

#include "tst_http_options.moc"
