#include "FakePrompts.h"
#include "QtPrompts.h"
#include "Text8.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

using Answer = Prompts::Answer;
using Buttons = Prompts::Buttons;
using Icon = Prompts::Icon;

std::string bytesOf(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Watches for modal windows while a box or dialog runs: every one that appears is handed
// to the handler (which must close it), so a test never hangs on an unexpected box.
class ModalWatch {
public:
    explicit ModalWatch(std::function<void(QWidget*)> handler) : handler_(std::move(handler))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || w == busy_)
                return;
            busy_ = w;
            seen.push_back(w->metaObject()->className());
            handler_(w);
        });
        timer_.start(5);
    }
    std::vector<std::string> seen;

private:
    std::function<void(QWidget*)> handler_;
    QTimer timer_;
    QWidget* busy_ = nullptr;
};

void touch(const QString& path, const QByteArray& bytes = "old")
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Ends the test binary with a message when the GUI thread has run no event for bound, as
// when a dialog waits in a read that never returns: the test fails instead of hanging.
class GuiWatchdog {
public:
    explicit GuiWatchdog(std::chrono::seconds bound) : bound_(bound)
    {
        QObject::connect(&beat_, &QTimer::timeout, [this] { beats_.fetch_add(1); });
        beat_.start(20);
        watcher_ = std::thread([this] { watch(); });
    }
    ~GuiWatchdog()
    {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        watcher_.join();
    }
    GuiWatchdog(const GuiWatchdog&) = delete;
    GuiWatchdog& operator=(const GuiWatchdog&) = delete;

private:
    void watch()
    {
        using Clock = std::chrono::steady_clock;
        std::unique_lock lock(mutex_);
        long last = beats_.load();
        Clock::time_point since = Clock::now();
        while (!wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stop_; })) {
            const long now = beats_.load();
            if (now != last) {
                last = now;
                since = Clock::now();
            } else if (Clock::now() - since > bound_) {
                std::fprintf(stderr, "FAILED: the GUI thread has run no event for %lld s: a dialog is blocked\n",
                             static_cast<long long>(bound_.count()));
                std::fflush(stderr);
                std::_Exit(EXIT_FAILURE);
            }
        }
    }

    const std::chrono::seconds bound_;
    QTimer beat_;
    std::atomic<long> beats_ {0};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread watcher_;
};

// The names of the files in folder that were opened since the watch began (Linux inotify).
class OpenWatch {
public:
    explicit OpenWatch(const QString& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        EXPECT_GE(fd_, 0);
        if (fd_ >= 0) {
            EXPECT_GE(::inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_OPEN | IN_ACCESS), 0);
        }
    }
    ~OpenWatch()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    std::set<std::string> opened()
    {
        alignas(inotify_event) char buf[4096];
        for (;;) {
            const ssize_t n = fd_ >= 0 ? ::read(fd_, buf, sizeof buf) : -1;
            if (n <= 0)
                break;
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
                if (e->len > 0 && !(e->mask & IN_ISDIR))   // the folder's own events have no name
                    names_.insert(e->name);
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        return names_;
    }

private:
    int fd_;
    std::set<std::string> names_;
};

std::string typeText(const QMimeType& mime)
{
    return (mime.comment().isEmpty() ? mime.name() : mime.comment()).toStdString();
}

// The "Type" column's text of the dialog's row for name in folder, once the dialog lists it;
// empty when it is not listed within a generous bound.
std::string listedType(QFileDialog* dialog, const QString& folder, const QString& name)
{
    auto* model = dialog->findChild<QFileSystemModel*>();
    EXPECT_NE(model, nullptr);
    if (!model)
        return {};
    QString type;
    (void)QTest::qWaitFor([&] {
        const QModelIndex parent = model->index(folder);
        for (int row = 0; row < model->rowCount(parent); ++row)
            if (model->index(row, 0, parent).data().toString() == name)
                type = model->index(row, 2, parent).data().toString();
        return !type.isEmpty();
    }, 120000);
    return type.toStdString();
}

} // namespace

// ---- the rules every Prompts applies, seen through the fake ----

