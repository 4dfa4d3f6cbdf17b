// mbus_sim: simulated M-Bus meters, or the local display, for trying the program without
// hardware, on 127.0.0.1 or a pseudo-terminal. Serial mode links <program folder>/ports/<port>
// to the slave and removes the link when it ends; the TCP modes put the meters behind a
// gateway server, a gateway that calls in, or the display's Ethernet module. Every request and
// answer is printed; Ctrl+C or SIGTERM ends it.
#include "BusSimulator.h"
#include "SimDisplayFile.h"
#include "SimDisplayModule.h"
#include "SimDisplayPty.h"
#include "SimDisplayTcp.h"
#include "SimGateway.h"
#include "SimMetersFile.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

void usage()
{
    std::fprintf(stderr,
                 "usage: mbus_sim <meters file> <program folder> [port name, default COM1]\n"
                 "       mbus_sim --gateway-server [--port N] [--net a.b.c.d] <meters file>\n"
                 "       mbus_sim --calling-in <program's listening port> [--net a.b.c.d] [--hello] <meters file>\n"
                 "       mbus_sim --display-module [--port N] <meters file>\n"
                 "       mbus_sim display <program folder> [port name, default COM1] [entries file]\n"
                 "       mbus_sim display --gateway-server|--calling-in N|--display-module [options] [entries file]\n"
                 "The TCP modes use 127.0.0.1 only; without --port the system chooses the port.\n"
                 "--hello: a calling-in gateway sends a status packet (status 00) as it connects.\n"
                 "The meters file holds one meter a line, e.g.\n"
                 "  addr=1 id=12345678 mfr=ABC medium=0x07 records=0C1378563412\n"
                 "  addr=2 telegram=heat.hex late=400\n"
                 "The entries file holds one display device a line, e.g.\n"
                 "  addr=1 unit=2 mult=1 div=1 user=1 start=12.5 total=100,1,2,0 hist=03/24:10;20 text=Flat 1\n");
}

struct Args {
    bool display = false; // the local display instead of meters
    std::string mode; // "", "--gateway-server", "--calling-in", "--display-module"
    std::uint16_t port = 0;
    simeth::NetNumber net {10, 0, 0, 1};
    bool hello = false;
    std::vector<std::string> rest;
};

std::uint16_t portOf(const std::string& text)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos
        || std::stoul(text) > 65535)
        throw std::invalid_argument("not a port: " + text);
    return static_cast<std::uint16_t>(std::stoul(text));
}

simeth::NetNumber netOf(const std::string& text)
{
    simeth::NetNumber net {};
    std::size_t from = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t dot = i < 3 ? text.find('.', from) : text.size();
        const std::string part = dot == std::string::npos ? "" : text.substr(from, dot - from);
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos
            || std::stoul(part) > 255)
            throw std::invalid_argument("not a network number: " + text);
        net[i] = static_cast<std::uint8_t>(std::stoul(part));
        from = dot + 1;
    }
    return net;
}

Args parse(int argc, char** argv)
{
    Args a;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::invalid_argument(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--gateway-server" || arg == "--display-module")
            a.mode = arg;
        else if (arg == "--calling-in") {
            a.mode = arg;
            a.port = portOf(value());
        } else if (arg == "--port")
            a.port = portOf(value());
        else if (arg == "--net")
            a.net = netOf(value());
        else if (arg == "--hello")
            a.hello = true;
        else if (arg.starts_with("--"))
            throw std::invalid_argument("unknown option " + arg);
        else if (i == 1 && arg == "display")
            a.display = true;
        else
            a.rest.push_back(arg);
    }
    return a;
}

void print(const std::chrono::steady_clock::time_point t0, const SimLogEntry& e)
{
    const double s = std::chrono::duration<double>(e.time - t0).count();
    std::printf("%10.3f  %s\n", s, simLogLine(e).c_str());
    std::fflush(stdout);
}

void listMeters(const std::vector<SimMeter>& meters)
{
    for (const SimMeter& m : meters)
        std::printf("  address %3u  ID %s  %s  version %02X  medium %02X\n", m.address(),
                    m.idText().c_str(), m.manufacturer().c_str(), m.version(), m.medium());
    std::fflush(stdout);
}

// Waits for Ctrl+C, SIGTERM or SIGHUP; every `tick` seconds (0: never) runs `onTick`.
template <class F>
void waitForStop(const sigset_t& stopSignals, int tick, F onTick)
{
    for (;;) {
        if (tick == 0) {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            return;
        }
        const timespec t {tick, 0};
        if (sigtimedwait(&stopSignals, nullptr, &t) > 0)
            return;
        onTick();
    }
}

int runSerial(const Args& a, const std::vector<SimMeter>& meters, const sigset_t& stopSignals)
{
    BusSimulatorOptions options;
    options.programFolder = a.rest[1];
    if (a.rest.size() == 3)
        options.portName = a.rest[2];
    BusSimulator sim(options);
    for (const SimMeter& m : meters)
        sim.addMeter(m);
    const auto t0 = BusSimulator::Clock::now();
    sim.setObserver([t0](const SimLogEntry& e) { print(t0, e); });
    sim.start();
    std::printf("%zu meter(s) on %s -> %s; Ctrl+C ends\n", meters.size(), sim.linkPath().c_str(),
                sim.slavePath().c_str());
    listMeters(meters);
    waitForStop(stopSignals, 0, [] {});
    sim.stop();
    std::printf("stopped; %s removed\n", sim.linkPath().c_str());
    return 0;
}

