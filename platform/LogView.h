#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QString>

#include <compare>
#include <cstddef>

class LogModel;

// Shows a LogModel (the log, a report): read-only, no word wrap, a vertical scroll bar. Each
// model line is one line of the view, its bytes shown through Text8 with CR and LF drawn as
// blanks. The view keeps no copy of the lines: it paints only those in sight, reading them
// from the model, so adding a line costs the same however long the log is, and the model's
// bytes are the only memory the lines take. New lines reach the scroll bar and the screen
// within a few milliseconds, a burst of them at once. While the view is scrolled to the end
// it follows new lines; scrolled up, it stays where the user put it. Text is selected with the mouse
// (drag, Shift+click, double-click for a word) or the keyboard (Shift with the arrows, Home,
// End, Page Up and Down; Ctrl+A for everything) and copied with Ctrl+C, lines joined by LF.
// Clearing the model clears the view.
//
// The view takes the model's listener and reads the lines from the model whenever it paints, so
// it must not be used once the model is gone; destroying the two in either order is safe.
class LogView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // A place in the text: a line and a column (a character) in it.
    struct Position {
        std::size_t line = 0;
        int column = 0;
        auto operator<=>(const Position&) const = default;
    };

    explicit LogView(LogModel& model, QWidget* parent = nullptr);

    // The lines it shows: all of the model's (the scroll bar catches up within a few milliseconds).
    std::size_t shownLines() const;
    // A line as the view shows it (empty past the end).
    QString lineText(std::size_t line) const;
    // The first line in sight and how many lines fit (the last of them may be cut off).
    std::size_t firstVisibleLine() const;
    std::size_t visibleLineCount() const;
    // Whether the view is scrolled to the end, so that new lines scroll it along.
    bool followsEnd() const;

    bool hasSelection() const { return anchor_ != caret_; }
    // The selected text, its lines joined by "\n".
    QString selectedText() const;
    void selectAll();
    // Selects from `from` to `to`; the caret goes to `to`.
    void select(Position from, Position to);
    // Puts the selected text on the clipboard; nothing without a selection.
    void copy() const;

    // The point of the viewport where a column of a line starts (mid-height of the line).
    QPoint positionOf(Position position) const;
    // The place nearest a point of the viewport.
    Position positionAt(QPoint point) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void lineAdded();
    // Brings the scroll bar and the painting up to the model's lines.
    void syncWithModel();
    // Fits the scroll bar to the lines and the page; a view scrolled to the end stays there.
    void updateScrollRange();
    int pageLines() const;
    Position clamped(Position p) const;
    Position selectionStart() const { return std::min(anchor_, caret_); }
    Position selectionEnd() const { return std::max(anchor_, caret_); }
    // Moves the caret, extending the selection or collapsing it, and keeps it in sight.
    void moveCaret(Position to, bool extend);
    bool moveByKey(QKeyEvent* event);
    void ensureCaretVisible();
    void dragTo(QPoint point);
    void updateSelectionClipboard() const;
    // The x of a column's start in the viewport.
    int xOf(const QString& text, int column) const;
    // The characters of a line that fall within the viewport's width: [first, end).
    void visibleSpan(const QString& text, int width, int& first, int& end) const;

    LogModel& model_;
    std::size_t syncedLines_ = 0;  // lines the scroll bar and the painting were last brought to
    QBasicTimer syncTimer_;        // runs while added lines wait for that
    int lineHeight_ = 1;
    int hOffset_ = 0;          // pixels the text is scrolled to the left
    Position anchor_, caret_;  // the selection runs between them
    bool dragging_ = false;
    QPoint lastDragPoint_;
    QBasicTimer autoScroll_;   // scrolls while a drag is held above or below the lines
};
