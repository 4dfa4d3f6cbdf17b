#pragma once

#include "ReadingTexts.h"

#include <string>
#include <string_view>
#include <vector>

// The main window's texts as the byte strings the widgets are given, converted once from the
// UTF-8 table (LanguageTable.h) through Text8. Polish has two forms of a few texts; the
// encoding setting chooses between them.

// One Polish letter (or any character) as the interface's Windows-1250 byte, converted by
// Text8. The other windows' Polish texts take their letters from here.
std::string PolishLetter(char16_t letter);

struct ControlText {
    std::string control;   // objectName
    std::string text;
};

struct LanguageTexts {
    std::vector<ControlText> controls;   // one entry per control: the "Set" row gives 24
    std::vector<ControlText> menus;
    std::vector<std::string> meterHeaders;     // the ten named headers
    std::vector<std::string> pexorHeaders;     // 14
    std::vector<std::string> readingsHeaders;  // 22
    // The caption of a control; empty when the table has no row for it.
    std::string caption(std::string_view control) const;
};

// The texts of a language; Polish in the form the encoding setting chooses.
const LanguageTexts& MainWindowTexts(UiLanguage language, std::string_view encodingName);

// The caption of the write button when no write runs; while one runs, the stop caption, the
// same in every language.
std::string WriteTableButtonCaption(UiLanguage language, std::string_view encodingName);
inline constexpr char WriteTableStopCaption[] = "Stop writing table in display";

// The caption "Read all meters" gets back at the end of a read of all meters.
std::string ReadAllButtonCaption(UiLanguage language, std::string_view encodingName);
