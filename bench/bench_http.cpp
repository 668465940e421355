// The web server's cost to the meter session, with the session on the
// program's one thread as in quadtherm-cli watch and record: the live tick's
// lateness with nobody asking and with 50 clients each polling /api/live
// every 100 ms; and how long a new reading takes from its frame to /api/live
// (polled every 10 ms) and to a page-like client (polling every 250 ms, as
// the live page does). The simulated meter's T1 jumps by 100 °C for that.
//
// bench_http [--seconds N] [--clients N] [--jumps N]   (defaults 20, 50, 10)

#include "http/http_thread.h"
#include "session/meter_session.h"
#include "shared/clock.h"
#include "sim/simulated_serial_port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>
#include <vector>

using namespace quadtherm;

namespace {

using Steady = std::chrono::steady_clock;

double msBetween(Steady::time_point a, Steady::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

struct Figures {
    double median = 0, p99 = 0, max = 0;
    size_t count = 0;
};

Figures figuresOf(std::vector<double> values) {
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2],
            values[std::min(values.size() - 1, values.size() * 99 / 100)], values.back(),
            values.size()};
}

// When a tick read its frame, and whether it ran the status exchange first.
struct Tick {
    Steady::time_point at;
    bool status = false;
};

// The gaps between ticks' frames beyond the 50 ms poll. Every 100th tick runs
// the meter's status exchange first (about half a second, the protocol's own
// wait): exactly 1 % of the gaps, so they would decide the 99th percentile by
// how many fell in the window. They are counted apart.
struct Lateness {
    Figures ticks;
    size_t statusExchanges = 0;
    double longestStatusMs = 0;
};

Lateness lateness(const std::vector<Tick>& ticks) {
    std::vector<double> late;
    Lateness out;
    for (size_t i = 1; i < ticks.size(); ++i) {
        const double gap =
            std::max(0.0, msBetween(ticks[i - 1].at, ticks[i].at) - session::MeterSession::kTickMs);
        if (!ticks[i].status) {
            late.push_back(gap);
            continue;
        }
        ++out.statusExchanges;
        out.longestStatusMs = std::max(out.longestStatusMs, gap);
    }
    out.ticks = figuresOf(late);
    return out;
}

