// The display table without a link: the fill from the meters table, rows and ticks, the
// mouse rule of the tick, the cell editor's key filter, and the table's CSV files.
#include "DisplayAppFixture.h"
#include "StringGridView.h"
#include "TForm11.h"
#include "TSettings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTest>

#include <fstream>
#include <sstream>

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// n fields "a1;a2;..." each ended by the separator.
std::string fields(int n, const std::string& stem = "f")
{
    std::string line;
    for (int i = 1; i <= n; ++i)
        line += stem + std::to_string(i) + ";";
    return line;
}

struct OptionAccess : QStyledItemDelegate {
    using QStyledItemDelegate::initStyleOption;
};

class DisplayTable : public DisplayAppFixture {
protected:
    TForm11& f() { return form11(); }
    StringGrid& meters() { return f().Grid_vantrel->grid(); }

    // A meter row of a table without the second-main column.
    void meter(int row, const std::string& id, const std::string& address, const std::string& value,
               const std::string& unit, const std::string& model)
    {
        meters().setRowCount(std::max(meters().RowCount(), row + 2));
        meters().setCell(0, row, id);
        meters().setCell(1, row, address);
        meters().setCell(3, row, value);
        meters().setCell(4, row, unit);
        meters().setCell(9, row, model);
    }
    void rows(int n)
    {
        pexor().setRowCount(n + 1);
        for (int r = 1; r <= n; ++r)
            pexor().setCell(1, r, std::to_string(r));
    }
    QPoint boxCenter(int row)
    {
        const QModelIndex index = f().Grid_pexor->model()->index(row - 1, 0);
        QStyleOptionViewItem option;
        option.initFrom(f().Grid_pexor);
        option.rect = f().Grid_pexor->visualRect(index);
        OptionAccess().initStyleOption(&option, index);
        return f().Grid_pexor->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option,
                                                        f().Grid_pexor).center();
    }
    // Enter commits the cell once the events have run; the editor goes.
    void commit(QLineEdit* editor)
    {
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QLineEdit* openEditor(int col, int row)
    {
        const QModelIndex index = f().Grid_pexor->model()->index(row - 1, col);
        f().Grid_pexor->setCurrentIndex(index);
        f().Grid_pexor->edit(index);
        return f().Grid_pexor->viewport()->findChild<QLineEdit*>();
    }
    std::string exported(const char* name)
    {
        prompts.queueSaveFile(folder() + "/" + name);
        f().BitBtn10Click();
        return readFile(folder() + "/" + name + ".csv");   // the dialog adds the extension
    }
    void import(const std::string& name)
    {
        prompts.queueOpenFile(folder() + "/" + name);
        f().BitBtn2Click();
    }
    std::vector<std::string> tableRows()
    {
        std::vector<std::string> text;
        for (int r = 1; r < pexor().RowCount(); ++r)
            text.push_back(rowText(pexor(), r));
        return text;
    }
};

const char* const TooMany = "You are trying to import too many data!!!\nCorrect csv file and try again!";
const char* const WrongFile = "You chose wrong file for import!\nContact administrator!";

} // namespace

TEST_F(DisplayTable, FillTakesOneRowPerMeterWithTheStartValuesAndFactors)
{
    startDisplay();
    meter(1, "11111111", "1", "12.34", "m3", "TX1");
    meter(2, "22222222", "", "5", "kWh", "TX1");   // no address: no user number
    meter(3, "33333333", "3", "abc", "kWh", "TX2");
    meter(4, "44444444", "4", "12345678.9", "MJ", "ABC");
    meter(5, "55555555", "5", "1.2345679E+8", "MJ", "");
    f().BitBtn1->click();
    EXPECT_EQ(tableRows(), (std::vector<std::string> {
                               "11111111|1|m3|12.3|0.0|0.0|0.0|1/1|1|||||",
                               "22222222||kWh||0.0|0.0|0.0|||||||",
                               "33333333|3|kWh|0|0.0|0.0|0.0|10/1|2|||||",
                               "44444444|4|MJ|12345678.9|0.0|0.0|0.0|0/0|3|||||",
                               "55555555|5|MJ|123456790.0|0.0|0.0|0.0|0/0|4|||||"}));
    for (int r = 1; r <= 5; ++r)
        EXPECT_FALSE(f().pexorRowTicked(r));

    // Two meters and the empty last row: two rows.
    meters().setRowCount(2);
    meters().clearRow(1);
    meter(1, "1", "1", "1", "m3", "");
    meter(2, "2", "2", "2", "m3", "");
    ASSERT_EQ(meters().RowCount(), 4);
    f().BitBtn1Click();
    ASSERT_EQ(pexor().RowCount(), 3);
    EXPECT_EQ(pexor().cell(8, 1), "1");
    EXPECT_EQ(pexor().cell(8, 2), "2");

    // An empty meters table: one row, empty but for the three zeros.
    f().Butt_clear_gridClick();
    f().BitBtn1Click();
    EXPECT_EQ(tableRows(), std::vector<std::string> {"||||0.0|0.0|0.0|||||||"});
}

