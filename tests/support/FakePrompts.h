#pragma once

#include "Prompts.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QString;

// The scripted Prompts of the tests. Every box and dialog is recorded with its owner and
// arguments; answers are queued beforehand. A box with only an OK button needs no answer.
// Any other box, and any dialog, without a queued answer fails the test and gives Cancel
// (or No, nothing, false). Answers left unused when the fake is destroyed fail the test.
//
//     FakePrompts prompts;
//     prompts.queueAnswer(Prompts::Answer::Yes);
//     prompts.queueSaveFile(dir + "/log");
//     ... run the window ...
//     ASSERT_EQ(prompts.boxes.size(), 1u);
//     EXPECT_EQ(prompts.boxes[0].caption, "Exit Confirmation");
class FakePrompts : public Prompts {
public:
    struct Box {
        QWidget* owner;
        Icon icon;
        std::string caption;
        std::string text;
        Buttons buttons;
    };
    enum class DialogKind { Open, Save };
    struct Dialog {
        DialogKind kind;
        QWidget* owner;
        FileDialog args;   // as the dialog got them: the start folder already chosen
    };
    using PrinterAnswer = std::function<bool(QPrinter&)>;

    FakePrompts() = default;
    ~FakePrompts() override;
    FakePrompts(const FakePrompts&) = delete;
    FakePrompts& operator=(const FakePrompts&) = delete;

    void queueAnswer(Answer answer) { answers_.push_back(answer); }
    // nothing, or an empty name, stands for Cancel.
    void queueOpenFile(std::optional<std::string> path) { openAnswers_.push_back(std::move(path)); }
    void queueSaveFile(std::optional<std::string> path) { saveAnswers_.push_back(std::move(path)); }
    // The answer sets the printer up and gives true, or gives false for Cancel.
    void queuePrinter(PrinterAnswer answer) { printerAnswers_.push_back(std::move(answer)); }
    // The printer prints to a PDF file at path.
    void queuePrinterToPdf(const QString& path);
    void queuePrinterCancel();

    // Runs once, inside the next box, before its answer is given: what the event loop of a real
    // box lets run while the user reads it (a timer's tick, a socket event).
    std::function<void()> whileAsking;

    std::vector<Box> boxes;
    std::vector<Dialog> dialogs;
    std::vector<QWidget*> printerOwners;

    Answer message(QWidget* owner, Icon icon, std::string_view caption, std::string_view text,
                   Buttons buttons = Buttons::Ok) override;
    bool choosePrinter(QWidget* owner, QPrinter& printer) override;

protected:
    std::string showOpenDialog(QWidget* owner, const FileDialog& dialog) override;
    std::string showSaveDialog(QWidget* owner, const FileDialog& dialog) override;

private:
    std::deque<Answer> answers_;
    std::deque<std::optional<std::string>> openAnswers_;
    std::deque<std::optional<std::string>> saveAnswers_;
    std::deque<PrinterAnswer> printerAnswers_;
};
