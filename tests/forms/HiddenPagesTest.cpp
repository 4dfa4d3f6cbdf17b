#include "AccountsFixture.h"

#include <QApplication>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>

#include <set>
#include <string>
#include <vector>

// The main window's pages whose tab the login hides cannot be reached by the user: not by the
// wheel over the tab bar, not by the page keys from any control, not by the arrow keys on the
// tab bar, not by a click anywhere on it.

namespace {

std::string name(const QWidget* w) { return w ? w->objectName().toStdString() : "(none)"; }

class HiddenPages : public AccountsFixture {
protected:
    TForm11& f() { return form11(); }
    QTabWidget* pages() { return form11().PageControl1; }
    QTabBar* bar() { return form11().PageControl1->tabBar(); }

    // Logs in through the login window with an account of the accounts file; the main window
    // shown and active, its meters page current.
    void logIn(const char* user)
    {
        startAtLogin();
        ASSERT_TRUE(enter(user, "pw"));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f(), 30000));
        f().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&f(), 30000));
        ASSERT_EQ(pages()->currentWidget(), f().TabSheet1);
    }

    // The pages whose tabs are shown.
    std::set<QWidget*> shownPages()
    {
        std::set<QWidget*> shown;
        for (int i = 0; i < pages()->count(); ++i)
            if (pages()->isTabVisible(i))
                shown.insert(pages()->widget(i));
        return shown;
    }

    // After every input: the current page is one whose tab is shown.
    void check(const std::string& step)
    {
        const int current = pages()->currentIndex();
        EXPECT_TRUE(current >= 0 && pages()->isTabVisible(current))
            << step << " made " << name(pages()->currentWidget()) << " current, whose tab is hidden";
        visited.insert(pages()->currentWidget());
    }

    void wheel(int steps)
    {
        const QPointF at = QRectF(bar()->rect()).center();
        for (int i = 0; i < (steps < 0 ? -steps : steps); ++i) {
            // One notch of a mouse wheel: 120 eighths of a degree; down is negative.
            QWheelEvent event(at, bar()->mapToGlobal(at), QPoint(), QPoint(0, steps < 0 ? -120 : 120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(bar(), &event);
            check(std::string("wheel ") + (steps < 0 ? "down" : "up") + " step " + std::to_string(i + 1));
        }
    }

    // A key pressed while control has the focus, repeated.
    void keys(QWidget* control, Qt::Key key, Qt::KeyboardModifiers modifiers, const char* what, int times)
    {
        for (int i = 0; i < times; ++i) {
            control->setFocus(Qt::OtherFocusReason);
            QWidget* focused = QApplication::focusWidget();
            if (!focused || focused->window() != control->window())
                focused = control;
            QTest::keyClick(focused, key, modifiers);
            check(std::string(what) + " #" + std::to_string(i + 1) + " from " + name(focused));
        }
    }

    // The page keys from the tab bar, from the first and the last control of whatever page is
    // current, and from the custom command below the pages; then the arrow keys on the tab bar.
    void pageKeys()
    {
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            const char* what;
        } combos[] = {
            {Qt::Key_Tab, Qt::ControlModifier, "Ctrl+Tab"},
            {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, "Ctrl+Shift+Tab"},
            {Qt::Key_PageDown, Qt::ControlModifier, "Ctrl+PgDown"},
            {Qt::Key_PageUp, Qt::ControlModifier, "Ctrl+PgUp"},
        };
        const int times = pages()->count() + 2;
        for (const auto& c : combos) {
            keys(bar(), c.key, c.modifiers, c.what, times);
            for (int i = 0; i < times; ++i) {
                const QList<QWidget*> controls = focusable(pages()->currentWidget());
                ASSERT_FALSE(controls.isEmpty()) << name(pages()->currentWidget());
                keys(controls.front(), c.key, c.modifiers, c.what, 1);
                keys(focusable(pages()->currentWidget()).back(), c.key, c.modifiers, c.what, 1);
            }
            keys(f().Edit_command, c.key, c.modifiers, c.what, times);
        }
        for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Down, Qt::Key_Up, Qt::Key_End, Qt::Key_Home})
            keys(bar(), key, Qt::NoModifier, "arrow key", times);
    }

    // A click every two pixels along the tab bar, twice, left to right.
    void clicks()
    {
        for (int round = 0; round < 2; ++round)
            for (int x = 0; x < bar()->width(); x += 2) {
                QTest::mouseClick(bar(), Qt::LeftButton, Qt::NoModifier, QPoint(x, bar()->height() / 2));
                check("a click at x " + std::to_string(x));
            }
    }

    // Every way the user has, starting from the meters page; each way reaches every shown page.
    void tryEveryWay()
    {
        const std::set<QWidget*> shown = shownPages();
        visited.clear();
        wheel(-(pages()->count() + 2));
        wheel(pages()->count() + 2);
        wheel(-1);
        wheel(1);
        EXPECT_EQ(visited, shown) << "the wheel reaches every shown page";
        visited.clear();
        pageKeys();
        EXPECT_EQ(visited, shown) << "the keys reach every shown page";
        visited.clear();
        clicks();
        EXPECT_EQ(visited, shown) << "the clicks reach every shown page";
    }

    static QList<QWidget*> focusable(QWidget* page)
    {
        QList<QWidget*> controls;
        for (QWidget* w : page->findChildren<QWidget*>())
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(page) && w->isEnabled())
                controls.append(w);
        return controls;
    }

    std::set<QWidget*> visited;
};