TEST_F(DisplayTable, FillFollowsTheTableAsLaidOutAndStopsAt250Rows)
{
    startDisplay();
    meter(1, "1", "7", "2.5", "m3", "TX2");
    meters().setCell(5, 1, "kWh");
    // The second-main box ticked, and even applied, does not lay the table out anew.
    settings().Check_secMain->setChecked(true);
    settings().BitBtn3Click();
    ASSERT_TRUE(f().SecMainShown);
    f().BitBtn1Click();
    EXPECT_EQ(pexor().cell(2, 1), "m3");
    EXPECT_EQ(pexor().cell(7, 1), "10/1");
    EXPECT_EQ(pexor().cell(6, 1), "0.0");

    // A table laid out with the column: unit from 5, cooling from 4, model from 10.
    f().TableHasSecMain = f().SecMainShown;   // laid out anew, the cells where they are
    f().SetLanguageEnglish();
    ASSERT_TRUE(f().TableHasSecMain);
    meters().setCell(4, 1, "3.25");
    meters().setCell(9, 1, "");
    meters().setCell(10, 1, "TX1");
    f().BitBtn1Click();
    EXPECT_EQ(pexor().cell(2, 1), "kWh");
    EXPECT_EQ(pexor().cell(6, 1), "3.2");
    EXPECT_EQ(pexor().cell(7, 1), "1/1");

    // 300 meters: 250 rows and the line.
    meters().setRowCount(302);
    for (int r = 1; r <= 300; ++r)
        meters().setCell(1, r, std::to_string(r));
    f().BitBtn1Click();
    f().BitBtn8Click();
    f().BitBtn1Click();
    ASSERT_EQ(pexor().RowCount(), 251);
    EXPECT_EQ(pexor().cell(1, 250), "250");
    EXPECT_EQ(pexor().cell(8, 250), "250");
    EXPECT_FALSE(f().pexorRowTicked(250));
    EXPECT_EQ(logCount("Display table full (250 rows), the rest is left out..."), 2u);
}

TEST_F(DisplayTable, RowsAndTicks)
{
    startDisplay();
    for (int i = 0; i < 260; ++i)
        f().BitBtn3->click();
    EXPECT_EQ(pexor().RowCount(), 251);

    f().Butt_pexor_cleartable->click();
    EXPECT_EQ(pexor().RowCount(), 2);
    EXPECT_EQ(pexor().cell(0, 0), " ID ");
    rows(4);
    f().CheckPexorRow(3);
    f().CheckPexorRow(4);
    f().Grid_pexorSelectCell(1, 2);
    f().BitBtn4->click();
    EXPECT_EQ(tableRows(), (std::vector<std::string> {"|1||||||||||||", "|3||||||||||||", "|4||||||||||||"}));
    EXPECT_FALSE(f().pexorRowTicked(1));
    EXPECT_TRUE(f().pexorRowTicked(2));
    EXPECT_TRUE(f().pexorRowTicked(3));
    // The selection stays: the row that moved up goes next.
    f().BitBtn4Click();
    EXPECT_EQ(tableRows(), (std::vector<std::string> {"|1||||||||||||", "|4||||||||||||"}));
    EXPECT_TRUE(f().pexorRowTicked(2));
    // Past the last row: the last row goes, and its tick with it.
    f().Grid_pexorSelectCell(1, 9);
    f().BitBtn4Click();
    EXPECT_EQ(pexor().RowCount(), 2);
    f().BitBtn3Click();
    EXPECT_FALSE(f().pexorRowTicked(2));
    // One row: emptied, its tick kept.
    f().Grid_pexorSelectCell(1, 2);
    f().BitBtn4Click();
    f().CheckPexorRow(1);
    f().BitBtn4Click();
    EXPECT_EQ(pexor().RowCount(), 2);
    EXPECT_EQ(pexor().cell(1, 1), "");
    EXPECT_TRUE(f().pexorRowTicked(1));

    rows(3);
    f().BitBtn8->click();
    for (int r = 1; r <= 3; ++r)
        EXPECT_TRUE(f().pexorRowTicked(r));
    const QModelIndex box = f().Grid_pexor->model()->index(1, 0);
    EXPECT_EQ(box.data(Qt::CheckStateRole).toInt(), Qt::Checked);
    f().BitBtn9->click();
    for (int r = 1; r <= 3; ++r)
        EXPECT_FALSE(f().pexorRowTicked(r));
    f().BitBtn8Click();
    f().Butt_pexor_cleartableClick();
    EXPECT_FALSE(f().pexorRowTicked(1));
    EXPECT_FALSE(f().pexorRowTicked(2));
    // The meters table stays read-only.
    EXPECT_FALSE(f().Grid_vantrel->model()->flags(f().Grid_vantrel->model()->index(0, 0)) & Qt::ItemIsEditable);
}

