#pragma once

#include "ReadingTexts.h"

#include <string>
#include <string_view>
#include <vector>

// The main window's texts as the byte strings the widgets are given, converted once from the
// UTF-8 table (LanguageTable.h) through Text8; Polish in each of the two letter encodings.

// One of the nine small Polish letters (a ogonek, c acute, e ogonek, l stroke, n acute,
// o acute, s acute, z acute, z dot) as one byte of the interface: with "CP 852" its byte of
// the letter table, with any other setting ("Unicode") the Unicode letter converted by Text8.
// Any other character is converted by Text8 as it is. Every window's Polish texts take their
// letters from here.
std::string PolishLetter(char16_t letter, std::string_view encodingName);

struct ControlText {
    std::string control;   // objectName
    std::string text;
};

struct LanguageTexts {
    std::vector<ControlText> controls;   // one entry per control: the "Set" row gives 24
    std::vector<ControlText> menus;
    std::vector<ControlText> accents;
    std::vector<std::string> meterHeaders;     // the ten named headers
    std::vector<std::string> pexorHeaders;     // 14
    std::vector<std::string> readingsHeaders;  // 22
    // The caption of a control; empty when the table has no row for it.
    std::string caption(std::string_view control) const;
};

// The texts of a language; Polish with the letters of the encoding.
const LanguageTexts& MainWindowTexts(UiLanguage language, std::string_view encodingName);

// The caption of the write button when no write runs; while one runs, the stop caption, the
// same in every language.
std::string WriteTableButtonCaption(UiLanguage language, std::string_view encodingName);
inline constexpr char WriteTableStopCaption[] = "Stop writing table in display";
