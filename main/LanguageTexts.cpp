#include "LanguageTexts.h"

#include "LanguageTable.h"
#include "Text8.h"

#include <QString>

namespace {

std::string converted(const char* utf8) { return Text8::fromUnicode(QString::fromUtf8(utf8)); }

// A caption row's or a header row's text in the language.
template <class Row>
const char* columnText(const Row& row, UiLanguage language)
{
    switch (language) {
    case UiLanguage::Italian:
        return row.italian;
    case UiLanguage::Polish:
        return row.polish;
    case UiLanguage::English:
        break;
    }
    return row.english;
}

std::vector<ControlText> captions(const std::vector<CaptionRow>& rows, UiLanguage language, bool unicode)
{
    std::vector<ControlText> out;
    for (const CaptionRow& row : rows) {
        const bool unicodeForm = language == UiLanguage::Polish && unicode && row.polishUnicode;
        const std::string text = converted(unicodeForm ? row.polishUnicode : columnText(row, language));
        for (const char* control : row.controls)
            out.push_back({control, text});
    }
    return out;
}

std::vector<std::string> headers(const std::vector<HeaderRow>& rows, UiLanguage language)
{
    std::vector<std::string> out;
    for (const HeaderRow& row : rows)
        out.push_back(converted(columnText(row, language)));
    return out;
}

LanguageTexts build(UiLanguage language, bool unicode)
{
    LanguageTexts t;
    t.controls = captions(ControlCaptionRows(), language, unicode);
    t.menus = captions(MenuCaptionRows(), language, unicode);
    t.meterHeaders = headers(MeterHeaderRows(), language);
    t.pexorHeaders = headers(PexorHeaderRows(), language);
    t.readingsHeaders = headers(ReadingsHeaderRows(), language);
    return t;
}

} // namespace

std::string PolishLetter(char16_t letter) { return Text8::fromUnicode(QString(QChar(letter))); }

std::string LanguageTexts::caption(std::string_view control) const
{
    for (const ControlText& c : controls)
        if (c.control == control)
            return c.text;
    return {};
}

const LanguageTexts& MainWindowTexts(UiLanguage language, std::string_view encodingName)
{
    // Converted once each, at first use.
    static const LanguageTexts english = build(UiLanguage::English, false);
    static const LanguageTexts italian = build(UiLanguage::Italian, false);
    switch (language) {
    case UiLanguage::Italian:
        return italian;
    case UiLanguage::Polish:
        if (encodingName == "CP 852") {
            static const LanguageTexts polish8 = build(UiLanguage::Polish, false);
            return polish8;
        } else {
            static const LanguageTexts polishUnicode = build(UiLanguage::Polish, true);
            return polishUnicode;
        }
    case UiLanguage::English:
        break;
    }
    return english;
}

std::string WriteTableButtonCaption(UiLanguage language, std::string_view encodingName)
{
    return MainWindowTexts(language, encodingName).caption("Butt_pexor_set");
}

std::string ReadAllButtonCaption(UiLanguage language, std::string_view encodingName)
{
    return MainWindowTexts(language, encodingName).caption("Butt_readall");
}