TEST_F(DisplayTable, TheTickTogglesOnlyWhenPressAndReleaseFallOnTheSameBox)
{
    startDisplay();
    rows(4);
    QWidget* viewport = f().Grid_pexor->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, boxCenter(3));
    EXPECT_TRUE(f().pexorRowTicked(3));
    EXPECT_FALSE(f().pexorRowTicked(2));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, boxCenter(3));
    EXPECT_FALSE(f().pexorRowTicked(3));

    QTest::mousePress(viewport, Qt::LeftButton, {}, boxCenter(3));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, boxCenter(4));
    EXPECT_FALSE(f().pexorRowTicked(3));
    EXPECT_FALSE(f().pexorRowTicked(4));

    const QRect cell = f().Grid_pexor->visualRect(f().Grid_pexor->model()->index(1, 0));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(cell.right() - 4, cell.center().y()));
    EXPECT_FALSE(f().pexorRowTicked(2));
    EXPECT_EQ(f().PexorSelRow, 2);
    EXPECT_EQ(f().PexorSelCol, 0);
    // A single click on the box opens no editor.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, boxCenter(1));
    EXPECT_EQ(viewport->findChild<QLineEdit*>(), nullptr);
    ASSERT_TRUE(f().pexorRowTicked(1));

    // The keyboard ticks nothing: a blank typed on the box opens the ID's editor, which
    // takes no blank.
    pexor().setCell(0, 2, "22");
    f().Grid_pexor->setCurrentIndex(f().Grid_pexor->model()->index(1, 0));
    QTest::keyClick(f().Grid_pexor, Qt::Key_Space);
    EXPECT_FALSE(f().pexorRowTicked(2));
    QLineEdit* editor = viewport->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "22");
    QTest::keyClick(editor, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    f().Grid_pexor->setCurrentIndex(f().Grid_pexor->model()->index(0, 0));
    QTest::keyClick(f().Grid_pexor, Qt::Key_Select);
    EXPECT_TRUE(f().pexorRowTicked(1));
    EXPECT_EQ(pexor().cell(0, 2), "22");
}

// Column 0 holds the tick left of the ID: an eight-digit ID still shows whole beside it.
TEST_F(DisplayTable, AnEightDigitIdShowsWholeBesideTheTick)
{
    startDisplay();
    rows(1);
    pexor().setCell(0, 1, "88888888");
    StringGridView& view = *f().Grid_pexor;
    const QString id = QStringLiteral("88888888");
    const int indicator = view.style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &view);
    ASSERT_GT(indicator, 0);
    EXPECT_GE(view.columnWidth(0), indicator + view.fontMetrics().horizontalAdvance(id));

    // What the item's own layout leaves for the text beside the box; the style draws the text
    // inside a margin on either side of that.
    const QModelIndex index = view.model()->index(0, 0);
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.rect = view.visualRect(index);
    OptionAccess().initStyleOption(&option, index);
    ASSERT_TRUE(option.features & QStyleOptionViewItem::HasCheckIndicator);
    const int margin = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    const int text = view.style()->subElementRect(QStyle::SE_ItemViewItemText, &option, &view).width() - 2 * margin;
    EXPECT_GE(text, option.fontMetrics.horizontalAdvance(id));
    EXPECT_EQ(option.fontMetrics.elidedText(id, option.textElideMode, text), id);
}

