// The relay path: the time from the relay writing a remote command to its bytes reaching the
// unit, and from the unit's status line to its arrival at the relay, over loopback TLS and a
// pseudo-terminal; the bridge's own handling time per message; and the same path through a
// plain byte forwarder for comparison. Ends with one line a script can check.

#include "platform/serial_port.h"
#include "platform/tls_socket.h"
#include "support/q6_simulator.h"
#include "support/scripted_services.h"
#include "support/tls_test_relay.h"
#include "window/kelvo_bridge.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int messages = 1000;
constexpr int warmUp = 50;
constexpr double handlingGoalUs = 100.0;
constexpr double ratioGoal = 1.2;

const QByteArray remoteCommand = "A30\r";
const QByteArray statusLine = "600:40:60:0:0:0:0:0:2.107\r\n";

double percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const auto index = static_cast<size_t>(fraction * double(samples.size() - 1) + 0.5);
    return samples[std::min(index, samples.size() - 1)];
}

// Runs the event loop until the signal comes or two seconds pass; the time it came, or none.
template <typename Sender, typename Signal>
bool waitFor(const Sender *sender, Signal signal, Clock::time_point &arrived)
{
    QEventLoop loop;
    bool came = false;
    const QMetaObject::Connection connection = QObject::connect(sender, signal, &loop, [&] {
        arrived = Clock::now();
        came = true;
        loop.quit();
    });
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    return came;
}

bool spinUntil(const std::function<bool()> &condition)
{
    for (int i = 0; i < 400 && !condition(); ++i) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return condition();
}

// One end-to-end road: a relay, a unit, and something in the middle.
struct Road {
    TlsTestRelay relay;
    Q6Simulator unit;

    // Remote command: relay write to the unit's receipt of the whole command.
    [[nodiscard]] bool relayToUnit(double &ms)
    {
        const Clock::time_point sent = Clock::now();
        if (!relay.send(remoteCommand))
            return false;
        Clock::time_point arrived;
        if (!waitFor(&unit, &Q6Simulator::commandReceived, arrived))
            return false;
        ms = std::chrono::duration<double, std::milli>(arrived - sent).count();
        return true;
    }

    // Status line: the unit's write to the relay's receipt of the whole line.
    [[nodiscard]] bool unitToRelay(double &ms)
    {
        const Clock::time_point sent = Clock::now();
        if (!unit.send(statusLine))
            return false;
        Clock::time_point arrived;
        if (!waitFor(&relay, &TlsTestRelay::lineReceived, arrived))
            return false;
        ms = std::chrono::duration<double, std::milli>(arrived - sent).count();
        return true;
    }
};

// The bridge in remote control, its two data handlers timed from entry to return (the write
// and flush happen inside them).
struct BridgeRoad : Road {
    std::unique_ptr<KelvoBridge> window;
    std::vector<double> relayHandlingUs;
    std::vector<double> unitHandlingUs;
    bool timing = false;

    [[nodiscard]] bool setUp(ScriptedServices &services)
    {
        if (!relay.listen())
            return false;
        services.port = relay.port();
        window = std::make_unique<KelvoBridge>();
        KelvoBridge *bridge = window.get();
        platform::TlsSocket *socket = bridge->kelvoconnect();
        platform::SerialPort *port = bridge->kelvoserial();
        QObject::disconnect(socket, &platform::TlsSocket::dataAvailable, bridge,
                            &KelvoBridge::kelvoconnect_DataAvailable);
        QObject::disconnect(port, &platform::SerialPort::dataAvailable, bridge,
                            &KelvoBridge::kelvoserial_DataAvailable);
        QObject::connect(socket, &platform::TlsSocket::dataAvailable, bridge, [this, bridge] {
            const Clock::time_point entry = Clock::now();
            bridge->kelvoconnect_DataAvailable();
            if (timing)
                relayHandlingUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - entry).count());
        });
        QObject::connect(port, &platform::SerialPort::dataAvailable, bridge, [this, bridge] {
            const Clock::time_point entry = Clock::now();
            bridge->kelvoserial_DataAvailable();
            if (timing)
                unitHandlingUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - entry).count());
        });

        port->setSerialPort(unit.portPath());
        if (!port->Open())
            return false;
        socket->Address = TlsTestRelay::host();
        socket->Port = relay.port();
        socket->Connect();
        if (!spinUntil([bridge] { return bridge->serverconnected; }) || !relay.waitForLines(1))
            return false;
        // Remote control, the unit alive; the log is off as it is by default.
        bridge->itsAlive = true;
        bridge->linked = true;
        relay.clearRecords();
        unit.clearRecords();
        return true;
    }
};

// The same sockets and ports with nothing but a byte copy between them.
struct ForwarderRoad : Road {
    platform::TlsSocket socket;
    platform::SerialPort port;

    [[nodiscard]] bool setUp()
    {
        if (!relay.listen())
            return false;
        QObject::connect(&socket, &platform::TlsSocket::dataAvailable, &socket, [this] {
            port.Write(socket.ReadAll());
            port.Flush();
        });
        QObject::connect(&port, &platform::SerialPort::dataAvailable, &port, [this] {
            socket.Write(port.ReadAll());
            socket.Flush();
        });
        port.setSerialPort(unit.portPath());
        if (!port.Open())
            return false;
        socket.Address = TlsTestRelay::host();
        socket.Port = relay.port();
        socket.Connect();
        return spinUntil([this] { return socket.IsConnected() && relay.isEncrypted(); });
    }
};