TEST(Prompts, AMissingStartFolderFallsBackToTheCallersFolder)
{
    QTemporaryDir tmp;
    const std::string existing = bytesOf(tmp.path());
    const std::string fallback = bytesOf(tmp.path()) + "/fallback";
    struct Case { std::string initial; std::string expected; };
    const std::vector<Case> cases = {
        {existing, existing},
        {existing + "/", existing + "/"},
        {existing + "/missing", fallback},
        {"C:\\Data\\", fallback},
        {"", fallback},
        {existing + "/plain", fallback},   // a regular file is no folder
    };
    touch(tmp.filePath("plain"));
    FakePrompts prompts;
    for (const Case& c : cases) {
        prompts.queueSaveFile(std::nullopt);
        prompts.queueOpenFile(std::nullopt);
        Prompts::FileDialog d;
        d.initialFolder = c.initial;
        d.fallbackFolder = fallback;
        d.fileName = c.initial + "log.txt";
        EXPECT_FALSE(prompts.saveFile(nullptr, d));
        EXPECT_FALSE(prompts.openFile(nullptr, d));
        ASSERT_EQ(prompts.dialogs.size(), 2u);
        EXPECT_EQ(prompts.dialogs[0].kind, FakePrompts::DialogKind::Save);
        EXPECT_EQ(prompts.dialogs[0].args.initialFolder, c.expected) << c.initial;
        EXPECT_EQ(prompts.dialogs[0].args.fileName, c.initial + "log.txt");   // proposed as given
        EXPECT_EQ(prompts.dialogs[1].kind, FakePrompts::DialogKind::Open);
        EXPECT_EQ(prompts.dialogs[1].args.initialFolder, c.expected) << c.initial;
        prompts.dialogs.clear();
    }
}

TEST(Prompts, TheDefaultExtensionIsAddedOnlyToANameWithout)
{
    struct Case { std::optional<std::string> chosen; std::string extension; std::optional<std::string> result; };
    const std::vector<Case> cases = {
        {"/d/log", "txt", "/d/log.txt"},
        {"/d/log", ".txt", "/d/log.txt"},
        {"/d/log.csv", "txt", "/d/log.csv"},
        {"/d/log.", "txt", "/d/log."},
        {"/d.x/log", "txt", "/d.x/log.txt"},
        {"log", "txt", "log.txt"},
        {"/d/log", "", "/d/log"},
        {std::string(), "txt", std::nullopt},
        {std::nullopt, "txt", std::nullopt},
    };
    FakePrompts prompts;
    for (const Case& c : cases) {
        prompts.queueSaveFile(c.chosen);
        Prompts::FileDialog d;
        d.defaultExtension = c.extension;
        EXPECT_EQ(prompts.saveFile(nullptr, d), c.result) << c.chosen.value_or("(cancel)") << " " << c.extension;
    }
    prompts.queueOpenFile("/d/data");
    Prompts::FileDialog d;
    d.defaultExtension = "csv";
    EXPECT_EQ(prompts.openFile(nullptr, d), "/d/data");   // an open dialog picks an existing file
}

// ---- the fake itself: other subsystems' tests rely on it failing loudly ----

TEST(FakePrompts, RecordsBoxesAndAnswersOkBoxesItself)
{
    FakePrompts prompts;
    QWidget owner;
    EXPECT_EQ(prompts.message(&owner, Icon::Warning, "Saving settings", "Settings will not be saved"), Answer::Ok);
    prompts.queueAnswer(Answer::No);
    EXPECT_EQ(prompts.ask(&owner, Icon::Warning, "Exit Confirmation", "Are you sure you want to exit?"), Answer::No);
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[0].owner, &owner);
    EXPECT_EQ(prompts.boxes[0].icon, Icon::Warning);
    EXPECT_EQ(prompts.boxes[0].caption, "Saving settings");
    EXPECT_EQ(prompts.boxes[0].buttons, Buttons::Ok);
    EXPECT_EQ(prompts.boxes[1].text, "Are you sure you want to exit?");
    EXPECT_EQ(prompts.boxes[1].buttons, Buttons::YesNo);
}

