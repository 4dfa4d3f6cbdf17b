#include "LogModel.h"
#include "LogView.h"
#include "Text8.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <memory>
#include <string>

namespace {

using Pos = LogView::Position;

QStringList shownLines(const LogView& view)
{
    QStringList lines;
    for (std::size_t i = 0; i < view.shownLines(); ++i)
        lines << view.lineText(i);
    return lines;
}

// A view on screen, large enough for a few lines.
struct ShownView {
    explicit ShownView(LogModel& log, QSize size = {400, 160}) : view(log)
    {
        view.resize(size);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    LogView view;
};

std::size_t lastVisibleLine(const LogView& view)
{
    return view.firstVisibleLine() + view.visibleLineCount() - 1;
}

QString clipboardText()
{
    return QApplication::clipboard()->text();
}

} // namespace

TEST(LogView, ShowsEachModelLineAsOneLine)
{
    LogModel log;
    log.add("before the view");
    LogView view(log);
    EXPECT_EQ(shownLines(view), QStringList{QStringLiteral("before the view")});
    log.add("Respond: 68 03\r\nsecond\r\n");
    log.add("a\rb\nc");
    log.add("Pr\xEA" "dko\x9C\xE6 \xFF");
    const QStringList expected = {
        QStringLiteral("before the view"), QStringLiteral("Respond: 68 03"), QStringLiteral("second"),
        QString(), QStringLiteral("a b c"), QString::fromUtf8("Prędkość ") + Text8::charOf(0xFF),
    };
    EXPECT_EQ(shownLines(view), expected);
    EXPECT_EQ(view.shownLines(), log.count());
    EXPECT_EQ(log.line(4), "a\rb\nc");   // the model keeps its bytes
    EXPECT_EQ(view.lineText(6), QString()) << "past the end";
}

TEST(LogView, IsAReadOnlyNonWrappingViewWithAVerticalBar)
{
    LogModel log;
    ShownView shown(log);
    LogView& view = shown.view;
    EXPECT_EQ(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(view.verticalScrollBar()->isVisible());
    view.setFocus();
    QTest::keyClicks(&view, "typed");
    EXPECT_EQ(log.count(), 0u);
    EXPECT_EQ(view.shownLines(), 0u);

    // A line far wider than the view stays one line: nothing wraps into a second one.
    log.add(std::string(2000, 'w'));
    log.add("next");
    EXPECT_EQ(view.shownLines(), 2u);
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(view.lineText(1), QStringLiteral("next"));

    // Read-only: keys and a paste with text on the clipboard leave the model as it is.
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    QTest::keyClicks(&view, "x");
    QTest::keyClick(&view, Qt::Key_Backspace);
    QTest::keyClick(&view, Qt::Key_Delete);
    QTest::keyClick(&view, Qt::Key_Return);
    QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(log.count(), 2u);
    EXPECT_EQ(log.line(0), std::string(2000, 'w'));
    EXPECT_EQ(log.line(1), "next");
}

TEST(LogView, StartsWithTheModelsLinesAndTakesEveryNewOne)
{
    LogModel log;
    log.add("");   // as the main window's log starts
    ShownView shown(log);
    LogView& view = shown.view;
    EXPECT_EQ(shownLines(view), QStringList{QString()});
    EXPECT_EQ(view.visibleLineCount(), 1u);
    for (int i = 0; i < 2000; ++i)
        log.add("line " + std::to_string(i));
    EXPECT_EQ(view.shownLines(), 2001u);
    EXPECT_EQ(view.lineText(2000), QStringLiteral("line 1999"));
    static_cast<void>(QTest::qWaitFor([&] { return lastVisibleLine(view) == 2000u; }, 10000)); // the end comes into sight; the check below shows the values
    ASSERT_EQ(lastVisibleLine(view), 2000u);
    EXPECT_GT(view.firstVisibleLine(), 1900u);
}

TEST(LogView, ClearingTheModelClearsTheView)
{
    LogModel log;
    LogView view(log);
    log.add("");
    log.add("x\r\ny");
    view.selectAll();
    ASSERT_TRUE(view.hasSelection());
    log.clear();
    EXPECT_EQ(view.shownLines(), 0u);
    EXPECT_FALSE(view.hasSelection());
    EXPECT_EQ(view.selectedText(), QString());
    log.add("first again");
    EXPECT_EQ(shownLines(view), QStringList{QStringLiteral("first again")});
    log.clear();
    log.add("");
    log.add("");
    EXPECT_EQ(shownLines(view), (QStringList{QString(), QString()}));
}

TEST(LogView, FollowsTheEndOnlyWhileScrolledToIt)
{
    LogModel log;
    ShownView shown(log, {300, 120});
    LogView& view = shown.view;
    QScrollBar* bar = view.verticalScrollBar();
    for (int i = 0; i < 300; ++i)
        log.add("line " + std::to_string(i));
    const auto endMaximum = [&] { return static_cast<int>(log.count()) - bar->pageStep(); };
    static_cast<void>(QTest::qWaitFor([&] { return bar->maximum() == endMaximum(); }, 10000)); // the check below shows the values
    ASSERT_EQ(bar->maximum(), endMaximum());
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(view.followsEnd());
    EXPECT_EQ(lastVisibleLine(view), 299u);

    // The user scrolls up: new lines leave the view where it is.
    QWheelEvent up(QPointF(50, 50), view.viewport()->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &up);
    ASSERT_LT(bar->value(), bar->maximum());
    bar->setValue(10);
    log.add("latest");
    log.add("and one more");
    static_cast<void>(QTest::qWaitFor([&] { return bar->maximum() == endMaximum(); }, 10000)); // the check below shows the values
    ASSERT_EQ(bar->maximum(), endMaximum());
    EXPECT_EQ(bar->value(), 10);
    EXPECT_EQ(view.firstVisibleLine(), 10u);
    EXPECT_FALSE(view.followsEnd());

    // Back at the end, it follows again.
    bar->setValue(bar->maximum());
    log.add("followed");
    static_cast<void>(QTest::qWaitFor([&] { return view.lineText(lastVisibleLine(view)) == QStringLiteral("followed"); }, 10000)); // the check below shows the values
    ASSERT_EQ(view.lineText(lastVisibleLine(view)), QStringLiteral("followed"));
    EXPECT_EQ(bar->value(), bar->maximum());

    // So it does after Ctrl+End from anywhere.
    bar->setValue(0);
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    log.add("after Ctrl+End");
    static_cast<void>(QTest::qWaitFor([&] { return view.lineText(lastVisibleLine(view)) == QStringLiteral("after Ctrl+End"); }, 10000)); // the check below shows the values
    ASSERT_EQ(view.lineText(lastVisibleLine(view)), QStringLiteral("after Ctrl+End"));
}

TEST(LogView, SelectsWithTheMouseAndCopies)
{
    LogModel log;
    log.add("first line\r\nsecond line\r\nthird line\r\nfourth");
    ShownView shown(log);
    LogView& view = shown.view;
    QWidget* port = view.viewport();

    QTest::mousePress(port, Qt::LeftButton, {}, view.positionOf({0, 6}));
    QTest::mouseMove(port, view.positionOf({1, 3}));
    QTest::mouseMove(port, view.positionOf({2, 5}));
    QTest::mouseRelease(port, Qt::LeftButton, {}, view.positionOf({2, 5}));
    EXPECT_EQ(view.selectedText(), QStringLiteral("line\nsecond line\nthird"));
    QApplication::clipboard()->clear();
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboardText(), QStringLiteral("line\nsecond line\nthird"));

    // Shift+click moves the selection's end; a plain click drops the selection.
    QTest::mouseClick(port, Qt::LeftButton, Qt::ShiftModifier, view.positionOf({3, 6}));
    EXPECT_EQ(view.selectedText(), QStringLiteral("line\nsecond line\nthird line\nfourth"));
    QTest::mouseClick(port, Qt::LeftButton, {}, view.positionOf({1, 2}));
    EXPECT_FALSE(view.hasSelection());
    QTest::mouseDClick(port, Qt::LeftButton, {}, view.positionOf({1, 2}));
    EXPECT_EQ(view.selectedText(), QStringLiteral("second"));

    // A point between two characters goes to the nearer boundary; beyond the text, to its end.
    EXPECT_EQ(view.positionAt(view.positionOf({2, 4}) + QPoint(1, 0)), (Pos{2, 4}));
    EXPECT_EQ(view.positionAt(QPoint(port->width() - 2, view.positionOf({3, 0}).y())), (Pos{3, 6}));
}

TEST(LogView, PaintsTheSelectionAndOnlyIt)
{
    LogModel log;
    log.add("one\r\ntwo two two\r\nthree");
    ShownView shown(log);
    LogView& view = shown.view;
    view.select({1, 0}, {1, 7});
    const QImage image = view.viewport()->grab().toImage();
    const QColor highlight = view.palette().color(QPalette::Highlight);
    const QColor base = view.palette().color(QPalette::Base);
    const int top = view.positionOf({1, 0}).y() - view.fontMetrics().lineSpacing() / 2;
    // Just inside the selection's start and end, at the top of the line (above the letters).
    EXPECT_EQ(image.pixelColor(view.positionOf({1, 0}).x() + 1, top + 1), highlight);
    EXPECT_EQ(image.pixelColor(view.positionOf({1, 7}).x() - 1, top + 1), highlight);
    EXPECT_EQ(image.pixelColor(view.positionOf({1, 9}).x(), top + 1), base);
    EXPECT_EQ(image.pixelColor(view.positionOf({0, 1}).x(), top - 2), base) << "the line above";
}

TEST(LogView, SelectsWithTheKeyboardAndCopies)
{
    LogModel log;
    log.add("alpha\r\nbeta\r\nPr\xEA" "dko\x9C\xE6\r\na\rb\nc");
    ShownView shown(log);
    LogView& view = shown.view;
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.positionOf({0, 2}));
    ASSERT_TRUE(view.hasFocus());
    QTest::keyClick(&view, Qt::Key_Home);
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(view.selectedText(), QStringLiteral("alpha\nbeta"));
    QTest::keyClick(&view, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboardText(), QStringLiteral("alpha\nbet"));
    QTest::keyClick(&view, Qt::Key_Right);
    EXPECT_FALSE(view.hasSelection()) << "a move without Shift drops the selection";
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(view.selectedText(), QString::fromUtf8("\nPrędkość"));

