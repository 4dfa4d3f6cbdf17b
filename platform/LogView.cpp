#include "LogView.h"

#include "LogModel.h"
#include "Text8.h"

#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

QString shownLine(const std::string& line)
{
    QString text = Text8::toUnicode(line);
    for (QChar& c : text)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    return text;
}

} // namespace

LogView::LogView(LogModel& model, QWidget* parent) : QPlainTextEdit(parent), model_(model)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);   // a day's log would otherwise be kept twice
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    QPointer<LogView> self(this);
    model_.setListener([self](LogModel::Change change, std::size_t, std::size_t) {
        if (!self)
            return;
        if (change == LogModel::Change::Cleared)
            self->clearAll();
        else
            self->showNewLines();
    });
    showNewLines();
}

void LogView::clearAll()
{
    document()->clear();
    shown_ = 0;
}

void LogView::showNewLines()
{
    // The model only grows at its end, so the lines to show start where the view stopped.
    const std::size_t end = model_.count();
    if (shown_ >= end)
        return;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (; shown_ < end; ++shown_) {
        if (shown_ > 0)
            cursor.insertBlock();
        cursor.insertText(shownLine(model_.line(shown_)));
    }
    cursor.endEditBlock();
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}
