// Every caption of the main and settings windows fits its control in each language at the
// windows' default size, and no two visible controls of a page lie over each other; the
// tables' headers fit after every change of language and are no wider than the language's own
// at start; "Stop Secondary" moves nothing as it shows and hides; and every resizable window
// at its smallest size still shows every control whole.
#include "AccountsFile.h"
#include "AppFixture.h"
#include "StringGridView.h"
#include "TFAbout.h"
#include "TFUsers.h"
#include "TForm11.h"
#include "TFormFullMbus.h"
#include "TLogin.h"
#include "TSettings.h"
#include "Text8.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QWidgetItem>
#include <QWindow>

#include <map>

namespace {

constexpr QSize MainWindowSize(1180, 720);
constexpr QSize SettingsWindowSize(700, 425);

std::string name(const QWidget* w) { return w->objectName().toStdString(); }

bool isControl(const QWidget* w)
{
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLabel*>(w)
           || qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w)
           || qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QAbstractItemView*>(w)
           || qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QProgressBar*>(w)
           || qobject_cast<const QAbstractScrollArea*>(w) || qobject_cast<const QTabWidget*>(w)
           || qobject_cast<const QGroupBox*>(w);
}

// The controls of an area, each with its place in the area; a control's own parts (the edit
// of a spin box, the views of a table) are not controls of their own.
std::vector<QWidget*> controlsOf(QWidget* area)
{
    std::vector<QWidget*> out;
    for (QWidget* w : area->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(area) || !isControl(w) || w->objectName().isEmpty())
            continue;
        bool part = false;
        for (QWidget* p = w->parentWidget(); p && p != area; p = p->parentWidget())
            if (isControl(p) && !qobject_cast<QGroupBox*>(p))
                part = true;
        if (!part)
            out.push_back(w);
    }
    return out;
}

// An accent label lies over its word by design.
bool isAccent(const QWidget* w)
{
    const auto* label = qobject_cast<const QLabel*>(w);
    return label && label->text() == "`";
}

int textWidth(const QWidget* w, const QString& text)
{
    int widest = 0;
    for (const QString& line : text.split(u'\n'))
        widest = std::max(widest, w->fontMetrics().horizontalAdvance(line));
    return widest;
}

// The room a control leaves its caption, and the caption; room < 0: no caption to judge.
std::pair<int, QString> captionRoom(const QWidget* w)
{
    const QStyle* s = w->style();
    if (const auto* box = qobject_cast<const QCheckBox*>(w))
        return {w->width() - s->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w)
                    - s->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w),
                box->text()};
    if (const auto* button = qobject_cast<const QPushButton*>(w)) {
        // As the style sizes a button: one margin and the frame on both sides.
        int room = w->width() - s->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w)
                   - 2 * s->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
        if (!button->icon().isNull())
            room -= button->iconSize().width() + 4;
        return {room, button->text()};
    }
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return {label->contentsRect().width() - 2 * label->margin(), label->text()};
    if (const auto* box = qobject_cast<const QGroupBox*>(w))
        return {w->width() - 2 * s->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, w), box->title()};
    return {-1, {}};
}

// The captions of an area fit, and its controls do not overlap.
void checkArea(QWidget* area, const std::string& where)
{
    SCOPED_TRACE(where);
    const std::vector<QWidget*> controls = controlsOf(area);
    for (QWidget* w : controls) {
        const auto [room, text] = captionRoom(w);
        if (room >= 0 && !text.isEmpty()) {
            EXPECT_LE(textWidth(w, text), room) << name(w) << " \"" << text.toStdString() << "\"";
        }
        // A control that leaves the area is cut off by it.
        const QRect place(w->mapTo(area, QPoint(0, 0)), w->size());
        EXPECT_TRUE(area->rect().contains(place)) << name(w) << " leaves the area";
    }
    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            QWidget* a = controls[i];
            QWidget* b = controls[j];
            if (a->isAncestorOf(b) || b->isAncestorOf(a))
                continue;
            if (isAccent(a) || isAccent(b))
                continue;
            const QRect ra(a->mapTo(area, QPoint(0, 0)), a->size());
            const QRect rb(b->mapTo(area, QPoint(0, 0)), b->size());
            EXPECT_FALSE(ra.intersects(rb)) << name(a) << " and " << name(b) << " overlap";
        }
    }
}

