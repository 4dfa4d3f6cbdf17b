#include "LogModel.h"
#include "LogView.h"
#include "Text8.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <memory>
#include <vector>

namespace {

QStringList shownLines(const LogView& view)
{
    QStringList lines;
    for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next())
        lines << b.text();
    return lines;
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
}

TEST(LogView, IsAReadOnlyNonWrappingViewWithAVerticalBar)
{
    LogModel log;
    LogView view(log);
    EXPECT_TRUE(view.isReadOnly());
    EXPECT_EQ(view.lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(view.document()->isUndoRedoEnabled());
    view.show();
    QTest::keyClicks(&view, "typed");
    EXPECT_EQ(view.document()->toPlainText(), QString());
    EXPECT_EQ(log.count(), 0u);
}

TEST(LogView, AppendsWithoutRebuildingTheText)
{
    LogModel log;
    LogView view(log);
    for (int i = 0; i < 2000; ++i)
        log.add("line " + std::to_string(i));
    struct Change { int position, removed, added; };
    std::vector<Change> changes;
    QObject::connect(view.document(), &QTextDocument::contentsChange,
                     [&](int p, int r, int a) { changes.push_back({p, r, a}); });
    const int before = view.document()->characterCount();
    log.add("one more");
    ASSERT_FALSE(changes.empty());
    int added = 0;
    for (const Change& c : changes) {
        EXPECT_EQ(c.removed, 0);
        EXPECT_GE(c.position, before - 1);
        added += c.added;
    }
    EXPECT_EQ(added, 1 + 8);   // the line break and "one more"
    EXPECT_EQ(view.document()->blockCount(), 2001);
}

TEST(LogView, ClearingTheModelClearsTheView)
{
    LogModel log;
    LogView view(log);
    log.add("");
    log.add("x\r\ny");
    log.clear();
    EXPECT_EQ(view.document()->toPlainText(), QString());
    EXPECT_EQ(view.shownLines(), 0u);
    log.add("first again");
    EXPECT_EQ(shownLines(view), QStringList{QStringLiteral("first again")});
    log.clear();
    log.add("");
    log.add("");
    EXPECT_EQ(shownLines(view), (QStringList{QString(), QString()}));
}

TEST(LogView, KeepsTheEndInSight)
{
    LogModel log;
    LogView view(log);
    view.resize(300, 120);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    for (int i = 0; i < 300; ++i)
        log.add("line " + std::to_string(i));
    QScrollBar* bar = view.verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(0);   // the user scrolls up; the next line brings the end back
    log.add("latest");
    EXPECT_EQ(bar->value(), bar->maximum());
    const QTextBlock last = view.document()->lastBlock();
    EXPECT_EQ(last.text(), QStringLiteral("latest"));
    EXPECT_TRUE(view.viewport()->rect().intersects(view.cursorRect(QTextCursor(last))));
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