    // Everything, the lone CR and LF inside the last line as the blanks they are shown as.
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboardText(), QString::fromUtf8("alpha\nbeta\nPrędkość\na b c"));
}

TEST(LogView, ADragAboveTheLinesScrollsUp)
{
    LogModel log;
    for (int i = 0; i < 200; ++i)
        log.add("line " + std::to_string(i));
    ShownView shown(log, {300, 120});
    LogView& view = shown.view;
    const std::size_t first = view.firstVisibleLine();
    ASSERT_GT(first, 100u);
    QWidget* port = view.viewport();
    QTest::mousePress(port, Qt::LeftButton, {}, view.positionOf({first + 1, 2}));
    QTest::mouseMove(port, QPoint(20, -10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.firstVisibleLine() + 3 < first; }, 10000));
    QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(20, -10));
    const std::size_t stopped = view.firstVisibleLine();
    EXPECT_TRUE(view.selectedText().endsWith(QStringLiteral("\nli"))) << view.selectedText().toStdString();
    log.add("more");
    static_cast<void>(QTest::qWaitFor([&] { return view.verticalScrollBar()->maximum() == static_cast<int>(log.count()) - view.verticalScrollBar()->pageStep(); }, 10000)); // the check below shows the values
    ASSERT_EQ(view.verticalScrollBar()->maximum(), static_cast<int>(log.count()) - view.verticalScrollBar()->pageStep());
    EXPECT_EQ(view.firstVisibleLine(), stopped) << "scrolled up, the view stays";
}

TEST(LogView, EitherMayBeDestroyedFirst)
{
    auto log = std::make_unique<LogModel>();
    auto view = std::make_unique<LogView>(*log);
    log->add("x");
    view.reset();
    log->add("after the view");   // no listener of a view that is gone
    EXPECT_EQ(log->count(), 2u);
    auto second = std::make_unique<LogView>(*log);
    EXPECT_EQ(second->shownLines(), 2u);
    log.reset();
    second.reset();
}
