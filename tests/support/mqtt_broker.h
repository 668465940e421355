#pragma once

// A real mosquitto broker for the MQTT suites, on a free loopback port with
// its configuration in a temporary folder; subscribers (mosquitto_sub) that
// write what they receive to a file; and quadtherm-cli runs in the
// background with their output in files, so that nothing waits on a pipe
// while a test blocks. Header only: QUADTHERM_CLI_PATH is defined per suite.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <QTest>
#include <memory>

#include <csignal>
#include <optional>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quadtherm::test {

// A port nobody listens on now: bound to port 0 and let go.
inline quint16 freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

inline bool acceptsConnections(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool run(const QString& program, const QStringList& args, int timeoutMs = 10000) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit &&
           p.exitCode() == 0;
}

struct BrokerOptions {
    // mosquitto_passwd makes the password file; no anonymous clients then.
    QString user;
    QString password;
    // A TLS listener with a certificate for 127.0.0.1 made by a test CA
    // (caFile()), instead of a plain one.
    bool tls = false;
    // Subscriptions of persistent sessions, and their messages, survive
    // a restart.
    bool persistence = false;
};

class Broker {
public:
    using Options = BrokerOptions;

    explicit Broker(Options options = {}) : m_options(std::move(options)) {
        m_port = freeLoopbackPort();
        if (m_options.tls && !makeCertificates())
            return;
        if (!m_options.user.isEmpty() &&
            !run(QStringLiteral("mosquitto_passwd"),
                 {"-c", "-b", path("passwords"), m_options.user, m_options.password}))
            return;
        QFile config(path("mosquitto.conf"));
        if (!config.open(QIODevice::WriteOnly))
            return;
        QByteArray text = QStringLiteral("listener %1 127.0.0.1\n").arg(m_port).toUtf8();
        if (m_options.user.isEmpty())
            text += "allow_anonymous true\n";
        else
            text += "allow_anonymous false\npassword_file " + path("passwords").toUtf8() + '\n';
        if (m_options.tls)
            text += "cafile " + caFile().toUtf8() + "\ncertfile " + path("server.crt").toUtf8() +
                    "\nkeyfile " + path("server.key").toUtf8() + '\n';
        if (m_options.persistence)
            text += "persistence true\npersistence_location " + m_dir.path().toUtf8() + "/\n";
        // Started as root it would become the user "mosquitto", who may not
        // read this folder.
        if (::geteuid() == 0)
            text += "user root\n";
        config.write(text);
        m_configured = true;
    }
    ~Broker() { stop(); }
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;

