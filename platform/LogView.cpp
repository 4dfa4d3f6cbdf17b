#include "LogView.h"

#include "LogModel.h"
#include "Text8.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace {

// Space around the text, as a text box leaves it.
constexpr int Margin = 4;
// How often at most new lines update the scroll bar and the painting (about a screen frame).
constexpr int SyncIntervalMs = 15;
// Pixels kept in sight to the left and right of the caret when the view scrolls sideways.
constexpr int SideRoom = 24;

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

} // namespace

LogView::LogView(LogModel& model, QWidget* parent) : QAbstractScrollArea(parent), model_(model)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    lineHeight_ = std::max(1, fontMetrics().lineSpacing());
    verticalScrollBar()->setSingleStep(1);

    QPointer<LogView> self(this);
    model_.setListener([self](LogModel::Change change, std::size_t, std::size_t) {
        if (!self)
            return;
        if (change == LogModel::Change::Appended)
            self->lineAdded();
        else
            self->syncWithModel();
    });
    syncWithModel();
}

void LogView::lineAdded()
{
    // The new lines count at once; the scroll bar and the painting follow them once per
    // interval, so a burst of lines costs one update of each, not one per line.
    if (!syncTimer_.isActive())
        syncTimer_.start(SyncIntervalMs, this);
}

std::size_t LogView::shownLines() const { return model_.count(); }

QString LogView::lineText(std::size_t line) const
{
    QString text = Text8::toUnicode(model_.line(line));
    for (QChar& c : text)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    return text;
}

std::size_t LogView::firstVisibleLine() const
{
    return static_cast<std::size_t>(std::max(0, verticalScrollBar()->value()));
}

std::size_t LogView::visibleLineCount() const
{
    const int rows = (viewport()->height() - Margin + lineHeight_ - 1) / lineHeight_;
    const std::size_t first = firstVisibleLine();
    const std::size_t lines = shownLines();
    return first >= lines ? 0 : std::min<std::size_t>(static_cast<std::size_t>(std::max(rows, 0)), lines - first);
}

bool LogView::followsEnd() const
{
    const QScrollBar* bar = verticalScrollBar();
    return bar->value() >= bar->maximum();
}

int LogView::pageLines() const
{
    return std::max(1, (viewport()->height() - 2 * Margin) / lineHeight_);
}

void LogView::syncWithModel()
{
    syncTimer_.stop();
    const std::size_t syncedBefore = syncedLines_;
    syncedLines_ = model_.count();
    if (syncedLines_ < syncedBefore) {
        // Cleared (or cut back): what was selected is gone.
        anchor_ = caret_ = clamped(Position{});
        hOffset_ = 0;
    } else {
        anchor_ = clamped(anchor_);
        caret_ = clamped(caret_);
    }
    const int oldValue = verticalScrollBar()->value();
    updateScrollRange();
    // Lines that arrive below the ones in sight need no painting.
    const std::size_t first = firstVisibleLine();
    if (syncedLines_ < syncedBefore || verticalScrollBar()->value() != oldValue
        || syncedBefore < first + static_cast<std::size_t>(pageLines()) + 1)
        viewport()->update();
}

void LogView::updateScrollRange()
{
    const bool follow = followsEnd();
    const int page = pageLines();
    const std::size_t lines = shownLines();
    const std::size_t max = lines > static_cast<std::size_t>(page) ? lines - static_cast<std::size_t>(page) : 0;
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(page);
    bar->setRange(0, static_cast<int>(std::min<std::size_t>(max, static_cast<std::size_t>(INT_MAX))));
    if (follow)
        bar->setValue(bar->maximum());
}

LogView::Position LogView::clamped(Position p) const
{
    const std::size_t lines = shownLines();
    if (lines == 0)
        return {};
    if (p.line >= lines)
        p.line = lines - 1;
    p.column = std::clamp(p.column, 0, static_cast<int>(model_.line(p.line).size()));
    return p;
}

void LogView::visibleSpan(const QString& text, int width, int& first, int& end) const
{
    // Summed advances of single characters differ a little from a laid-out text; two
    // characters more on each side cover that.
    const QFontMetrics fm = fontMetrics();
    const int size = static_cast<int>(text.size());
    int x = Margin - hOffset_;
    first = 0;
    while (first < size && x + fm.horizontalAdvance(text[first]) < 0) {
        x += fm.horizontalAdvance(text[first]);
        ++first;
    }
    end = first;
    while (end < size && x < width) {
        x += fm.horizontalAdvance(text[end]);
        ++end;
    }
    first = std::max(0, first - 2);
    end = std::min(size, end + 2);
}

int LogView::xOf(const QString& text, int column) const
{
    return Margin - hOffset_ + fontMetrics().horizontalAdvance(text, std::min(column, static_cast<int>(text.size())));
}

QPoint LogView::positionOf(Position position) const
{
    const long long row = static_cast<long long>(position.line) - static_cast<long long>(firstVisibleLine());
    const int y = Margin + static_cast<int>(row) * lineHeight_ + lineHeight_ / 2;
    return {xOf(lineText(position.line), position.column), y};
}

