// The cost of the log: 100,000 "Respond:" lines of 331 bytes added to the main window's log
// (a day of read-outs), its view on screen and painted as the lines arrive. Prints the time a
// line takes on average, the memory the process grew by and what the log's lines themselves
// hold, and the time of one repaint of the view.
#include "FakeClock.h"
#include "FakePrompts.h"
#include "LogModel.h"
#include "LogView.h"
#include "ProgramPaths.h"
#include "ProgramWindows.h"
#include "TForm11.h"
#include "TLogin.h"
#include "UserRecord.h"

#include <QApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

constexpr int Lines = 100000;
constexpr std::size_t LineBytes = 331;
// Events (and so the view's painting) run after every this many lines.
constexpr int LinesPerEventRun = 50;

double residentMb()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// What the log's lines hold on the heap: each text's buffer (and its terminator), its string
// object in the list, and the list's spare capacity.
double modelMb(const LogModel& log)
{
    double bytes = static_cast<double>(log.lines().capacity() * sizeof(std::string));
    for (const std::string& line : log.lines())
        if (line.capacity() > 15)   // shorter texts live inside the string object
            bytes += static_cast<double>(line.capacity() + 1);
    return bytes / (1024.0 * 1024.0);
}

std::string respondLine(int i)
{
    std::string line = "Respond: ";
    static const char digits[] = "0123456789ABCDEF";
    for (int b = 0; line.size() < LineBytes; ++b) {
        const unsigned v = static_cast<unsigned>(i * 31 + b * 7) & 0xFF;
        line += digits[v >> 4];
        line += digits[v & 15];
        line += ' ';
    }
    line.resize(LineBytes);
    return line;
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const ProgramPaths paths(dir.path().toStdString(), "ferolt");
    std::ofstream(paths.iniPath(), std::ios::binary) << "[LANXP]\r\nIP=127.0.0.1\r\n";
    FakePrompts prompts;
    FakeClock clock;
    ProgramWindows windows(paths, prompts, clock, [] {});
    // As the tests start the program: the login shown, then an account with every right.
    windows.Login->show();
    windows.Login->ApplyAccess("Setup", UserRights::all());
    TForm11& form = *windows.Form11;
    form.show();
    QApplication::processEvents();

    std::vector<std::string> texts;
    texts.reserve(Lines);
    for (int i = 0; i < Lines; ++i)
        texts.push_back(respondLine(i));

    const double rssBefore = residentMb();
    const double modelBefore = modelMb(form.Log);
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < Lines; ++i) {
        form.Log.add(texts[static_cast<std::size_t>(i)]);
        if (i % LinesPerEventRun == LinesPerEventRun - 1)
            QApplication::processEvents();
    }
    QApplication::processEvents();
    const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - begin;
    const double grown = residentMb() - rssBefore;
    const double model = modelMb(form.Log) - modelBefore;

    // One repaint of the view, full of long lines.
    QWidget* port = form.Memo_current->viewport();
    constexpr int Repaints = 200;
    const auto paintBegin = std::chrono::steady_clock::now();
    for (int i = 0; i < Repaints; ++i)
        port->repaint();
    const std::chrono::duration<double, std::micro> painting = std::chrono::steady_clock::now() - paintBegin;

    std::printf("lines added:          %d of %zu bytes, events run every %d lines\n", Lines, LineBytes,
                LinesPerEventRun);
    std::printf("time per line:        %.2f us (painting included)\n", took.count() / Lines);
    std::printf("memory growth (RSS):  %.1f MB\n", grown);
    std::printf("the log's lines hold: %.1f MB\n", model);
    std::printf("growth beyond them:   %.1f MB (%.2f times the lines' bytes)\n", grown - model,
                (grown - model) / model);
    std::printf("one repaint:          %.0f us (%zu lines in sight)\n", painting.count() / Repaints,
                form.Memo_current->visibleLineCount());
    std::printf("view shows:           %zu lines, the last in sight: %s\n", form.Memo_current->shownLines(),
                form.Memo_current->followsEnd() ? "yes" : "no");
    return 0;
}
