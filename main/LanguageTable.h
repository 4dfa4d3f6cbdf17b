#pragma once

#include <vector>

// The main window's texts in the three languages, as UTF-8 in the source. No Qt types: the
// window converts them once into Windows-1250 byte strings (LanguageTexts.h).

// One caption row: the controls it serves, then English, Italian and Polish. polishUnicode
// is the Polish text when Polish letters are set to "Unicode" and it differs from the
// 8-bit form; nullptr when both forms are the same text.
struct CaptionRow {
    std::vector<const char*> controls;
    const char* english;
    const char* italian;
    const char* polish;
    const char* polishUnicode = nullptr;
};

// Every language-dependent caption of the main window's controls, one row per control (one
// row serves the 24 "Set" buttons).
const std::vector<CaptionRow>& ControlCaptionRows();
// The captions of the main menu: the four menus and their items, Language items aside.
const std::vector<CaptionRow>& MenuCaptionRows();

struct HeaderRow {
    const char* english;
    const char* italian;
    const char* polish;
};
// The ten named headers of the meters table, in order: ID, address, maker, value, unit,
// medium, time, date, status, model. The second-main column (after the value) and the title
// columns take their headers from the settings.
const std::vector<HeaderRow>& MeterHeaderRows();
// The 14 headers of the display table and the 22 of the readings table.
const std::vector<HeaderRow>& PexorHeaderRows();
const std::vector<HeaderRow>& ReadingsHeaderRows();