TEST(FakePrompts, FailsTheTestWhenAnAnswerIsMissingOrLeftOver)
{
    EXPECT_NONFATAL_FAILURE(
        {
            FakePrompts p;
            EXPECT_EQ(p.ask(nullptr, Icon::Warning, "c", "t"), Answer::No);
        },
        "no answer queued");
    EXPECT_NONFATAL_FAILURE(
        {
            FakePrompts p;
            EXPECT_EQ(p.ask(nullptr, Icon::Warning, "c", "t", Buttons::YesNoCancel), Answer::Cancel);
        },
        "no answer queued");
    EXPECT_NONFATAL_FAILURE(
        {
            FakePrompts p;
            EXPECT_FALSE(p.saveFile(nullptr, {}));
        },
        "no answer queued");
    EXPECT_NONFATAL_FAILURE(
        {
            FakePrompts p;
            QPrinter printer;
            EXPECT_FALSE(p.choosePrinter(nullptr, printer));
        },
        "no answer queued");
    EXPECT_NONFATAL_FAILURE(
        {
            FakePrompts p;
            p.queueSaveFile("/tmp/x");   // the dialog was never shown
        },
        "never used");
    EXPECT_NONFATAL_FAILURE(
        {
            FakePrompts p;
            p.queueAnswer(Answer::Yes);
            EXPECT_EQ(p.message(nullptr, Icon::Error, "Error saving file", "x", Buttons::Ok), Answer::Ok);
        },
        "never used");
    EXPECT_NONFATAL_FAILURE(
        {
            FakePrompts p;
            p.queueAnswer(Answer::Ok);
            p.ask(nullptr, Icon::Warning, "c", "t");
        },
        "no button");
}

TEST(FakePrompts, PrinterAnswersSetThePrinterUp)
{
    QTemporaryDir tmp;
    FakePrompts prompts;
    QWidget owner;
    prompts.queuePrinterToPdf(tmp.filePath("log.pdf"));
    prompts.queuePrinterCancel();
    QPrinter printer;
    EXPECT_TRUE(prompts.choosePrinter(&owner, printer));
    EXPECT_EQ(printer.outputFormat(), QPrinter::PdfFormat);
    EXPECT_EQ(printer.outputFileName(), tmp.filePath("log.pdf"));
    EXPECT_FALSE(prompts.choosePrinter(&owner, printer));
    EXPECT_EQ(prompts.printerOwners, (std::vector<QWidget*>{&owner, &owner}));
}

// ---- the Qt boxes and dialogs ----

TEST(QtPrompts, AMessageShowsItsTextsPlainAndOwnedByItsWindow)
{
    QWidget owner;
    QtPrompts prompts;
    const std::string text = "Zapis niemo\xBFliwy <b>bold</b>\n& more";
    QString shownText, shownTitle;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    QWidget* parent = nullptr;
    int buttons = 0;
    ModalWatch watch([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box)
            return;
        shownText = box->text();
        shownTitle = box->windowTitle();
        shownIcon = box->icon();
        format = box->textFormat();
        parent = box->parentWidget();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(prompts.message(&owner, Icon::Warning, "Saving settings", text), Answer::Ok);
    EXPECT_EQ(shownText, Text8::toUnicode(text));
    EXPECT_EQ(shownTitle, QStringLiteral("Saving settings"));
    EXPECT_EQ(shownIcon, QMessageBox::Warning);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(parent, &owner);
    EXPECT_EQ(buttons, 1);
}

TEST(QtPrompts, QuestionsGiveTheButtonPressed)
{
    struct Case {
        Buttons buttons;
        Icon icon;
        std::function<void(QMessageBox*)> press;
        Answer expected;
        QMessageBox::Icon qtIcon;
    };
    const std::vector<Case> cases = {
        {Buttons::YesNo, Icon::Warning, [](QMessageBox* b) { b->button(QMessageBox::No)->click(); }, Answer::No, QMessageBox::Warning},
        {Buttons::YesNo, Icon::Question, [](QMessageBox* b) { b->button(QMessageBox::Yes)->click(); }, Answer::Yes, QMessageBox::Question},
        {Buttons::YesNo, Icon::Warning, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }, Answer::No, QMessageBox::Warning},
        {Buttons::YesNo, Icon::Warning, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); }, Answer::Yes, QMessageBox::Warning},
        {Buttons::YesNoCancel, Icon::Warning, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }, Answer::Cancel, QMessageBox::Warning},
        {Buttons::YesNoCancel, Icon::Information, [](QMessageBox* b) { b->button(QMessageBox::No)->click(); }, Answer::No, QMessageBox::Information},
        {Buttons::OkCancel, Icon::Error, [](QMessageBox* b) { b->button(QMessageBox::Cancel)->click(); }, Answer::Cancel, QMessageBox::Critical},
        {Buttons::OkCancel, Icon::None, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); }, Answer::Ok, QMessageBox::NoIcon},
    };
    QtPrompts prompts;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
        ModalWatch watch([&](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                shownIcon = box->icon();
                c.press(box);
            }
        });
        EXPECT_EQ(prompts.ask(nullptr, c.icon, "Exit Confirmation", "Sure?", c.buttons), c.expected) << "case " << i;
        EXPECT_EQ(shownIcon, c.qtIcon) << "case " << i;
    }
}