LogView::Position LogView::positionAt(QPoint point) const
{
    if (shownLines() == 0)
        return {};
    const int y = point.y() - Margin;
    const long long row = y < 0 ? -1 - (-y - 1) / lineHeight_ : y / lineHeight_;
    const long long line = std::clamp<long long>(static_cast<long long>(firstVisibleLine()) + row, 0,
                                                 static_cast<long long>(shownLines()) - 1);
    const QString text = lineText(static_cast<std::size_t>(line));
    // The column boundary nearest the point: the last one at or left of it, or the next one
    // when that is nearer.
    int lo = 0, hi = static_cast<int>(text.size());
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (xOf(text, mid) <= point.x())
            lo = mid;
        else
            hi = mid - 1;
    }
    if (lo < text.size() && xOf(text, lo + 1) - point.x() < point.x() - xOf(text, lo))
        ++lo;
    return {static_cast<std::size_t>(line), lo};
}

QString LogView::selectedText() const
{
    if (!hasSelection())
        return {};
    const Position from = selectionStart(), to = selectionEnd();
    QString out;
    for (std::size_t line = from.line; line <= to.line; ++line) {
        const QString text = lineText(line);
        const int begin = line == from.line ? from.column : 0;
        const int end = line == to.line ? to.column : static_cast<int>(text.size());
        if (line != from.line)
            out += QLatin1Char('\n');
        out += text.mid(begin, std::max(0, end - begin));
    }
    return out;
}

void LogView::selectAll()
{
    if (shownLines() == 0)
        return;
    anchor_ = {};
    caret_ = clamped({shownLines() - 1, INT_MAX});
    viewport()->update();
    updateSelectionClipboard();
}

void LogView::select(Position from, Position to)
{
    anchor_ = clamped(from);
    caret_ = clamped(to);
    ensureCaretVisible();
    viewport()->update();
}

void LogView::copy() const
{
    if (hasSelection())
        QApplication::clipboard()->setText(selectedText());
}

void LogView::updateSelectionClipboard() const
{
    QClipboard* clipboard = QApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void LogView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QRect area = event->rect();
    const std::size_t first = firstVisibleLine();
    const std::size_t count = visibleLineCount();
    const Position from = selectionStart(), to = selectionEnd();
    const QPalette& pal = palette();
    const QFontMetrics fm = fontMetrics();
    const int width = viewport()->width();
    for (std::size_t row = 0; row < count; ++row) {
        const std::size_t line = first + row;
        const int top = Margin + static_cast<int>(row) * lineHeight_;
        const QRect band(0, top, width, lineHeight_);
        if (!band.intersects(area))
            continue;
        const QString full = lineText(line);
        // Only the characters in sight are laid out and drawn: a long line costs no more
        // than the view is wide.
        int first = 0, end = 0;
        visibleSpan(full, width, first, end);
        const QString text = full.mid(first, end - first);
        const int textX = xOf(full, first);
        const int baseline = top + fm.ascent();
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(textX, baseline, text);
        if (hasSelection() && line >= from.line && line <= to.line) {
            const int begin = line == from.line ? from.column : 0;
            const int stop = line == to.line ? to.column : static_cast<int>(full.size());
            int left = xOf(full, begin), right = xOf(full, stop);
            if (line != to.line)
                right += fm.horizontalAdvance(QLatin1Char(' '));   // the line break is selected too
            const QRect selected(left, top, right - left, lineHeight_);
            painter.fillRect(selected, pal.brush(QPalette::Highlight));
            painter.save();
            painter.setClipRect(selected);
            painter.setPen(pal.color(QPalette::HighlightedText));
            painter.drawText(textX, baseline, text);
            painter.restore();
        }
        if (hasFocus() && line == caret_.line) {
            const int x = xOf(full, caret_.column);
            painter.fillRect(QRect(x, top, 1, lineHeight_), pal.brush(QPalette::Text));
        }
    }
}

void LogView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void LogView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void LogView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        lineHeight_ = std::max(1, fontMetrics().lineSpacing());
        updateScrollRange();
        viewport()->update();
    }
}

void LogView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void LogView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void LogView::ensureCaretVisible()
{
    QScrollBar* bar = verticalScrollBar();
    const std::size_t first = firstVisibleLine();
    const auto page = static_cast<std::size_t>(pageLines());
    if (caret_.line < first)
        bar->setValue(static_cast<int>(caret_.line));
    else if (caret_.line >= first + page)
        bar->setValue(static_cast<int>(caret_.line - page + 1));

    // The caret's x in the text, unscrolled.
    const int x = xOf(lineText(caret_.line), caret_.column) - Margin + hOffset_;
    const int room = viewport()->width() - 2 * Margin;
    const int old = hOffset_;
    if (x - hOffset_ > room - SideRoom)
        hOffset_ = x - room + SideRoom;
    if (x - hOffset_ < SideRoom)
        hOffset_ = x - SideRoom;
    hOffset_ = std::max(0, hOffset_);
    if (hOffset_ != old)
        viewport()->update();
}