void printDisplayLog(SimDisplay& display, std::chrono::steady_clock::time_point t0)
{
    display.setObserver([t0](const SimDisplayLogEntry& e) {
        const double s = std::chrono::duration<double>(e.time - t0).count();
        std::printf("%10.3f  %s\n", s, simDisplayLogLine(e).c_str());
        std::fflush(stdout);
    });
}

int runDisplay(const Args& a, SimDisplay& display, const sigset_t& stopSignals)
{
    DisplayPtyOptions options;
    options.programFolder = a.rest[0];
    if (a.rest.size() >= 2)
        options.portName = a.rest[1];
    DisplayPtySimulator sim(display, options);
    printDisplayLog(display, SimDisplay::Clock::now());
    sim.start();
    std::printf("display with %zu device(s) on %s -> %s; Ctrl+C ends\n", display.addresses().size(),
                sim.linkPath().c_str(), sim.slavePath().c_str());
    std::fflush(stdout);
    waitForStop(stopSignals, 0, [] {});
    sim.stop();
    std::printf("stopped; %s removed\n", sim.linkPath().c_str());
    return 0;
}

template <class Sim>
void addMeters(Sim& sim, const std::vector<SimMeter>& meters)
{
    for (const SimMeter& m : meters)
        sim.addMeter(m);
}

// With a display, its answers take the text commands and its log is printed too.
int runTcp(const Args& a, const std::vector<SimMeter>& meters, SimDisplay* display, const sigset_t& stopSignals)
{
    const auto t0 = std::chrono::steady_clock::now();
    // The display's log shows its texts and replies; the simulator's the rest.
    auto observer = [t0, display](const SimLogEntry& e) {
        if (!display || (e.kind != SimLogEntry::Kind::Text && e.kind != SimLogEntry::Kind::Reply))
            print(t0, e);
    };
    if (display)
        printDisplayLog(*display, t0);
    const std::string with = display ? "the display of " + std::to_string(display->addresses().size()) + " device(s)"
                                     : std::to_string(meters.size()) + " meter(s)";
    auto attach = [display](auto& sim) {
        if (display)
            simAttachDisplay(sim, *display);
    };
    if (a.mode == "--display-module") {
        SimDisplayOptions options;
        options.listenPort = a.port;
        SimDisplayModule sim(options);
        addMeters(sim, meters);
        attach(sim);
        sim.setObserver(observer);
        std::printf("display module on 127.0.0.1:%u with %s; Ctrl+C ends\n", sim.port(), with.c_str());
        listMeters(meters);
        waitForStop(stopSignals, 0, [] {});
    } else if (a.mode == "--gateway-server") {
        SimGatewayOptions options;
        options.listenPort = a.port;
        options.net = a.net;
        SimGateway sim(SimGateway::Mode::Server, options);
        addMeters(sim, meters);
        attach(sim);
        sim.setObserver(observer);
        std::printf("gateway server on 127.0.0.1:%u, network number %s, with %s; Ctrl+C ends\n", sim.port(),
                    simeth::netText(a.net).c_str(), with.c_str());
        listMeters(meters);
        waitForStop(stopSignals, 0, [] {});
    } else {
        SimGatewayOptions options;
        options.net = a.net;
        SimGateway sim(SimGateway::Mode::CallingIn, options);
        addMeters(sim, meters);
        attach(sim);
        if (a.hello)
            sim.setFirstPacket(simeth::statusReply(a.net, 0, {}));
        sim.setObserver(observer);
        std::printf("gateway calling in to 127.0.0.1:%u, network number %s, with %s; Ctrl+C ends\n", a.port,
                    simeth::netText(a.net).c_str(), with.c_str());
        listMeters(meters);
        // Calls in, and calls again two seconds after the connection is gone or failed.
        sim.callIn(a.port);
        waitForStop(stopSignals, 2, [&] {
            if (sim.connectionCount() == 0)
                sim.callIn(a.port);
        });
    }
    std::printf("stopped\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        usage();
        return 2;
    }
    Args a;
    try {
        a = parse(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mbus_sim: %s\n", e.what());
        usage();
        return 2;
    }
    const bool serial = a.mode.empty();
    const bool fits = a.display ? (serial ? !a.rest.empty() && a.rest.size() <= 3 : a.rest.size() <= 1)
        : serial                ? a.rest.size() >= 2 && a.rest.size() <= 3
                                : a.rest.size() == 1;
    if (!fits) {
        usage();
        return 2;
    }
    try {
        const std::vector<SimMeter> meters = a.display ? std::vector<SimMeter>() : simReadMetersFile(a.rest[0]);

        // Ctrl+C and SIGTERM are taken by sigwait; block them before the simulator's thread
        // starts so it inherits the mask.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        sigaddset(&stopSignals, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

        if (a.display) {
            SimDisplay display;
            const std::size_t entriesAt = serial ? 2 : 0;
            if (a.rest.size() > entriesAt)
                simReadDisplayFile(a.rest[entriesAt], display);
            return serial ? runDisplay(a, display, stopSignals) : runTcp(a, {}, &display, stopSignals);
        }
        return serial ? runSerial(a, meters, stopSignals) : runTcp(a, meters, nullptr, stopSignals);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mbus_sim: %s\n", e.what());
        return 1;
    }
}
