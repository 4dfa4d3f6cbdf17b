// The three languages of the main window: one routine over the text table, which also lays
// out the meters table's columns for the settings' second-main column and titles.
#include "TForm11.h"

#include "AccentLabel.h"
#include "LanguageTexts.h"
#include "StringGridView.h"
#include "Text8.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>

#include <algorithm>
#include <utility>

namespace {

// Widths of the named columns and of the second-main and title columns.
constexpr int NamedWidths[10] = {80, 50, 50, 90, 50, 100, 80, 80, 60, 60};
constexpr int SecMainWidth = 90;
constexpr int TitleWidth = 110;

void setHeaders(StringGrid& grid, const std::vector<std::string>& headers)
{
    for (std::size_t c = 0; c < headers.size(); ++c)
        grid.setCell(static_cast<int>(c), 0, headers[c]);
}

} // namespace

void TForm11::SetLanguageEnglish() { applyLanguage(UiLanguage::English); }
void TForm11::SetLanguageItalian() { applyLanguage(UiLanguage::Italian); }
void TForm11::SetLanguagePolish() { applyLanguage(UiLanguage::Polish); }

void TForm11::applyLanguage(UiLanguage language)
{
    const LanguageTexts& texts = MainWindowTexts(language, EncodingName);

    // The meters table: its cells follow a change of the second-main column once, then its
    // columns and headers.
    relayMeterTable();
    layMeterColumns(texts);
    setHeaders(Grid_pexor->grid(), texts.pexorHeaders);
    setHeaders(Grid_historical->grid(), texts.readingsHeaders);
    fitHeaders(*Grid_vantrel, meterColumns_);
    fitHeaders(*Grid_pexor, pexorColumns_);
    fitHeaders(*Grid_historical, readingsColumns_);

    for (const ControlText& c : texts.controls)
        setCaption(c.control, c.text);
    // A run in progress keeps its stop caption.
    if (SearchActive)
        Butt_find_primary->setText(Text8::toUnicode(SearchStopCaption));
    // Only the write run stops from that button; a delete or zero run ticks its own step.
    if (WriteTableActive && !Check_pexor_delete->isChecked() && !Check_pexor_delp->isChecked())
        Butt_pexor_set->setText(Text8::toUnicode(WriteTableStopCaption));

    placeAccentLabels(language == UiLanguage::Italian);

    for (const ControlText& m : texts.menus)
        setCaption(m.control, m.text);
}

void TForm11::fitHeaders(StringGridView& view, FittedColumns& fitted)
{
    const int count = view.grid().ColCount();
    if (static_cast<int>(fitted.laid.size()) != count) {
        fitted.laid.clear();
        for (int c = 0; c < count; ++c)
            fitted.laid.push_back(view.columnWidth(c));
        fitted.given = fitted.laid;
    }
    const QHeaderView* header = view.horizontalHeader();
    const QFontMetrics metrics = header->fontMetrics();
    const int margins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 2;
    for (int c = 0; c < count; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const int needed = metrics.horizontalAdvance(Text8::toUnicode(view.grid().cell(c, 0))) + margins;
        // A column still at the width given last follows the language, from its laid width;
        // one the user resized keeps that width, unless its header needs more.
        const int now = view.columnWidth(c);
        const bool usersWidth = now != fitted.given[i];
        const int width = std::max(usersWidth ? now : fitted.laid[i], needed);
        view.setColumnWidth(c, width);
        if (!usersWidth || width != now)
            fitted.given[i] = width;
    }
}

void TForm11::setCaption(const std::string& control, const std::string& text)
{
    const QString name = QString::fromLatin1(control);
    const QString caption = Text8::toUnicode(text);
    if (auto* menu = findChild<QMenu*>(name)) {
        menu->setTitle(caption);
        return;
    }
    if (auto* action = findChild<QAction*>(name)) {
        action->setText(caption);
        return;
    }
    QWidget* w = findChild<QWidget*>(name);
    if (!w)
        return;   // a control this build does not have
    if (const int page = PageControl1->indexOf(w); page >= 0)
        PageControl1->setTabText(page, caption);
    else if (auto* box = qobject_cast<QGroupBox*>(w))
        box->setTitle(caption);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(caption);
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(caption);
}

void TForm11::buildAccentLabels()
{
    Label36 = AccentLabel::create(Label13, "Label36");
    Label37 = AccentLabel::create(Label35, "Label37");
    Label38 = AccentLabel::create(Label29, "Label38");
    Label39 = AccentLabel::create(Label21, "Label39");
}

void TForm11::placeAccentLabels(bool shown)
{
    for (const auto& [accent, base] : {std::pair {Label36, Label13}, std::pair {Label37, Label35},
                                       std::pair {Label38, Label29}, std::pair {Label39, Label21}}) {
        AccentLabel::place(accent, base);
        accent->setVisible(shown);
    }
}

void TForm11::relayMeterTable()
{
    if (TableHasSecMain != SecMainShown) {
        // Rows 1 to the last, the empty last row included; the headers follow.
        StringGrid& grid = Grid_vantrel->grid();
        if (SecMainShown) {
            grid.setColCount(11 + TitleCount);
            const int count = grid.ColCount();
            for (int r = 1; r < grid.RowCount(); ++r) {
                for (int c = count - 1; c >= 5; --c)
                    grid.setCell(c, r, std::string(grid.cell(c - 1, r)));
                grid.setCell(4, r, "");
            }
        } else {
            const int count = grid.ColCount();
            for (int r = 1; r < grid.RowCount(); ++r) {
                for (int c = 4; c <= count - 2; ++c)
                    grid.setCell(c, r, std::string(grid.cell(c + 1, r)));
                grid.setCell(count - 1, r, "");
            }
        }
        TableHasSecMain = SecMainShown;
    }
    SecMainChanged = false;
}

void TForm11::layMeterColumns(const LanguageTexts& texts)
{
    const int p = SecMainShown ? 11 : 10;
    StringGrid& grid = Grid_vantrel->grid();
    grid.setColCount(p + TitleCount);

    const std::vector<std::string>& named = texts.meterHeaders;
    std::vector<int> widths;
    for (int c = 0; c < 4; ++c) {
        grid.setCell(c, 0, named[static_cast<std::size_t>(c)]);
        widths.push_back(NamedWidths[c]);
    }
    if (p == 11) {
        grid.setCell(4, 0, Titles[9]);
        widths.push_back(SecMainWidth);
    }
    for (int k = 4; k < 10; ++k) {
        grid.setCell(p - 10 + k, 0, named[static_cast<std::size_t>(k)]);
        widths.push_back(NamedWidths[k]);
    }
    // A count beyond nine (an edited file) widens the table without title headers.
    if (TitleCount >= 1 && TitleCount <= 9)
        for (int k = 0; k < TitleCount; ++k)
            grid.setCell(p + k, 0, Titles[static_cast<std::size_t>(k)]);

    // Widths only when the columns change, so that a user's widths stay.
    if (grid.ColCount() != laidColumns_ || p != laidFixed_) {
        for (int c = 0; c < grid.ColCount(); ++c)
            Grid_vantrel->setColumnWidth(c, c < p ? widths[static_cast<std::size_t>(c)] : TitleWidth);
        laidColumns_ = grid.ColCount();
        laidFixed_ = p;
        meterColumns_ = {};
    }
}