void LogView::moveCaret(Position to, bool extend)
{
    caret_ = clamped(to);
    if (!extend)
        anchor_ = caret_;
    ensureCaretVisible();
    viewport()->update();
    if (extend)
        updateSelectionClipboard();
}

bool LogView::moveByKey(QKeyEvent* event)
{
    using K = QKeySequence::StandardKey;
    struct Move {
        K move, select;
        int kind;
    };
    // kind: 0 char left, 1 char right, 2 line up, 3 line down, 4 page up, 5 page down,
    // 6 line start, 7 line end, 8 text start, 9 text end, 10 word left, 11 word right
    static const Move moves[] = {
        {K::MoveToPreviousChar, K::SelectPreviousChar, 0}, {K::MoveToNextChar, K::SelectNextChar, 1},
        {K::MoveToPreviousLine, K::SelectPreviousLine, 2}, {K::MoveToNextLine, K::SelectNextLine, 3},
        {K::MoveToPreviousPage, K::SelectPreviousPage, 4}, {K::MoveToNextPage, K::SelectNextPage, 5},
        {K::MoveToStartOfLine, K::SelectStartOfLine, 6},   {K::MoveToEndOfLine, K::SelectEndOfLine, 7},
        {K::MoveToStartOfDocument, K::SelectStartOfDocument, 8},
        {K::MoveToEndOfDocument, K::SelectEndOfDocument, 9},
        {K::MoveToPreviousWord, K::SelectPreviousWord, 10}, {K::MoveToNextWord, K::SelectNextWord, 11},
    };
    if (shownLines() == 0)
        return false;
    for (const Move& m : moves) {
        const bool extend = event->matches(m.select);
        if (!extend && !event->matches(m.move))
            continue;
        Position p = caret_;
        const QString text = lineText(p.line);
        const auto page = static_cast<std::size_t>(pageLines());
        switch (m.kind) {
        case 0:
            if (p.column > 0)
                --p.column;
            else if (p.line > 0)
                p = {p.line - 1, INT_MAX};
            break;
        case 1:
            if (p.column < text.size())
                ++p.column;
            else if (p.line + 1 < shownLines())
                p = {p.line + 1, 0};
            break;
        case 2:
            p.line = p.line > 0 ? p.line - 1 : 0;
            break;
        case 3:
            ++p.line;
            break;
        case 4:
            p.line = p.line > page ? p.line - page : 0;
            break;
        case 5:
            p.line += page;
            break;
        case 6:
            p.column = 0;
            break;
        case 7:
            p.column = INT_MAX;
            break;
        case 8:
            p = {};
            break;
        case 9:
            p = {shownLines() - 1, INT_MAX};
            break;
        case 10:
            while (p.column > 0 && !isWordChar(text[p.column - 1]))
                --p.column;
            while (p.column > 0 && isWordChar(text[p.column - 1]))
                --p.column;
            break;
        case 11:
            while (p.column < text.size() && isWordChar(text[p.column]))
                ++p.column;
            while (p.column < text.size() && !isWordChar(text[p.column]))
                ++p.column;
            break;
        }
        moveCaret(p, extend);
        return true;
    }
    return false;
}

void LogView::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Copy) {
        copy();
        event->accept();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        event->accept();
        return;
    }
    if (moveByKey(event)) {
        event->accept();
        return;
    }
    // Typing does nothing: the log is read-only.
    event->ignore();
}

void LogView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    moveCaret(positionAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
    dragging_ = true;
    lastDragPoint_ = event->position().toPoint();
}

void LogView::dragTo(QPoint point)
{
    lastDragPoint_ = point;
    moveCaret(positionAt(point), true);
    const bool outside = point.y() < 0 || point.y() >= viewport()->height();
    if (outside && !autoScroll_.isActive())
        autoScroll_.start(50, this);
    else if (!outside)
        autoScroll_.stop();
}

void LogView::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging_ && (event->buttons() & Qt::LeftButton))
        dragTo(event->position().toPoint());
}

void LogView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && dragging_) {
        dragging_ = false;
        autoScroll_.stop();
        updateSelectionClipboard();
    }
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || shownLines() == 0)
        return;
    const Position at = positionAt(event->position().toPoint());
    const QString text = lineText(at.line);
    int begin = at.column, end = at.column;
    while (begin > 0 && isWordChar(text[begin - 1]))
        --begin;
    while (end < text.size() && isWordChar(text[end]))
        ++end;
    anchor_ = {at.line, begin};
    caret_ = {at.line, end};
    viewport()->update();
    updateSelectionClipboard();
}

void LogView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == syncTimer_.timerId()) {
        syncWithModel();
        return;
    }
    if (event->timerId() != autoScroll_.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() + (lastDragPoint_.y() < 0 ? -1 : 1));
    moveCaret(positionAt(lastDragPoint_), true);
}

void LogView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("&Copy"), this, &LogView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    QAction* all = menu.addAction(tr("Select All"), this, &LogView::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(shownLines() > 0);
    menu.exec(event->globalPos());
}