void checkTabs(QTabWidget* pages, const std::string& where)
{
    SCOPED_TRACE(where);
    QTabBar* bar = pages->tabBar();
    for (int i = 0; i < pages->count(); ++i) {
        if (!pages->isTabVisible(i))
            continue;
        const QRect tab = bar->tabRect(i);
        EXPECT_LE(textWidth(bar, pages->tabText(i)), tab.width()) << pages->tabText(i).toStdString();
        EXPECT_LE(tab.right(), bar->width()) << pages->tabText(i).toStdString() << " beyond the tab bar";
    }
}

// Every header of a table shows whole: its text and the header's margin on either side.
void checkHeaders(StringGridView* view, const std::string& where)
{
    SCOPED_TRACE(where);
    const QHeaderView* header = view->horizontalHeader();
    const int margins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int c = 0; c < view->grid().ColCount(); ++c) {
        const QString text = Text8::toUnicode(view->grid().cell(c, 0));
        EXPECT_LE(header->fontMetrics().horizontalAdvance(text) + margins, view->columnWidth(c))
            << name(view) << " column " << c << " \"" << text.toStdString() << "\"";
    }
}

std::vector<int> columnWidths(const StringGridView* view)
{
    std::vector<int> widths;
    for (int c = 0; c < view->grid().ColCount(); ++c)
        widths.push_back(view->columnWidth(c));
    return widths;
}

// No column is wider than the same language makes it at start.
void checkNoWiderThan(const StringGridView* view, const std::vector<int>& atStart, const std::string& where)
{
    SCOPED_TRACE(where);
    const std::vector<int> now = columnWidths(view);
    ASSERT_EQ(now.size(), atStart.size()) << name(view);
    for (std::size_t c = 0; c < now.size(); ++c)
        EXPECT_LE(now[c], atStart[c]) << name(view) << " column " << c << " \""
                                      << Text8::toUnicode(view->grid().cell(static_cast<int>(c), 0)).toStdString()
                                      << "\"";
}

// Every control of an area is at least as large as its layout lets it become: its minimum
// size hint, or a minimum set on it.
void checkNotSqueezed(QWidget* area, const std::string& where)
{
    SCOPED_TRACE(where);
    for (QWidget* w : controlsOf(area)) {
        const QSize least = QWidgetItem(w).minimumSize();
        EXPECT_GE(w->width(), least.width()) << name(w) << " squeezed";
        EXPECT_GE(w->height(), least.height()) << name(w) << " squeezed";
    }
}

// The places of an area's controls but one.
std::map<std::string, QRect> placesOf(QWidget* area, const QWidget* except)
{
    std::map<std::string, QRect> places;
    for (QWidget* w : controlsOf(area))
        if (w != except)
            places[name(w)] = QRect(w->mapTo(area, QPoint(0, 0)), w->size());
    return places;
}

// The controls whose places differ, each with its place before and after; empty: none moved.
std::string moved(const std::map<std::string, QRect>& before, const std::map<std::string, QRect>& after)
{
    const auto text = [](const QRect& r) {
        return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x"
               + std::to_string(r.height());
    };
    std::string out;
    for (const auto& [control, place] : before) {
        const auto now = after.find(control);
        if (now == after.end())
            out += control + " gone; ";
        else if (now->second != place)
            out += control + " " + text(place) + " > " + text(now->second) + "; ";
    }
    return out;
}

// A language as the menu chooses it, and the letters' encoding.
struct Language {
    const char* name;
    int number;        // the settings file's Misc Language
    bool unicode;      // the settings file's Misc Encoding
};

constexpr Language English {"English", 1, false};
constexpr Language Italian {"Italian", 2, false};
constexpr Language Polish {"Polish", 3, false};
constexpr Language PolishUnicode {"Polish, Unicode", 3, true};

class CaptionFit : public AppFixture {
protected:
    void settle()
    {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }

