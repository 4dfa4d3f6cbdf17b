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
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

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

void touch(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old");
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
