// The middle of the relay path benchmark, in a process of its own so that its CPU time is its
// own, as socat's is: the bridge in remote control, or a plain Qt byte forwarder, between the
// benchmark's relay and unit.
//   bench_relay_path_middle bridge|forwarder <relay port> <unit device path>
// Prints "ready" once the relay link is up. Quits when its standard input closes; the bridge
// then prints its handlers' times: "handling relay_us=<mean> relay_p99_us=... unit_us=...
// unit_p99_us=... relay_cpu_us=<mean> unit_cpu_us=<mean>".

#include "platform/serial_port.h"
#include "platform/tls_socket.h"
#include "support/scripted_services.h"
#include "support/tls_test_relay.h"
#include "window/kelvo_bridge.h"

#include "sample_stats.h"

#include <QApplication>
#include <QCheckBox>
#include <QSocketNotifier>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace kelvo;

namespace {

using Clock = std::chrono::steady_clock;

double microsecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// This thread's CPU time: a handler's own cost, which a busy machine's scheduler does not
// stretch as it stretches the wall time. One call costs about 0.2 us.
double threadCpuUs()
{
    timespec used {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    return double(used.tv_sec) * 1e6 + double(used.tv_nsec) / 1e3;
}

using benchstats::percentile;

double mean(const std::vector<double> &samples)
{
    double sum = 0.0;
    for (double sample : samples)
        sum += sample;
    return samples.empty() ? 0.0 : sum / double(samples.size());
}

void say(const char *line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// The bridge as the user runs it, its window shown, a remote user linked; program changes
// blocked so that the benchmark has a command to refuse. Each data handler is timed from
// entry to return (the write and flush to the other side happen inside), in wall and CPU time.
struct BridgeMiddle {
    ScriptedServices services;
    std::unique_ptr<KelvoBridge> window;
    std::vector<double> relayHandlingUs, relayCpuUs;
    std::vector<double> unitHandlingUs, unitCpuUs;

    bool start(quint16 relayPort, const QString &unitPath)
    {
        window = std::make_unique<KelvoBridge>();
        KelvoBridge *bridge = window.get();
        platform::TlsSocket *socket = bridge->kelvoconnect();
        platform::SerialPort *port = bridge->kelvoserial();
        QObject::disconnect(socket, &platform::TlsSocket::dataAvailable, bridge,
                            &KelvoBridge::kelvoconnect_DataAvailable);
        QObject::disconnect(port, &platform::SerialPort::dataAvailable, bridge,
                            &KelvoBridge::kelvoserial_DataAvailable);
        QObject::connect(socket, &platform::TlsSocket::dataAvailable, bridge, [this, bridge] {
            const double cpuAtEntry = threadCpuUs();
            const Clock::time_point entry = Clock::now();
            bridge->kelvoconnect_DataAvailable();
            relayHandlingUs.push_back(microsecondsSince(entry));
            relayCpuUs.push_back(threadCpuUs() - cpuAtEntry);
        });
        QObject::connect(port, &platform::SerialPort::dataAvailable, bridge, [this, bridge] {
            const double cpuAtEntry = threadCpuUs();
            const Clock::time_point entry = Clock::now();
            bridge->kelvoserial_DataAvailable();
            unitHandlingUs.push_back(microsecondsSince(entry));
            unitCpuUs.push_back(threadCpuUs() - cpuAtEntry);
        });
        // After the bridge's own handler: the link is up, the unit alive, a remote user linked.
        QObject::connect(socket, &platform::TlsSocket::connected, bridge, [bridge] {
            bridge->itsAlive = true;
            bridge->linked = true;
            say("ready");
        });
        bridge->blockProgram()->setChecked(true);
        bridge->show();

        port->setSerialPort(unitPath);
        if (!port->Open())
            return false;
        socket->Address = TlsTestRelay::host();
        socket->Port = relayPort;
        socket->setExtraCaCertificates(TlsTestRelay::caCertificates());
        socket->Connect();
        return true;
    }

    void report() const
    {
        std::printf("handling relay_us=%.2f relay_p99_us=%.2f unit_us=%.2f unit_p99_us=%.2f "
                    "relay_cpu_us=%.2f unit_cpu_us=%.2f\n",
                    mean(relayHandlingUs), percentile(relayHandlingUs, 0.99), mean(unitHandlingUs),
                    percentile(unitHandlingUs, 0.99), mean(relayCpuUs), mean(unitCpuUs));
        std::fflush(stdout);
    }
};

// The same socket and port with nothing but a byte copy between them.
struct ForwarderMiddle {
    platform::TlsSocket socket;
    platform::SerialPort port;

    bool start(quint16 relayPort, const QString &unitPath)
    {
        QObject::connect(&socket, &platform::TlsSocket::dataAvailable, &socket, [this] {
            port.Write(socket.ReadAll());
            port.Flush();
        });
        QObject::connect(&port, &platform::SerialPort::dataAvailable, &port, [this] {
            socket.Write(port.ReadAll());
            socket.Flush();
        });
        QObject::connect(&socket, &platform::TlsSocket::connected, &socket, [] { say("ready"); });
        port.setSerialPort(unitPath);
        if (!port.Open())
            return false;
        socket.Address = TlsTestRelay::host();
        socket.Port = relayPort;
        socket.setExtraCaCertificates(TlsTestRelay::caCertificates());
        socket.Connect();
        return true;
    }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: %s bridge|forwarder <relay port> <unit device path>\n", argv[0]);
        return 2;
    }
    const QString mode = arguments.at(1);
    const auto relayPort = static_cast<quint16>(arguments.at(2).toUInt());
    const QString unitPath = arguments.at(3);

    // The benchmark closes our standard input to end the run.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&input] {
        char buffer[256];
        if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
        }
    });

    if (mode == QLatin1String("bridge")) {
        BridgeMiddle bridge;
        if (!bridge.start(relayPort, unitPath))
            return 1;
        const int code = app.exec();
        bridge.report();
        return code;
    }
    if (mode == QLatin1String("forwarder")) {
        ForwarderMiddle forwarder;
        if (!forwarder.start(relayPort, unitPath))
            return 1;
        return app.exec();
    }
    std::fprintf(stderr, "unknown mode %s\n", argv[1]);
    return 2;
}