void run(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Keep-alive clients, each asking for /api/live every `periodMs`, on the
// thread this object lives on.
class Pollers : public QObject {
public:
    Pollers(quint16 port, int clients, int periodMs) {
        for (int i = 0; i < clients; ++i) {
            auto* client = new Client{new QTcpSocket(this), {}, false};
            m_clients.push_back(client);
            client->socket->connectToHost(QHostAddress::LocalHost, port);
            connect(client->socket, &QTcpSocket::readyRead, this, [this, client] {
                client->buffer += client->socket->readAll();
                for (;;) {
                    const qsizetype end = client->buffer.indexOf("\r\n\r\n");
                    if (end < 0)
                        return;
                    const qsizetype at = client->buffer.indexOf("Content-Length: ");
                    const qsizetype length =
                        client->buffer.mid(at + 16, client->buffer.indexOf('\r', at) - at - 16)
                            .toLongLong();
                    if (client->buffer.size() < end + 4 + length)
                        return;
                    client->buffer.remove(0, end + 4 + length);
                    client->waiting = false;
                    ++m_answers;
                }
            });
            auto* timer = new QTimer(this);
            connect(timer, &QTimer::timeout, this, [client] {
                if (client->waiting || client->socket->state() != QAbstractSocket::ConnectedState)
                    return;
                client->waiting = true;
                client->socket->write("GET /api/live HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
            });
            // Spread over the period, as independent clients would be.
            QTimer::singleShot(periodMs * i / clients, timer,
                               [timer, periodMs] { timer->start(periodMs); });
        }
    }
    ~Pollers() override { qDeleteAll(m_clients); }
    quint64 answers() const { return m_answers; }

private:
    struct Client {
        QTcpSocket* socket;
        QByteArray buffer;
        bool waiting;
    };
    std::vector<Client*> m_clients;
    std::atomic<quint64> m_answers{0};
};

// T1's value in /api/live, by a new connection each time.
std::optional<double> liveT1(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000))
        return {};
    socket.write("GET /api/live HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray reply;
    while (socket.waitForReadyRead(2000))
        reply += socket.readAll();
    reply += socket.readAll();
    const auto json = QJsonDocument::fromJson(reply.mid(reply.indexOf("\r\n\r\n") + 4)).object();
    const auto channels = json[u"channels"].toArray();
    if (channels.isEmpty() || channels[0][u"value"].isNull())
        return {};
    return channels[0][u"value"].toDouble();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int seconds = 20, clients = 50, jumps = 10;
    const QStringList args = app.arguments();
    for (const auto& [name, value] :
         {std::pair{"--seconds", &seconds}, {"--clients", &clients}, {"--jumps", &jumps}})
        if (const auto i = args.indexOf(QLatin1String(name)); i > 0 && i + 1 < args.size())
            *value = qMax(1, args[i + 1].toInt());

    shared::SystemClock clock;
    shared::RunState state;
    sim::SimulatedSerialPort port(clock);
    port.setSettings(QString::fromLatin1(meter_link::kMeterSettings));
    if (!port.open())
        return 1;
    session::MeterSession session(port, clock, state);

    http::HttpThread::Options options;
    options.port = QStringLiteral("SIM");
    http::HttpThread web(options);
    QString error;
    if (!web.listen(&error)) {
        std::fprintf(stderr, "cannot listen: %s\n", qPrintable(error));
        return 1;
    }
    web.attach(session.outputs());

    // On the session's thread, as each tick reads its frame.
    std::vector<Tick> ticks;
    std::atomic<double> jumpTo{0};
    std::atomic<qint64> jumpFrameNs{0};
    QObject::connect(
        &session, &session::MeterSession::frameRead, &session,
        [&](int channel, bool) {
            const auto now = Steady::now();
            ticks.push_back({now, state.link.PollCount == 0});
            const double target = jumpTo.load();
            if (channel == 0 && target != 0 && jumpFrameNs.load() == 0 &&
                std::abs(state.live.LiveValueC[0] - target) < 20)
                jumpFrameNs = now.time_since_epoch().count();
        },
        Qt::DirectConnection);
    session.start();
    run(8000); // the first re-synchronisation
    if (!liveT1(web.port())) {
        std::fprintf(stderr, "the server has no readings\n");
        return 1;
    }

    ticks.clear();
    run(seconds * 1000);
    const Lateness idle = lateness(std::exchange(ticks, {}));

    // The clients on a thread of their own, their sockets made there.
    QThread clientThread;
    clientThread.start();
    QObject anchor;
    anchor.moveToThread(&clientThread);
    Pollers* pollers = nullptr;
    QMetaObject::invokeMethod(
        &anchor, [&] { pollers = new Pollers(web.port(), clients, 100); },
        Qt::BlockingQueuedConnection);
    run(1000);
    ticks.clear();
    const quint64 answersBefore = pollers->answers();
    run(seconds * 1000);
    const Lateness busy = lateness(std::exchange(ticks, {}));
    const quint64 answered = pollers->answers() - answersBefore;

    // From T1's frame after a jump to /api/live and to a poller like the page.
    std::vector<double> toApi, toPage;
    std::mt19937 random(7);
    for (int j = 0; j < jumps; ++j) {
        const double baseF = j % 2 == 0 ? 252.5 : 72.5; // 122.5 °C or 22.5 °C
        const double targetC = (baseF - 32) / 1.8;
        jumpFrameNs = 0;
        jumpTo = targetC;
        port.meter().channel(0).baseF = baseF;
        std::atomic<qint64> apiNs{0}, pageNs{0};
        std::atomic<bool> stop{false};
        const auto watch = [&](int periodMs, int phaseMs, std::atomic<qint64>& seen) {
            std::this_thread::sleep_for(std::chrono::milliseconds(phaseMs));
            while (!stop && seen == 0) {
                const auto at = Steady::now();
                if (const auto value = liveT1(web.port()); value && std::abs(*value - targetC) < 20)
                    seen = Steady::now().time_since_epoch().count();
                std::this_thread::sleep_until(at + std::chrono::milliseconds(periodMs));
            }
        };
        std::thread api(watch, 10, 0, std::ref(apiNs));
        std::thread page(watch, 250, int(random() % 250), std::ref(pageNs));
        QElapsedTimer waited;
        waited.start();
        while ((apiNs == 0 || pageNs == 0) && waited.elapsed() < 10000)
            run(20);
        stop = true;
        api.join();
        page.join();
        if (jumpFrameNs != 0 && apiNs != 0 && pageNs != 0) {
            toApi.push_back(double(apiNs - jumpFrameNs) / 1e6);
            toPage.push_back(double(pageNs - jumpFrameNs) / 1e6);
        }
        run(1500);
    }
    jumpTo = 0;

    std::printf("live tick lateness beyond its %d ms, session on the program's one thread, "
                "%d s each:\n",
                session::MeterSession::kTickMs, seconds);
    const auto print = [](const char* what, const Figures& f) {
        std::printf("  %-44s %6zu   median %7.2f ms   99th %7.2f ms   max %7.2f ms\n", what,
                    f.count, f.median, f.p99, f.max);
    };
    const auto printTicks = [&](const char* what, const Lateness& l) {
        print(what, l.ticks);
        std::printf("  %-44s %6zu   longest %6.1f ms\n", "  status exchanges, counted apart",
                    l.statusExchanges, l.longestStatusMs);
    };
    printTicks("no web clients (ticks)", idle);
    printTicks(qPrintable(QStringLiteral("%1 clients polling /api/live every 100 ms").arg(clients)),
               busy);
    std::printf("  answers to the clients: %.0f a second\n", double(answered) / seconds);
    std::printf("  difference: median %+.2f ms, 99th %+.2f ms (goal: within 5 ms)\n",
                busy.ticks.median - idle.ticks.median, busy.ticks.p99 - idle.ticks.p99);
    std::printf("from T1's frame after a jump of 100 °C to the new value shown, %zu jumps:\n",
                toApi.size());
    print("/api/live polled every 10 ms", figuresOf(toApi));
    print("polled every 250 ms, as the live page does", figuresOf(toPage));
    std::printf("  (goal: under 1.5 s)\n");

    QMetaObject::invokeMethod(
        &anchor, [&] { delete pollers; }, Qt::BlockingQueuedConnection);
    clientThread.quit();
    clientThread.wait();
    web.detach();
    session.stop();
    return 0;
}