    // Starts it, or starts it again on the same port; true once it accepts
    // connections.
    bool start() {
        if (!m_configured)
            return false;
        m_process.setStandardOutputFile(path("broker.log"), QIODevice::Append);
        m_process.setStandardErrorFile(path("broker.log"), QIODevice::Append);
        m_process.start(QStringLiteral("mosquitto"), {"-c", path("mosquitto.conf")});
        return m_process.waitForStarted(5000) &&
               QTest::qWaitFor([this] { return acceptsConnections(m_port); }, 5000);
    }
    // SIGTERM, as a service manager stops it (a persistent broker saves its state).
    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    quint16 port() const { return m_port; }
    // How mosquitto_sub and mosquitto_pub reach it.
    QStringList clientArgs() const {
        QStringList args{"-h", "127.0.0.1", "-p", QString::number(m_port)};
        if (!m_options.user.isEmpty())
            args << "-u" << m_options.user << "-P" << m_options.password;
        if (m_options.tls)
            args << "--cafile" << caFile();
        return args;
    }
    QString url(const QString& prefix, const QString& user = {}) const {
        return (m_options.tls ? QStringLiteral("mqtts://") : QStringLiteral("mqtt://")) +
               (user.isEmpty() ? QString() : user + u'@') +
               QStringLiteral("127.0.0.1:%1/").arg(m_port) + prefix;
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString caFile() const { return path("ca.crt"); }
    QString log() const { return QString::fromUtf8(readAll(path("broker.log"))); }

private:
    bool makeCertificates() {
        QFile extensions(path("server.ext"));
        if (!extensions.open(QIODevice::WriteOnly))
            return false;
        extensions.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n");
        extensions.close();
        const QString ec = QStringLiteral("ec");
        const QStringList curve{"-pkeyopt", "ec_paramgen_curve:prime256v1"};
        return run("openssl", QStringList{"req", "-x509", "-newkey", ec} + curve +
                                  QStringList{"-nodes", "-keyout", path("ca.key"), "-out", caFile(),
                                              "-days", "2", "-subj", "/CN=QuadTherm test CA"}) &&
               run("openssl", QStringList{"req", "-newkey", ec} + curve +
                                  QStringList{"-nodes", "-keyout", path("server.key"), "-out",
                                              path("server.csr"), "-subj", "/CN=127.0.0.1"}) &&
               run("openssl", {"x509", "-req", "-in", path("server.csr"), "-CA", caFile(), "-CAkey",
                               path("ca.key"), "-CAcreateserial", "-out", path("server.crt"),
                               "-days", "2", "-extfile", path("server.ext")});
    }

    Options m_options;
    QTemporaryDir m_dir;
    quint16 m_port = 0;
    bool m_configured = false;
    QProcess m_process;
};

// One message as mosquitto_sub printed it.
struct Received {
    bool retained = false;
    int qos = 0;
    QString topic;
    QByteArray payload;
};

// mosquitto_sub on `filter`, its lines in a file.
class Subscriber {
public:
    // `sessionId`: a persistent session at QoS 1, whose messages the broker
    // keeps while the subscriber is away (mosquitto_sub reconnects by itself).
    Subscriber(const Broker& broker, const QString& filter, const QString& sessionId = {})
        : m_broker(broker), m_file(broker.path(QStringLiteral("sub-%1.txt").arg(counter()++))) {
        QStringList args = broker.clientArgs() + QStringList{"-t", filter, "-F", "%r %q %t %p"};
        if (!sessionId.isEmpty())
            args += QStringList{"-c", "-i", sessionId, "-q", "1"};
        m_process.setStandardOutputFile(m_file);
        m_process.setStandardErrorFile(m_file + QStringLiteral(".err"));
        m_process.start(QStringLiteral("mosquitto_sub"), args);
        m_process.waitForStarted(5000);
    }
    ~Subscriber() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished();
    }

    // True once a message published to `topic` came through: it subscribed.
    bool waitUntilSubscribed(const QString& topic) {
        return QTest::qWaitFor(
            [&] {
                run("mosquitto_pub",
                    m_broker.clientArgs() + QStringList{"-t", topic, "-m", "ready"});
                return !on(topic).isEmpty();
            },
            5000);
    }

    QList<Received> all() const {
        QList<Received> messages;
        for (const QByteArray& line : readAll(m_file).split('\n')) {
            const QList<QByteArray> head = line.split(' ');
            if (head.size() < 4)
                continue;
            Received m;
            m.retained = head[0] == "1";
            m.qos = head[1].toInt();
            m.topic = QString::fromUtf8(head[2]);
            m.payload = line.mid(head[0].size() + head[1].size() + head[2].size() + 3);
            messages << m;
        }
        return messages;
    }
    QList<Received> on(const QString& topic) const {
        QList<Received> messages;
        for (const Received& m : all())
            if (m.topic == topic)
                messages << m;
        return messages;
    }

private:
    static int& counter() {
        static int n = 0;
        return n;
    }

    const Broker& m_broker;
    QString m_file;
    QProcess m_process;
};

inline void publish(const Broker& broker, const QString& topic, const QByteArray& payload) {
    run("mosquitto_pub",
        broker.clientArgs() + QStringList{"-t", topic, "-m", QString::fromUtf8(payload)});
}