struct Results {
    std::vector<double> bridgeIn, bridgeOut, forwarderIn, forwarderOut;
    bool failed = false;
};

BridgeRoad *theBridge = nullptr;
ForwarderRoad *theForwarder = nullptr;
Results results;

// One message down each road per iteration, in turn, so both see the same machine load; the
// iteration's time is the bridge's.
void measure(benchmark::State &state, bool inbound, std::vector<double> &bridgeSamples,
             std::vector<double> &forwarderSamples)
{
    const auto once = [inbound](Road &road, double &ms) {
        return inbound ? road.relayToUnit(ms) : road.unitToRelay(ms);
    };
    double bridgeMs = 0.0;
    double forwarderMs = 0.0;
    for (int i = 0; i < warmUp; ++i) {
        if (!once(*theBridge, bridgeMs) || !once(*theForwarder, forwarderMs)) {
            state.SkipWithError("a message did not arrive");
            results.failed = true;
            return;
        }
    }
    theBridge->timing = true;
    for (auto _ : state) {
        if (!once(*theBridge, bridgeMs) || !once(*theForwarder, forwarderMs)) {
            state.SkipWithError("a message did not arrive");
            results.failed = true;
            break;
        }
        bridgeSamples.push_back(bridgeMs);
        forwarderSamples.push_back(forwarderMs);
        state.SetIterationTime(bridgeMs / 1000.0);
    }
    theBridge->timing = false;
    state.counters["median_ms"] = percentile(bridgeSamples, 0.5);
    state.counters["p99_ms"] = percentile(bridgeSamples, 0.99);
    state.counters["forwarder_median_ms"] = percentile(forwarderSamples, 0.5);
    state.counters["forwarder_p99_ms"] = percentile(forwarderSamples, 0.99);
}

void RelayToUnit(benchmark::State &state) { measure(state, true, results.bridgeIn, results.forwarderIn); }
void UnitToRelay(benchmark::State &state) { measure(state, false, results.bridgeOut, results.forwarderOut); }

BENCHMARK(RelayToUnit)->Iterations(messages)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(UnitToRelay)->Iterations(messages)->UseManualTime()->Unit(benchmark::kMillisecond);

double mean(const std::vector<double> &samples)
{
    double sum = 0.0;
    for (double s : samples)
        sum += s;
    return samples.empty() ? 0.0 : sum / double(samples.size());
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    ScriptedServices services;
    BridgeRoad bridge;
    ForwarderRoad forwarder;
    if (!bridge.setUp(services) || !forwarder.setUp()) {
        std::printf("relay_path: set-up failed FAIL\n");
        return 1;
    }
    theBridge = &bridge;
    theForwarder = &forwarder;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (results.bridgeIn.empty() || results.bridgeOut.empty() || results.forwarderIn.empty()
        || results.forwarderOut.empty()) {
        std::printf("relay_path: not every path was measured FAIL\n");
        return 1;
    }
    const double relayHandling = mean(bridge.relayHandlingUs);
    const double unitHandling = mean(bridge.unitHandlingUs);
    const double handling = std::max(relayHandling, unitHandling);
    std::vector<double> all = results.bridgeIn;
    all.insert(all.end(), results.bridgeOut.begin(), results.bridgeOut.end());
    std::vector<double> forwarded = results.forwarderIn;
    forwarded.insert(forwarded.end(), results.forwarderOut.begin(), results.forwarderOut.end());
    const double ratioIn = percentile(results.bridgeIn, 0.5) / percentile(results.forwarderIn, 0.5);
    const double ratioOut = percentile(results.bridgeOut, 0.5) / percentile(results.forwarderOut, 0.5);
    const double ratio = std::max(ratioIn, ratioOut);
    const bool pass = !results.failed && handling <= handlingGoalUs && ratio <= ratioGoal;

    std::printf("relay_path: in median_ms=%.3f p99_ms=%.3f forwarder_median_ms=%.3f ratio=%.2f "
                "handling_us=%.1f (p99 %.1f)\n",
                percentile(results.bridgeIn, 0.5), percentile(results.bridgeIn, 0.99),
                percentile(results.forwarderIn, 0.5), ratioIn, relayHandling, percentile(bridge.relayHandlingUs, 0.99));
    std::printf("relay_path: out median_ms=%.3f p99_ms=%.3f forwarder_median_ms=%.3f ratio=%.2f "
                "handling_us=%.1f (p99 %.1f)\n",
                percentile(results.bridgeOut, 0.5), percentile(results.bridgeOut, 0.99),
                percentile(results.forwarderOut, 0.5), ratioOut, unitHandling, percentile(bridge.unitHandlingUs, 0.99));
    std::printf("relay_path: handling_us=%.1f median_ms=%.3f p99_ms=%.3f forwarder_median_ms=%.3f ratio=%.2f %s\n",
                handling, percentile(all, 0.5), percentile(all, 0.99), percentile(forwarded, 0.5), ratio,
                pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
