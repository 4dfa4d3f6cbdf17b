#include "TFormFullMbus.h"

#include "AtomicFile.h"
#include "LogView.h"
#include "MinimumSizeKeeper.h"
#include "Prompts.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const char* text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setMinimumWidth(80);
    return button;
}

} // namespace

TFormFullMbus::TFormFullMbus(Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      prompts_(prompts)
{
    setObjectName("FormFullMbus");
    setWindowTitle("Detailed m-bus report");
    resize(601, 387);

    report_.add("");
    Memo_fullMbus = new LogView(report_, this);
    Memo_fullMbus->setObjectName("Memo_fullMbus");

    BitBtn1 = makeButton(this, "BitBtn1", "Clear");
    BitBtn2 = makeButton(this, "BitBtn2", "Save");
    BitBtn3 = makeButton(this, "BitBtn3", "Close");
    connect(BitBtn1, &QPushButton::clicked, this, &TFormFullMbus::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TFormFullMbus::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TFormFullMbus::BitBtn3Click);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn1);
    buttons->addStretch();
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn3);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo_fullMbus);
    layout->addLayout(buttons);
    keepMinimumSize(*this);
}

void TFormFullMbus::BitBtn1Click()
{
    report_.clear();
}

void TFormFullMbus::BitBtn2Click()
{
    try {
        Prompts::FileDialog dialog;
        dialog.filter = "TXT files (*.txt)";
        dialog.defaultExtension = "txt";
        const std::optional<std::string> path = prompts_.saveFile(this, dialog);
        if (!path)
            return;
        std::string text;
        for (const std::string& line : report_.lines()) {
            text += line;
            text += "\r\n";
        }
        const WriteResult written = writeFileAtomically(*path, text);
        if (!written)
            report_.add("Exception saving to file - " + written.error);
    } catch (const std::exception& e) {
        report_.add(std::string("Exception saving to file - ") + e.what());
    }
}

void TFormFullMbus::BitBtn3Click()
{
    hide();
}