    void startIn(const Language& language)
    {
        writeIni("[Misc]\r\nLanguage=" + std::to_string(language.number)
                 + "\r\nEncoding=" + (language.unicode ? "1" : "0") + "\r\n");
        start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form11()));
        settle();
    }

    void choose(const Language& language)
    {
        TForm11& f = form11();
        if (language.number == 1)
            f.English1Click();
        else if (language.number == 2)
            f.Italian1Click();
        else
            f.Polish1Click();
        settle();
    }

    // The tables of the main window, and the accounts table as the accounts window shows it
    // when it opens in the main window's language.
    std::vector<StringGridView*> tables()
    {
        TForm11& f = form11();
        return {f.Grid_vantrel, f.Grid_pexor, f.Grid_historical, users().Grid_users};
    }
    void openAccounts()
    {
        users().show();
        users().FormActivate();
        settle();
    }
};

} // namespace

TEST_F(CaptionFit, EveryCaptionFitsAtTheDefaultSizeInEachLanguage)
{
    const struct {
        int language;
        int encoding;
    } cases[] = {{1, 0}, {2, 0}, {3, 0}, {3, 1}};
    for (const auto& c : cases) {
        const std::string lang = std::to_string(c.language) + "/" + std::to_string(c.encoding);
        writeIni("[Misc]\r\nLanguage=" + std::to_string(c.language) + "\r\nEncoding=" + std::to_string(c.encoding)
                 + "\r\n");
        start();
        TForm11& f = form11();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
        settle();
        EXPECT_EQ(f.size(), MainWindowSize) << lang;
        checkTabs(f.PageControl1, lang + " main window's pages");
        for (QWidget* page : {f.TabSheet1, f.TabSheet2, f.TabSheet3, f.TabSheet4}) {
            f.PageControl1->setCurrentWidget(page);
            settle();
            checkArea(page, lang + " " + name(page));
        }
        for (StringGridView* view : {f.Grid_vantrel, f.Grid_pexor, f.Grid_historical})
            checkHeaders(view, lang);
        // Below the pages: the custom command and the log.
        checkArea(f.centralWidget(), lang + " below the pages");

        f.Settings1Click();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&settings()));
        settle();
        EXPECT_EQ(settings().size(), SettingsWindowSize) << lang;
        checkTabs(settings().PageControl1, lang + " settings' pages");
        for (QWidget* page : {settings().TabSheet1, settings().TabSheet2}) {
            settings().PageControl1->setCurrentWidget(page);
            settle();
            checkArea(page, lang + " settings " + name(page));
        }
        settings().BitBtn2Click();
    }
}

TEST_F(CaptionFit, TableHeadersFitAfterEveryChangeOfLanguage)
{
    writeAccountsFile(paths().filesDir() + "/users.dat", {{"admin", "Secret1", "Administrator"}});
    const Language languages[] = {English, Italian, Polish, PolishUnicode};
    // The widths each language gives the tables when the program starts in it.
    std::map<std::string, std::vector<std::vector<int>>> atStart;
    for (const Language& l : languages) {
        startIn(l);
        openAccounts();
        for (StringGridView* view : tables()) {
            checkHeaders(view, std::string("at start, ") + l.name);
            atStart[l.name].push_back(columnWidths(view));
        }
    }
    // Every ordered pair of languages, in either encoding: EN IT EN PL IT PL EN.
    for (const Language& polish : {Polish, PolishUnicode}) {
        startIn(Language {"English", English.number, polish.unicode});
        const Language order[] = {Italian, English, polish, Italian, polish, English};
        std::string path = "English";
        for (const Language& l : order) {
            choose(l);
            openAccounts();
            path += std::string(" > ") + l.name;
            const std::vector<StringGridView*> views = tables();
            for (std::size_t t = 0; t < views.size(); ++t) {
                checkHeaders(views[t], path);
                checkNoWiderThan(views[t], atStart[l.name][t], path);
            }
            users().hide();
        }
    }
}

