// The searches against the bus time they must wait, with a response time-out of 300 ms.
// The primary search: 25 recorded meters among addresses 1 to 250, no retries; one iteration
// is "Find" from 1 to 250 until the search has ended; the ratio is its time over 250
// time-outs. The wildcard search: below.
#include "BusSimulator.h"
#include "Clock.h"
#include "HexFile.h"
#include "ProgramPaths.h"
#include "ProgramWindows.h"
#include "Prompts.h"
#include "StringGridView.h"
#include "TForm11.h"
#include "TLogin.h"
#include "TSettings.h"
#include "UpDownEdit.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
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

// The program's windows offscreen in a temporary program folder, with the simulator on
// ports/COM1 holding the meters that addMeters gives it.
struct SearchSetup {
    explicit SearchSetup(const std::function<void(BusSimulator&)>& addMeters)
        : paths(dir.path().toStdString(), "ferolt"), bus(busOptions(paths))
    {
        {
            std::ofstream ini(paths.iniPath(), std::ios::binary);
            ini << "[Com port]\r\nName=COM1\r\nSpeed=2400\r\n[Misc]\r\nRetry=0\r\n[Mbus]\r\nTimeout=" << Timeout
                << "\r\n[LANXP]\r\nIP=127.0.0.1\r\n";
        }
        addMeters(bus);
        bus.start();
        windows = std::make_unique<ProgramWindows>(paths, prompts, clock, [] {});
        windows->Login->ApplyAccess("Setup", UserRights::all());   // logged in, no hex log
    }
    static BusSimulatorOptions busOptions(const ProgramPaths& paths)
    {
        BusSimulatorOptions options;
        options.programFolder = paths.folder();
        return options;
    }
    TForm11& form() { return *windows->Form11; }

    QTemporaryDir dir;
    ProgramPaths paths;
    BusSimulator bus;
    YesPrompts prompts;
    FixedClock clock;
    std::unique_ptr<ProgramWindows> windows;
};

void PrimarySearch(benchmark::State& state)
{
    SearchSetup setup([](BusSimulator& bus) {
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
    });
    BusSimulator& bus = setup.bus;
    TForm11& form = setup.form();

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

// The wildcard search: 50 meters of IDs 12345600 to 12345649, most significant digit first.
// Their common prefixes cost 120 selects and 61 reads at 253, each followed by one time-out;
// the ratio is the search's time over those 181 time-outs.
void SecondarySearch(benchmark::State& state)
{
    constexpr int Meters = 50;
    constexpr int Selects = 120;
    constexpr int Reads = 61;
    SearchSetup setup([](BusSimulator& bus) {
        for (int i = 0; i < Meters; ++i) {
            char id[9];
            std::snprintf(id, sizeof id, "123456%02d", i);
            bus.addMeter(SimMeter(static_cast<std::uint8_t>(i + 1), id, "ABC", 1, 0x07, std::string("\x0C\x13\x11\0\0\0", 6)));
        }
    });
    BusSimulator& bus = setup.bus;
    TForm11& form = setup.form();
    form.Settings->Check_LSB->setChecked(false);
    const std::string endLine = "Secondary search thread terminated normally.";

    for (auto _ : state) {
        bus.clearLog();
        form.Log.clear();
        const auto begin = std::chrono::steady_clock::now();
        form.Butt_find_all->click();
        const auto ended = [&] {
            const auto& lines = form.Log.lines();
            return std::find(lines.begin(), lines.end(), endLine) != lines.end();
        };
        while (!ended())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
        state.SetIterationTime(took.count());

        int selects = 0, reads = 0;
        for (const SimLogEntry& e : bus.frames()) {
            selects += e.isLongFrame(0x53, 0x52);
            reads += e.isReqUd2(253);
        }
        if (selects != Selects || reads != Reads || form.Grid_vantrel->grid().RowCount() != Meters + 2) {
            state.SkipWithError("the search did not take 120 selects and 61 reads, or missed a meter");
            break;
        }
        state.counters["ratio"] = took.count() / ((Selects + Reads) * Timeout / 1000.0);
    }
}
BENCHMARK(SecondarySearch)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

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