TEST_F(DisplayTable, TheKeyFilterJudgesOnlyWhatIsInserted)
{
    startDisplay();
    rows(2);
    struct Case {
        int col;
        const char* typed;
        const char* kept;
    };
    for (const Case& c : {Case {1, "1a2", "12"}, Case {8, "4-2", "42"}, Case {6, "12,5/", "12,5"},
                          Case {7, "10/1.", "10/1"}, Case {9, "Ab c/", "Ab c/"}, Case {0, "12x", "12"}}) {
        pexor().setCell(c.col, 2, "");
        QLineEdit* editor = openEditor(c.col, 2);
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, c.typed);
        EXPECT_EQ(editor->text().toStdString(), c.kept) << c.col;
        commit(editor);
        EXPECT_EQ(pexor().cell(c.col, 2), c.kept) << c.col;
    }
    // A loaded "abc" in the address column can be shortened.
    pexor().setCell(1, 1, "abc");
    QLineEdit* editor = openEditor(1, 1);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "abc");
    editor->end(false);
    QTest::keyClick(editor, Qt::Key_Backspace);
    commit(editor);
    EXPECT_EQ(pexor().cell(1, 1), "ab");
}

TEST_F(DisplayTable, ExportAndImportRoundTrip)
{
    startDisplay();
    rows(2);
    pexor().setCell(9, 2, "text");
    const std::string bytes = exported("table");
    ASSERT_EQ(prompts.dialogs.back().args.fileName, "pexorV48_data.csv");
    EXPECT_EQ(bytes, " ID ;Addr. ;Unit ;Start Main;Start P1, m3;Start P2, m3;Start Cooling;Mult/Div ;User numb. ;"
                     "Free text ;Total ;Total P1;Total P2;Total T4/Cool;\r\n"
                     ";1;;;;;;;;;;;;;\r\n;2;;;;;;;;text;;;;;\r\n");
    f().CheckPexorRow(2);
    import("table.csv");
    EXPECT_TRUE(prompts.boxes.empty());
    ASSERT_EQ(pexor().RowCount(), 4);
    EXPECT_EQ(pexor().cell(0, 1), " ID ");
    EXPECT_EQ(pexor().cell(13, 1), "Total T4/Cool");
    EXPECT_EQ(rowText(pexor(), 3), "|2||||||||text||||");
    EXPECT_FALSE(f().pexorRowTicked(2));
}

TEST_F(DisplayTable, ImportFieldsAndWrongFiles)
{
    startDisplay();
    writeFile(folder() + "/a.csv", fields(14) + "\r\n" + "x;y;z;\r\n" + std::string(60, 'm') + ";\r\n");
    import("a.csv");
    ASSERT_EQ(pexor().RowCount(), 4);
    EXPECT_EQ(pexor().cell(13, 1), "f14");
    EXPECT_EQ(rowText(pexor(), 2), "x|y|z|||||||||||");
    EXPECT_EQ(pexor().cell(0, 3), std::string(50, 'm'));
    const std::vector<std::string> before = tableRows();

    // A missing file, a NUL-filled tail, a line of 15 fields: the table stays as it was.
    import("missing.csv");
    writeFile(folder() + "/nul.csv", "1;2;\r\n" + std::string(64, '\0'));
    import("nul.csv");
    writeFile(folder() + "/wide.csv", "1;2;\r\n" + fields(15) + "\r\n");
    import("wide.csv");
    ASSERT_EQ(prompts.boxes.size(), 3u);
    EXPECT_EQ(prompts.boxes[0].text, WrongFile);
    EXPECT_EQ(prompts.boxes[0].caption, "File Error");
    EXPECT_EQ(prompts.boxes[1].text, WrongFile);
    EXPECT_EQ(prompts.boxes[2].text, TooMany);
    EXPECT_EQ(tableRows(), before);
    prompts.boxes.clear();

    // An empty file: the cleared table.
    writeFile(folder() + "/empty.csv", "");
    import("empty.csv");
    EXPECT_EQ(pexor().RowCount(), 2);
    EXPECT_EQ(rowText(pexor(), 1), "|||||||||||||");

    // 300 lines: rows 1 to 250 from the first 250, then the too-many box.
    std::string many;
    for (int i = 1; i <= 300; ++i)
        many += "id;" + std::to_string(i) + ";\r\n";
    writeFile(folder() + "/many.csv", many);
    import("many.csv");
    ASSERT_EQ(pexor().RowCount(), 251);
    EXPECT_EQ(pexor().cell(1, 250), "250");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, TooMany);
    EXPECT_TRUE(prompts.dialogs.size() >= 1u);
}