TEST(QtPrompts, TheSaveDialogReplacesWithoutAskingAndAddsTheExtension)
{
    QTemporaryDir tmp;
    const QString folder = tmp.filePath(QString::fromUtf8("łódź"));   // a folder name outside Windows-1250
    ASSERT_TRUE(QDir().mkpath(folder));
    touch(folder + "/log.txt");
    QtPrompts prompts;

    struct Case { QString typed; std::optional<std::string> expected; };
    const std::vector<Case> cases = {
        {folder + "/log.txt", bytesOf(folder + "/log.txt")},   // an existing file: no question
        {folder + "/report", bytesOf(folder + "/report.txt")},
        {QString(), std::nullopt},                              // Cancel
    };
    for (const Case& c : cases) {
        QString startDir;
        bool confirms = true;
        QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
        ModalWatch watch([&](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) {   // an overwrite question: the fault
                box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)->click() : box->accept();
                return;
            }
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (!dialog)
                return;
            startDir = dialog->directory().absolutePath();
            confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            mode = dialog->acceptMode();
            if (c.typed.isEmpty()) {
                dialog->reject();
            } else {
                dialog->selectFile(c.typed);
                QMetaObject::invokeMethod(dialog, "accept");
            }
        });
        Prompts::FileDialog d;
        d.caption = "Save log";
        d.filter = "Text Files (*.txt)";
        d.defaultExtension = "txt";
        d.initialFolder = bytesOf(folder);
        d.fileName = bytesOf(folder) + "/log.txt";
        EXPECT_EQ(prompts.saveFile(nullptr, d), c.expected) << c.typed.toStdString();
        EXPECT_EQ(startDir, QDir(folder).absolutePath());
        EXPECT_FALSE(confirms);
        EXPECT_EQ(mode, QFileDialog::AcceptSave);
        EXPECT_EQ(std::count(watch.seen.begin(), watch.seen.end(), std::string("QMessageBox")), 0);
    }
    QFile f(folder + "/log.txt");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("old"));   // the dialog only chooses; nothing was written
}

