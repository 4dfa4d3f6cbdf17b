// CSV files of the main window's tables: the export of any table, the import of the meters
// table, and their buttons and menu items.
#include "TForm11.h"

#include "AtomicFile.h"
#include "GridCsvFile.h"
#include "Prompts.h"
#include "StringGridView.h"
#include "TSettings.h"
#include "Text8.h"

#include <QLineEdit>

#include <climits>
#include <exception>
#include <optional>
#include <stdexcept>

namespace {

const char* const SaveErrorCaption = "Error saving file";

CsvGrid csvGridOf(const StringGrid& grid)
{
    CsvGrid csv;
    csv.columnCount = grid.ColCount();
    csv.rowCount = grid.RowCount();
    csv.cell = [&grid](int column, int row) { return grid.cell(column, row); };
    return csv;
}

} // namespace

// The separator is the settings window's field as it is now, applied or not.
std::string TForm11::exportSeparator() const
{
    return Settings ? Text8::fromUnicode(Settings->Edit_export_separator->text()) : std::string(";");
}

void TForm11::ExportGridCsv(const StringGrid& grid, const std::string& defaultName,
                            std::vector<std::string>& lines)
{
    exportCsv(grid, defaultName, lines, false);
}

void TForm11::exportCsv(const StringGrid& grid, const std::string& defaultName, std::vector<std::string>& lines,
                        bool leadingEmptyLine)
{
    lines.clear();
    std::optional<std::string> path;
    try {
        Prompts::FileDialog dialog;
        dialog.filter = "CSV files (*.csv)";
        dialog.defaultExtension = "csv";
        dialog.initialFolder = DataDir;
        dialog.fallbackFolder = paths_.folder();
        dialog.fileName = defaultName;
        path = prompts_.saveFile(this, dialog);
    } catch (const std::exception&) {
        prompts_.message(this, Prompts::Icon::Error, SaveErrorCaption,
                         "File cannot be written or open!\nContact administrator.", Prompts::Buttons::Ok);
        return;
    }
    if (!path)
        return;

    bool written = false;
    try {
        lines = csvGridLines(csvGridOf(grid), exportSeparator());
        if (leadingEmptyLine)
            lines.insert(lines.begin(), std::string());
        // Whole or not at all: an older file stays as it was when the write fails.
        written = static_cast<bool>(writeFileAtomically(*path, csvFileBytes(lines)));
    } catch (const std::exception&) {
        written = false;
    }
    if (!written)
        prompts_.message(this, Prompts::Icon::Error, SaveErrorCaption,
                         "File cannot be written, no rights!\nContact administrator.", Prompts::Buttons::Ok);
}

void TForm11::ImportMetersCsv(const std::string& fileName, std::vector<std::string>& lines)
{
    StringGrid& grid = Grid_vantrel->grid();
    std::size_t filled = 0;
    bool tableCleared = false;
    try {
        lines.clear();
        const std::string separator = exportSeparator();
        // The whole file is read and checked before the table is touched, so that a wrong
        // or damaged file never costs the table on screen.
        CsvImportCheck check = csvCheckImportFile(fileName, separator, CsvFieldSlots);
        if (check.status == CsvImportStatus::WrongFile) {
            prompts_.message(this, Prompts::Icon::Warning, "File Error",
                             "You chose wrong file for import!\nContact administrator!", Prompts::Buttons::Ok);
            return;
        }
        if (check.status == CsvImportStatus::TooManyData) {
            prompts_.message(this, Prompts::Icon::None, "Ferolt",
                             "You are trying to import too many data!!!\nCorrect csv file and try again!",
                             Prompts::Buttons::Ok);
            return;
        }
        lines = std::move(check.lines);
        if (lines.size() > static_cast<std::size_t>(INT_MAX - 2))
            throw std::length_error("too many lines");

        Butt_clear_gridClick();
        tableCleared = true;
        const int columns = grid.ColCount();
        // Line k goes to row k + 1; the table keeps its empty last row.
        grid.setRowCount(static_cast<int>(lines.size()) + 2);
        for (const std::string& line : lines) {
            const std::vector<std::string> cells = csvRowCells(line, columns, separator);
            const int row = static_cast<int>(filled) + 1;
            for (int c = 0; c < columns; ++c)
                grid.setCell(c, row, cells[static_cast<std::size_t>(c)]);
            ++filled;
        }
    } catch (const std::exception& e) {
        // The rows filled so far stay, followed by the empty last row.
        if (tableCleared) {
            grid.clearRow(static_cast<int>(filled) + 1);
            grid.setRowCount(static_cast<int>(filled) + 2);
        }
        Log.add(std::string("Exception importing - ") + e.what());
        prompts_.message(this, Prompts::Icon::Warning, "Error import", "Errors during import!\nPlease, correct...",
                         Prompts::Buttons::Ok);
    }
}

void TForm11::Butt_save_dataClick()
{
    ExportGridCsv(Grid_vantrel->grid(), "meters_data.csv", Memo_export);
}

void TForm11::Save1Click()
{
    Butt_save_dataClick();
}

void TForm11::Butt_load_dataClick()
{
    std::optional<std::string> path;
    try {
        Prompts::FileDialog dialog;
        dialog.filter = "CSV (*.csv)";
        dialog.initialFolder = DataDir;
        dialog.fallbackFolder = paths_.folder();
        dialog.mustExist = false;   // a missing file gets the wrong-file box
        path = prompts_.openFile(this, dialog);
    } catch (const std::exception&) {
        prompts_.message(this, Prompts::Icon::Warning, "File Error",
                         "You chose wrong file for import!\nContact administrator!", Prompts::Buttons::Ok);
        return;
    }
    if (path)
        ImportMetersCsv(*path, Memo_export);
}

void TForm11::Open1Click()
{
    Butt_load_dataClick();
}
