// mbus_sim: simulated M-Bus meters, or the local display, on a pseudo-terminal, for trying
// the program without hardware. It links <program folder>/ports/<port> to the slave, prints
// every frame or command it receives and every answer, and removes the link when it ends
// (Ctrl+C or SIGTERM).
#include "BusSimulator.h"
#include "SimDisplayFile.h"
#include "SimDisplayPty.h"
#include "SimMetersFile.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <pthread.h>
#include <string>

namespace {

void usage()
{
    std::fprintf(stderr,
                 "usage: mbus_sim <meters file> <program folder> [port name, default COM1]\n"
                 "       mbus_sim display <program folder> [port name, default COM1] [entries file]\n"
                 "The meters file holds one meter a line, e.g.\n"
                 "  addr=1 id=12345678 mfr=ABC medium=0x07 records=0C1378563412\n"
                 "  addr=2 telegram=heat.hex late=400\n"
                 "The entries file holds one display device a line, e.g.\n"
                 "  addr=1 unit=2 mult=1 div=1 user=1 start=12.5 total=100,1,2,0 hist=03/24:10;20 text=Flat 1\n");
}

// Ctrl+C, SIGTERM and SIGHUP are taken by sigwait; block them before a simulator's thread
// starts so it inherits the mask.
sigset_t blockStopSignals()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return stopSignals;
}

int runDisplay(int argc, char** argv)
{
    DisplayPtyOptions options;
    options.programFolder = argv[2];
    if (argc >= 4)
        options.portName = argv[3];
    SimDisplay display;
    if (argc == 5)
        simReadDisplayFile(argv[4], display);

    sigset_t stopSignals = blockStopSignals();
    DisplayPtySimulator sim(display, options);
    const auto t0 = SimDisplay::Clock::now();
    display.setObserver([t0](const SimDisplayLogEntry& e) {
        const double s = std::chrono::duration<double>(e.time - t0).count();
        std::printf("%10.3f  %s\n", s, simDisplayLogLine(e).c_str());
        std::fflush(stdout);
    });
    sim.start();
    std::printf("display with %zu device(s) on %s -> %s; Ctrl+C ends\n", display.addresses().size(),
                sim.linkPath().c_str(), sim.slavePath().c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    sim.stop();
    std::printf("stopped; %s removed\n", sim.linkPath().c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const bool displayMode = argc >= 2 && std::strcmp(argv[1], "display") == 0;
    if (argc < 3 || argc > (displayMode ? 5 : 4) || std::strcmp(argv[1], "--help") == 0) {
        usage();
        return 2;
    }
    try {
        if (displayMode)
            return runDisplay(argc, argv);
        BusSimulatorOptions options;
        options.programFolder = argv[2];
        if (argc == 4)
            options.portName = argv[3];
        const std::vector<SimMeter> meters = simReadMetersFile(argv[1]);

        sigset_t stopSignals = blockStopSignals();

        BusSimulator sim(options);
        for (const SimMeter& m : meters)
            sim.addMeter(m);
        const auto t0 = BusSimulator::Clock::now();
        sim.setObserver([t0](const SimLogEntry& e) {
            const double s = std::chrono::duration<double>(e.time - t0).count();
            std::printf("%10.3f  %s\n", s, simLogLine(e).c_str());
            std::fflush(stdout);
        });
        sim.start();
        std::printf("%zu meter(s) on %s -> %s; Ctrl+C ends\n", meters.size(),
                    sim.linkPath().c_str(), sim.slavePath().c_str());
        for (const SimMeter& m : meters)
            std::printf("  address %3u  ID %s  %s  version %02X  medium %02X\n", m.address(),
                        m.idText().c_str(), m.manufacturer().c_str(), m.version(), m.medium());
        std::fflush(stdout);

        int signal = 0;
        sigwait(&stopSignals, &signal);
        sim.stop();
        std::printf("stopped; %s removed\n", sim.linkPath().c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mbus_sim: %s\n", e.what());
        return 1;
    }
}
