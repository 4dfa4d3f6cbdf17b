// mbus_sim: simulated M-Bus meters on a pseudo-terminal, for trying the program without
// hardware. It links <program folder>/ports/<port> to the slave, prints every frame it
// receives and every answer, and removes the link when it ends (Ctrl+C or SIGTERM).
#include "BusSimulator.h"
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
                 "The meters file holds one meter a line, e.g.\n"
                 "  addr=1 id=12345678 mfr=ABC medium=0x07 records=0C1378563412\n"
                 "  addr=2 telegram=heat.hex late=400\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4 || std::strcmp(argv[1], "--help") == 0) {
        usage();
        return 2;
    }
    try {
        BusSimulatorOptions options;
        options.programFolder = argv[2];
        if (argc == 4)
            options.portName = argv[3];
        const std::vector<SimMeter> meters = simReadMetersFile(argv[1]);

        // Ctrl+C and SIGTERM are taken by sigwait below; block them before the simulator's
        // thread starts so it inherits the mask.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        sigaddset(&stopSignals, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

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
