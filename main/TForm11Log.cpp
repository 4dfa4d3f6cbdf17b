// The main window's log commands (clear, save, print), its File, Tools and Help menus, and
// the pages' show handlers.
#include "TForm11.h"

#include "AtomicFile.h"
#include "LocaleTime.h"
#include "LogPrint.h"
#include "Prompts.h"
#include "QtPrintDevice.h"
#include "TFAbout.h"
#include "TFUsers.h"
#include "Text8.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include <exception>
#include <optional>

namespace {

const char* const NoRightsLine = "Can not write file, no rights...";

// name inside folder, with a '/' between them unless folder already ends in one.
std::string inFolder(const std::string& folder, const char* name)
{
    if (folder.empty() || folder.back() == '/')
        return folder + name;
    return folder + '/' + name;
}

} // namespace

void TForm11::buildFileAndHelpMenus()
{
    File1 = new QMenu("File", this);
    File1->setObjectName("File1");
    menuBar()->insertMenu(Tools1->menuAction(), File1);
    const auto item = [](QMenu* menu, const char* name, const char* text) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        return action;
    };
    Open1 = item(File1, "Open1", "Open");
    Save1 = item(File1, "Save1", "Save");
    Exit1 = item(File1, "Exit1", "Exit");

    // Disabled until a login enables it, for an administrator only.
    Users1 = new QAction("Users", Tools1);
    Users1->setObjectName("Users1");
    Users1->setEnabled(false);
    Tools1->insertAction(Settings1, Users1);

    Help1 = menuBar()->addMenu("Help");
    Help1->setObjectName("Help1");
    About1 = item(Help1, "About1", "About");
}

void TForm11::connectLogAndFiles()
{
    const auto onAction = [this](QAction* action, void (TForm11::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    const auto onClick = [this](QPushButton* button, void (TForm11::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    onAction(Open1, &TForm11::Open1Click);
    onAction(Save1, &TForm11::Save1Click);
    onAction(Exit1, &TForm11::Exit1Click);
    onAction(About1, &TForm11::About1Click);
    onAction(Users1, &TForm11::Users1Click);
    onClick(BitBtn5, &TForm11::BitBtn5Click);
    onClick(BitBtn6, &TForm11::BitBtn6Click);
    onClick(BitBtn7, &TForm11::BitBtn7Click);
    onClick(Butt_load_data, &TForm11::Butt_load_dataClick);
    onClick(Butt_save_data, &TForm11::Butt_save_dataClick);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) { PageShown(index); });
}

// --- the log ---

void TForm11::BitBtn5Click()
{
    Log.clear();
}

void TForm11::BitBtn6Click()
{
    try {
        Prompts::FileDialog dialog;
        dialog.filter = "Text Files (*.txt)";
        dialog.initialFolder = DataDir;
        dialog.fallbackFolder = paths_.folder();
        dialog.fileName = inFolder(DataDir, "log.txt");
        const std::optional<std::string> path = prompts_.saveFile(this, dialog);
        if (!path)
            return;
        std::string text;
        for (const std::string& line : Log.lines()) {
            text += line;
            text += "\r\n";
        }
        if (!writeFileAtomically(*path, text))
            Log.add(NoRightsLine);
    } catch (const std::exception&) {
        Log.add(NoRightsLine);
    }
}

void TForm11::BitBtn7Click()
{
    try {
        QPrinter printer(QPrinter::HighResolution);
        if (!prompts_.choosePrinter(this, printer))
            return;
        QtPrintDevice device(printer, [](const std::string& text) { return Text8::toUnicode(text); });
        PrintLogTo(device);
    } catch (const std::exception&) {
        prompts_.message(this, Prompts::Icon::Error, "Print log", "Printing failed", Prompts::Buttons::Ok);
    }
}

void TForm11::PrintLogTo(PrintDevice& device)
{
    const auto stamp = [this] {
        const LocalDateTime t = clock_.now();
        return ShortDateText(t) + ", " + LongTimeText(t);
    };
    PrintResult result = PrintResult::Failed;
    try {
        // A copy: nothing added to the log while a page is drawn can move the lines printed.
        const std::vector<std::string> lines = Log.lines();
        result = printLog(device, lines, stamp);
    } catch (const std::exception&) {
        // printLog has aborted the begun document.
    }
    if (result != PrintResult::Printed)
        prompts_.message(this, Prompts::Icon::Error, "Print log", "Printing failed", Prompts::Buttons::Ok);
}

// --- menus ---

void TForm11::About1Click()
{
    if (!FAbout)
        return;
    FAbout->show();
    FAbout->raise();
    FAbout->activateWindow();
}

void TForm11::Users1Click()
{
    if (!FUsers)
        return;
    FUsers->show();
    FUsers->raise();
    FUsers->activateWindow();
}

void TForm11::Exit1Click()
{
    try {
        std::string text;
        std::string caption;
        if (English1->isChecked()) {
            text = "Are you sure you want to exit?";
            caption = "Exit Confirmation";
        } else if (Polish1->isChecked()) {
            // Fixed Windows-1250 letters, whatever the encoding of the language texts.
            text = std::string("Czy jeste") + '\x9C' + " pewien, " + '\xBF' + "e chcesz opu" + '\x9C'
                 + "ci" + '\xE6' + " program?";
            caption = "Potwierdzenie opuszczenia programu";
        } else {
            text = "Sei sicuro di voler uscire?";
            caption = "Conferma uscita";
        }
        if (prompts_.ask(this, Prompts::Icon::Warning, caption, text, Prompts::Buttons::YesNo)
            != Prompts::Answer::Yes)
            return;
        // The close handler writes the window's keys, releases the link and closes the login
        // window, which ends the program.
        close();
    } catch (const std::exception& e) {
        Log.add(e.what());
    }
}

// --- pages ---

void TForm11::PageShown(int index)
{
    const QWidget* page = PageControl1->widget(index);
    if (page == TabSheet1)
        TabSheet1Show();
    else if (page == TabSheet2)
        TabSheet2Show();
    else if (page == TabSheet3)
        TabSheet3Show();
}

void TForm11::ShowPageTab(QWidget* page, bool shown)
{
    const int index = PageControl1->indexOf(page);
    PageControl1->tabBar()->setTabEnabled(index, shown);
    PageControl1->setTabVisible(index, shown);
}

void TForm11::TabSheet1Show()
{
    Check_ascii->setChecked(false);
    Check_hex->setChecked(true);
}

void TForm11::TabSheet2Show()
{
    Check_ascii->setChecked(true);
    Check_hex->setChecked(false);
}

void TForm11::TabSheet3Show()
{
    Check_ascii->setChecked(true);
    Check_hex->setChecked(false);
}