TEST_F(CaptionFit, AColumnTheUserResizedKeepsItsWidthThroughChangesOfLanguage)
{
    startIn(English);
    TForm11& f = form11();
    QHeaderView* header = f.Grid_vantrel->horizontalHeader();
    // As a drag of the header's edges leaves them: "Value " wider, "Mfr. " too narrow for it.
    header->resizeSection(3, 200);
    header->resizeSection(2, 20);
    std::string path = "English";
    for (const Language& l : {Italian, English, Polish, Italian, Polish, English}) {
        choose(l);
        path += std::string(" > ") + l.name;
        EXPECT_EQ(f.Grid_vantrel->columnWidth(3), 200) << path;
        checkHeaders(f.Grid_vantrel, path);
        // Each return to the main window runs its language again.
        f.FormActivate();
        EXPECT_EQ(f.Grid_vantrel->columnWidth(3), 200) << path << ", activated";
    }
}

TEST_F(CaptionFit, StopSecondaryMovesNoControlAsItShowsAndHides)
{
    for (const Language& l : {English, Italian, Polish, PolishUnicode}) {
        startIn(l);
        TForm11& f = form11();
        f.PageControl1->setCurrentWidget(f.TabSheet1);
        settle();
        ASSERT_TRUE(f.Button1->isHidden());
        const std::map<std::string, QRect> hidden = placesOf(f.TabSheet1, f.Button1);
        f.Button1->show();
        settle();
        EXPECT_EQ(moved(hidden, placesOf(f.TabSheet1, f.Button1)), "") << l.name << ", shown";
        checkArea(f.TabSheet1, std::string(l.name) + ", Stop Secondary shown");
        f.Button1->hide();
        settle();
        EXPECT_EQ(moved(hidden, placesOf(f.TabSheet1, f.Button1)), "") << l.name << ", hidden again";
    }
}

TEST_F(CaptionFit, EveryResizableWindowAtItsSmallestShowsEveryControlWhole)
{
    const auto checkWindow = [this](QWidget* w, const std::string& where) {
        TForm11& f = form11();
        if (w != &f) {
            checkArea(w, where);
            checkNotSqueezed(w, where);
            return;
        }
        for (QWidget* page : {f.TabSheet1, f.TabSheet2, f.TabSheet3, f.TabSheet4}) {
            f.PageControl1->setCurrentWidget(page);
            settle();
            checkArea(page, where + " " + name(page));
            checkNotSqueezed(page, where + " " + name(page));
        }
        f.PageControl1->setCurrentWidget(f.TabSheet1);
        settle();
        checkTabs(f.PageControl1, where);
        checkArea(f.centralWidget(), where + " below the pages");
        checkNotSqueezed(f.centralWidget(), where + " below the pages");
    };
    // Each language at the start, then every change from it.
    for (const Language& first : {English, Italian, Polish, PolishUnicode}) {
        startIn(first);
        TForm11& f = form11();
        std::vector<QWidget*> resizable;
        for (QWidget* w : std::initializer_list<QWidget*> {&login(), &f, &settings(), &users(),
                                                            windows().FAbout.get(), windows().FormFullMbus.get()}) {
            w->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(w)) << name(w);
            settle();
            if (w->minimumSize() != w->maximumSize())
                resizable.push_back(w);
            else if (w != &f)
                w->hide();
        }
        // The main window and the detailed report window at least can be resized.
        ASSERT_GE(resizable.size(), 2u);
        for (const Language& l : {first, English, Italian, Polish, PolishUnicode}) {
            const std::string lang = std::string(first.name) + " > " + l.name;
            if (l.number != first.number || l.unicode != first.unicode) {
                f.EncodingName = l.unicode ? "Unicode" : "CP 852";
                choose(l);
                // The windows as the last language left them at their smallest.
                for (QWidget* w : resizable)
                    checkWindow(w, lang + ", " + name(w) + " after the change");
            }
            for (QWidget* w : resizable) {
                // As the window system sizes it, which a window manager that ignores the size
                // hints (or none at all) lets through.
                w->windowHandle()->resize(1, 1);
                settle();
                const std::string where = lang + ", " + name(w) + " at its smallest";
                EXPECT_TRUE(QTest::qWaitFor(
                    [w] { return w->width() >= w->minimumWidth() && w->height() >= w->minimumHeight(); }, 5000))
                    << where << ": " << w->width() << " x " << w->height();
                settle();
                checkWindow(w, where);
            }
        }
    }
}
