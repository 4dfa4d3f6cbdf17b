#include "FakePrompts.h"

#include <QPrinter>
#include <QString>

#include <utility>

#include <gtest/gtest.h>

namespace {

std::string fileAnswer(std::deque<std::optional<std::string>>& queue, const char* what,
                       const Prompts::FileDialog& dialog)
{
    if (queue.empty()) {
        ADD_FAILURE() << "FakePrompts: " << what << " dialog \"" << dialog.caption
                      << "\" shown with no answer queued";
        return {};
    }
    std::optional<std::string> answer = std::move(queue.front());
    queue.pop_front();
    return answer.value_or(std::string());
}

} // namespace

FakePrompts::~FakePrompts()
{
    const std::size_t left = answers_.size() + openAnswers_.size() + saveAnswers_.size() + printerAnswers_.size();
    if (left > 0)
        ADD_FAILURE() << "FakePrompts: " << left << " queued answer(s) never used";
}

Prompts::Answer FakePrompts::message(QWidget* owner, Icon icon, std::string_view caption, std::string_view text,
                                     Buttons buttons)
{
    boxes.push_back({owner, icon, std::string(caption), std::string(text), buttons});
    if (std::function<void()> meanwhile = std::exchange(whileAsking, {}))
        meanwhile();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (answers_.empty()) {
        ADD_FAILURE() << "FakePrompts: box \"" << caption << "\" (" << text << ") asked with no answer queued";
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
    const Answer answer = answers_.front();
    answers_.pop_front();
    const bool fits = answer == Answer::Cancel ? buttons != Buttons::YesNo
                    : answer == Answer::Ok     ? buttons == Buttons::OkCancel
                                               : buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel;
    EXPECT_TRUE(fits) << "FakePrompts: the queued answer is no button of box \"" << caption << "\"";
    return answer;
}

bool FakePrompts::choosePrinter(QWidget* owner, QPrinter& printer)
{
    printerOwners.push_back(owner);
    if (printerAnswers_.empty()) {
        ADD_FAILURE() << "FakePrompts: print dialog shown with no answer queued";
        return false;
    }
    PrinterAnswer answer = std::move(printerAnswers_.front());
    printerAnswers_.pop_front();
    return answer(printer);
}

void FakePrompts::queuePrinterToPdf(const QString& path)
{
    queuePrinter([path](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        return true;
    });
}

void FakePrompts::queuePrinterCancel()
{
    queuePrinter([](QPrinter&) { return false; });
}

std::string FakePrompts::showOpenDialog(QWidget* owner, const FileDialog& dialog)
{
    dialogs.push_back({DialogKind::Open, owner, dialog});
    return fileAnswer(openAnswers_, "open", dialog);
}

std::string FakePrompts::showSaveDialog(QWidget* owner, const FileDialog& dialog)
{
    dialogs.push_back({DialogKind::Save, owner, dialog});
    return fileAnswer(saveAnswers_, "save", dialog);
}