TEST_F(HiddenPages, AnAdministratorCannotReachTheGatewayPage)
{
    writeAccountsFile(usersPath(), {{"admin", "pw", "Administrator"}});
    logIn("admin");
    ASSERT_TRUE(login().IsAdministrator);
    EXPECT_EQ(shownPages(), (std::set<QWidget*> {f().TabSheet1, f().TabSheet3, f().TabSheet4}));
    tryEveryWay();
}

TEST_F(HiddenPages, AnOperatorWithoutTheDisplayRightReachesNeitherTheGatewayNorTheDisplayPage)
{
    writeAccountsFile(usersPath(), {{"oper", "pw", "Operator", {true, true, false}}});
    logIn("oper");
    ASSERT_TRUE(login().IsOperator);
    EXPECT_EQ(shownPages(), (std::set<QWidget*> {f().TabSheet1, f().TabSheet4}));
    tryEveryWay();
}

TEST_F(HiddenPages, ALaterLoginThatGrantsTheDisplayRightMakesItsPageReachableAgain)
{
    writeAccountsFile(usersPath(), {{"oper", "pw", "Operator", {true, true, false}}});
    logIn("oper");
    loginAs("Operator", {true, true, true});
    EXPECT_EQ(shownPages(), (std::set<QWidget*> {f().TabSheet1, f().TabSheet3, f().TabSheet4}));
    tryEveryWay();
    // Reached by the wheel, the display page works.
    pages()->setCurrentWidget(f().TabSheet1);
    wheel(-1);
    ASSERT_EQ(pages()->currentWidget(), f().TabSheet3);
    for (QPushButton* b : {f().Butt_pexor_set, f().Butt_pexor_delete, f().Butt_pexor_delp})
        EXPECT_TRUE(b->isEnabled()) << name(b);

    // Taken away again, also from the page the user is on.
    loginAs("Operator", {true, true, false});
    check("the login taking the display right away");
    EXPECT_EQ(shownPages(), (std::set<QWidget*> {f().TabSheet1, f().TabSheet4}));
    tryEveryWay();
}

TEST_F(HiddenPages, TheProgramItselfCanStillShowTheGatewayPage)
{
    writeAccountsFile(usersPath(), {{"admin", "pw", "Administrator"}});
    logIn("admin");
    pages()->setCurrentWidget(f().TabSheet2);
    ASSERT_EQ(pages()->currentWidget(), f().TabSheet2);
    EXPECT_TRUE(f().TabSheet2->isEnabled() && f().Butt_eth_main->isEnabled());
    EXPECT_TRUE(f().Check_ascii->isChecked());
}

} // namespace
