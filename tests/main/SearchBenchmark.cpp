// The primary search against the bus time it must wait: 25 recorded meters among addresses
// 1 to 250, no retries, a response time-out of 300 ms. One iteration is "Find" from 1 to 250
// until the search has ended; the ratio is its time over 250 time-outs.
#include "BusSimulator.h"
#include "Clock.h"
#include "HexFile.h"
#include "ProgramPaths.h"
#include "ProgramWindows.h"
#include "Prompts.h"
#include "TForm11.h"
#include "TLogin.h"
#include "UpDownEdit.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

constexpr int Timeout = 300;
constexpr int Addresses = 250;

// Every question answered Yes; no dialog is expected.
class YesPrompts : public Prompts {
public:
    Answer message(QWidget*, Icon, std::string_view, std::string_view, Buttons) override { return Answer::Yes; }
    bool choosePrinter(QWidget*, QPrinter&) override { return false; }

protected:
    std::string showOpenDialog(QWidget*, const FileDialog&) override { return {}; }
    std::string showSaveDialog(QWidget*, const FileDialog&) override { return {}; }
};

class FixedClock : public Clock {
public:
    LocalDateTime now() const override { return {2026, 2, 3, 14, 5, 9, 0}; }
};

void PrimarySearch(benchmark::State& state)
{
    QTemporaryDir dir;
    const ProgramPaths paths(dir.path().toStdString(), "ferolt");
    {
        std::ofstream ini(paths.iniPath(), std::ios::binary);
        ini << "[Com port]\r\nName=COM1\r\nSpeed=2400\r\n[Misc]\r\nRetry=0\r\n[Mbus]\r\nTimeout=" << Timeout
            << "\r\n[LANXP]\r\nIP=127.0.0.1\r\n";
    }
    BusSimulatorOptions options;
    options.programFolder = paths.folder();
    BusSimulator bus(options);
    const auto files = telegramFiles("meters");
    std::size_t file = 0;
    for (int i = 0; i < 25; ++i) {
        for (;; file = (file + 1) % files.size()) {
            try {
                bus.addMeter(SimMeter::fromTelegram(static_cast<std::uint8_t>(10 * i + 3), readHexFile(files[file])));
                file = (file + 1) % files.size();
                break;
            } catch (const std::exception&) {
                // not a long frame: the next file
            }
        }
    }
    bus.start();

    YesPrompts prompts;
    FixedClock clock;
    ProgramWindows windows(paths, prompts, clock, [] {});
    windows.Login->ApplyAccess("Setup", UserRights::all());   // logged in, no hex log
    TForm11& form = *windows.Form11;

    for (auto _ : state) {
        bus.clearLog();
        form.UD_address_min->setValue(1);
        form.UD_address_max->setValue(Addresses);
        const auto begin = std::chrono::steady_clock::now();
        form.Butt_find_primary->click();
        while (form.SearchActive)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
        state.SetIterationTime(took.count());

        std::size_t requests = 0;
        for (const SimLogEntry& e : bus.frames())
            requests += e.isReqUd2();
        if (requests != Addresses) {
            state.SkipWithError("the bus did not see one request per address");
            break;
        }
        state.counters["ratio"] = took.count() / (Addresses * Timeout / 1000.0);
    }
}
BENCHMARK(PrimarySearch)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
