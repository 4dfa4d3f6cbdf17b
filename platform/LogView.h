#pragma once

#include <QPlainTextEdit>

#include <cstddef>

class LogModel;

// Shows a LogModel (the log, a report): read-only, no word wrap, a vertical scroll bar.
// Each model line is one line of the view, its bytes shown through Text8 with CR and LF
// drawn as blanks. New lines are appended one by one at a constant cost per line, the
// text is never rebuilt, and the end of the log stays in sight. Clearing the model clears
// the view. The model stays the only truth: read the lines there, never from the widget.
//
// The view takes the model's listener. The model may be destroyed before or after the view.
class LogView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LogView(LogModel& model, QWidget* parent = nullptr);

    // Lines of the model shown so far.
    std::size_t shownLines() const { return shown_; }

private:
    void showNewLines();
    void clearAll();

    LogModel& model_;
    std::size_t shown_ = 0;
};