TEST(QtPrompts, TheOpenDialogChoosesAnExistingFile)
{
    QTemporaryDir tmp;
    touch(tmp.filePath("meters_data.csv"));
    QtPrompts prompts;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QString proposed;
    ModalWatch watch([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        if (!dialog)
            return;
        fileMode = dialog->fileMode();
        proposed = dialog->selectedFiles().value(0);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    Prompts::FileDialog d;
    d.filter = "CSV Files (*.csv)";
    d.initialFolder = bytesOf(tmp.path() + "/no such folder");
    d.fallbackFolder = bytesOf(tmp.path());
    d.fileName = "meters_data.csv";
    EXPECT_EQ(prompts.openFile(nullptr, d), bytesOf(tmp.filePath("meters_data.csv")));
    EXPECT_EQ(fileMode, QFileDialog::ExistingFile);
    EXPECT_EQ(proposed, tmp.filePath("meters_data.csv"));
}

TEST(QtPrompts, AnOpenDialogMayAcceptTheNameOfAMissingFile)
{
    QTemporaryDir tmp;
    QtPrompts prompts;
    const QString missing = tmp.filePath("typed.csv");
    QPointer<QFileDialog> shown;
    ModalWatch watch([&](QWidget* w) {
        if (auto* dialog = qobject_cast<QFileDialog*>(w)) {
            shown = dialog;
            dialog->selectFile(missing);
            // Queued: a box the dialog may raise must be seen by this watch.
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        } else if (auto* box = qobject_cast<QDialog*>(w)) {
            // The dialog refused the name with a box of its own: close both.
            box->reject();
            if (shown)
                shown->reject();
        }
    });
    Prompts::FileDialog d;
    d.filter = "CSV (*.csv)";
    d.initialFolder = bytesOf(tmp.path());
    d.mustExist = false;
    EXPECT_EQ(prompts.openFile(nullptr, d), bytesOf(missing));
}

// A file whose name tells nothing gets its type from the name, as every other file: the
// dialog never opens a file to describe it, in the list nor for a proposed name.
TEST(QtPrompts, TheFileDialogsTellAFilesTypeByItsNameWithoutOpeningIt)
{
    QTemporaryDir tmp;
    const QString scan = tmp.filePath("scan");   // the first bytes of a PDF document
    touch(scan, "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n");
    touch(tmp.filePath("notes.txt"));
    const QMimeDatabase mimes;
    const std::string byName = typeText(mimes.mimeTypeForFile(scan, QMimeDatabase::MatchExtension));
    ASSERT_NE(typeText(mimes.mimeTypeForFile(scan, QMimeDatabase::MatchContent)), byName)
        << "the content must tell another type than the name";

    QtPrompts prompts;
    struct Case { bool save; const char* filter; const char* listed; };
    for (const Case& c : {Case {false, "Scans (*)", "scan"}, Case {true, "Text Files (*.txt)", "notes.txt"}}) {
        SCOPED_TRACE(c.filter);
        OpenWatch opens(tmp.path());
        std::string listedAs, scanType;
        ModalWatch watch([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (!dialog)
                return;
            listedAs = listedType(dialog, tmp.path(), c.listed);
            scanType = dialog->findChild<QFileSystemModel*>()->index(scan, 2).data().toString().toStdString();
            dialog->reject();
        });
        Prompts::FileDialog d;
        d.filter = c.filter;
        d.initialFolder = bytesOf(tmp.path());
        d.fileName = "scan";
        EXPECT_EQ(c.save ? prompts.saveFile(nullptr, d) : prompts.openFile(nullptr, d), std::nullopt);
        EXPECT_FALSE(listedAs.empty()) << "the folder was not listed";
        EXPECT_EQ(scanType, byName);
        EXPECT_EQ(opens.opened(), std::set<std::string> {});
    }
}

// Run as root, a file under /proc whose read waits for the kernel (kmsg) once froze the
// program in its dialog. The dialog lists /proc, names kmsg as typed, and keeps running.
TEST(QtPrompts, AFileDialogOnProcListsItAndKeepsRunning)
{
    const GuiWatchdog watchdog(std::chrono::seconds(60));
    const bool kmsg = QFileInfo("/proc/kmsg").isFile();   // a container may put a device there
    const QMimeDatabase mimes;
    QtPrompts prompts;
    std::string selfType, kmsgType;
    ModalWatch watch([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        if (!dialog)
            return;
        selfType = listedType(dialog, "/proc", "self");
        if (kmsg)
            kmsgType = listedType(dialog, "/proc", "kmsg");
        dialog->reject();
    });
    Prompts::FileDialog d;
    d.filter = "All files (*)";
    d.initialFolder = "/proc";
    d.fileName = "kmsg";
    EXPECT_EQ(prompts.saveFile(nullptr, d), std::nullopt);
    EXPECT_FALSE(selfType.empty()) << "/proc was not listed";
    if (kmsg) {
        EXPECT_EQ(kmsgType, typeText(mimes.mimeTypeForFile("/proc/kmsg", QMimeDatabase::MatchExtension)));
    }
}

TEST(QtPrompts, APrintDialogAcceptsOrCancels)
{
    QtPrompts prompts;
    for (const bool accept : {true, false}) {
        QPrinter printer;
        bool shown = false;
        ModalWatch watch([&](QWidget* w) {
            auto* dialog = qobject_cast<QPrintDialog*>(w);
            if (!dialog)
                return;
            shown = true;
            accept ? dialog->accept() : dialog->reject();
        });
        EXPECT_EQ(prompts.choosePrinter(nullptr, printer), accept);
        EXPECT_TRUE(shown);
    }
}