// What the broker keeps for `topic` (retained), or nothing within two seconds.
// The topic's messages published meanwhile are not retained on the way.
inline std::optional<QByteArray> retainedOn(const Broker& broker, const QString& topic) {
    QProcess p;
    p.start(QStringLiteral("mosquitto_sub"),
            broker.clientArgs() +
                QStringList{"-t", topic, "-C", "1", "-W", "2", "--retained-only"});
    if (!p.waitForFinished(5000) || p.exitCode() != 0)
        return std::nullopt;
    QByteArray out = p.readAllStandardOutput();
    if (out.endsWith('\n'))
        out.chop(1);
    // Nothing printed: a message published meanwhile came first, not
    // retained (a retained message is never empty: an empty one clears it).
    if (out.isEmpty())
        return std::nullopt;
    return out;
}

// A port that takes connections and never says a word: a broker that hangs.
class SilentListener {
public:
    SilentListener() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::listen(m_fd, 4) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~SilentListener() { ::close(m_fd); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};

// quadtherm-cli in the background, its standard output and error in files.
class CliRun {
public:
    // `program`: the desktop program instead, for its own options.
    CliRun(const QStringList& args, const QStringList& environment = {},
           const QString& program = QStringLiteral(QUADTHERM_CLI_PATH)) {
        m_out = m_dir.filePath("out.txt");
        m_err = m_dir.filePath("err.txt");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QUADTHERM_MQTT_PASSWORD");
        env.remove("QUADTHERM_MQTT_QUEUE_LIMIT");
        for (const QString& setting : environment)
            env.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
        m_process.setProcessEnvironment(env);
        m_process.setStandardOutputFile(m_out);
        m_process.setStandardErrorFile(m_err);
        m_process.start(program, args);
        m_process.waitForStarted(5000);
    }
    ~CliRun() {
        m_process.kill();
        m_process.waitForFinished();
    }
    CliRun(const CliRun&) = delete;
    CliRun& operator=(const CliRun&) = delete;

    QStringList lines() const {
        return QString::fromUtf8(readAll(m_out)).split(u'\n', Qt::SkipEmptyParts);
    }
    QString err() const { return QString::fromUtf8(readAll(m_err)); }
    bool waitForLines(int n, int timeoutMs) {
        return QTest::qWaitFor([&] { return lines().size() >= n || !running(); }, timeoutMs) &&
               lines().size() >= n;
    }
    bool waitForErr(const QString& text, int timeoutMs) {
        return QTest::qWaitFor([&] { return err().contains(text); }, timeoutMs);
    }
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    // The exit status, or -1 when it did not end in time or died of a signal.
    int finish(int timeoutMs = 30000) {
        if (!QTest::qWaitFor([&] { return !running(); }, timeoutMs))
            return -1;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    QString describe() const {
        return QStringLiteral("stdout:\n%1\nstderr:\n%2").arg(lines().join(u'\n'), err());
    }

private:
    QTemporaryDir m_dir;
    QString m_out, m_err;
    QProcess m_process;
};

// The brokers the command-line suites run against.
enum class Server { None, Plain, Password, Tls };

inline std::unique_ptr<Broker> brokerOf(Server server) {
    Broker::Options options;
    options.tls = server == Server::Tls;
    if (server == Server::Password) {
        options.user = QStringLiteral("meter");
        options.password = QStringLiteral("s3cret pass");
    }
    auto broker = std::make_unique<Broker>(options);
    if (server != Server::None && !broker->start())
        return nullptr;
    return broker;
}

// quadtherm-cli's arguments for a recording of `records` into `dir`.
inline QStringList recordArgs(const QTemporaryDir& dir, int records) {
    return {"--simulate", "record",
            "--out",      dir.filePath("run.4ch"),
            "--records",  QString::number(records)};
}

} // namespace quadtherm::test
