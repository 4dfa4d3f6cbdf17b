#include "LanguageTexts.h"

#include "LanguageTable.h"
#include "Text8.h"

#include <QString>

#include <array>

namespace {

struct Letter {
    char16_t letter;
    char byte;
};

// The Polish letters and their Windows-1250 bytes.
constexpr std::array<Letter, 9> Letters = {{{u'ą', '\xB9'},
                                           {u'ć', '\xE6'},
                                           {u'ę', '\xEA'},
                                           {u'ł', '\xB3'},
                                           {u'ń', '\xF1'},
                                           {u'ó', '\xF3'},
                                           {u'ś', '\x9C'},
                                           {u'ź', '\x9F'},
                                           {u'ż', '\xBF'}}};

enum class Column { English, Italian, Polish };

std::string converted(const char* utf8, Column column, std::string_view encodingName)
{
    const QString text = QString::fromUtf8(utf8);
    if (column != Column::Polish)
        return Text8::fromUnicode(text);
    std::string bytes;
    for (const QChar c : text)
        bytes += PolishLetter(c.unicode(), encodingName);
    return bytes;
}

const char* columnText(const CaptionRow& row, Column column, bool unicode)
{
    switch (column) {
    case Column::Italian:
        return row.italian;
    case Column::Polish:
        return unicode && row.polishUnicode ? row.polishUnicode : row.polish;
    case Column::English:
        break;
    }
    return row.english;
}

std::vector<ControlText> captions(const std::vector<CaptionRow>& rows, Column column, std::string_view encodingName)
{
    const bool unicode = encodingName != "CP 852";
    std::vector<ControlText> out;
    for (const CaptionRow& row : rows) {
        const std::string text = converted(columnText(row, column, unicode), column, encodingName);
        for (const char* control : row.controls)
            out.push_back({control, text});
    }
    return out;
}

std::vector<std::string> headers(const std::vector<HeaderRow>& rows, Column column, std::string_view encodingName)
{
    std::vector<std::string> out;
    for (const HeaderRow& row : rows) {
        const char* text = column == Column::Italian ? row.italian
                           : column == Column::Polish ? row.polish
                                                      : row.english;
        out.push_back(converted(text, column, encodingName));
    }
    return out;
}

LanguageTexts build(Column column, std::string_view encodingName)
{
    LanguageTexts t;
    t.controls = captions(ControlCaptionRows(), column, encodingName);
    t.menus = captions(MenuCaptionRows(), column, encodingName);
    t.accents = captions(AccentCaptionRows(), column, encodingName);
    t.meterHeaders = headers(MeterHeaderRows(), column, encodingName);
    t.pexorHeaders = headers(PexorHeaderRows(), column, encodingName);
    t.readingsHeaders = headers(ReadingsHeaderRows(), column, encodingName);
    return t;
}

} // namespace

std::string PolishLetter(char16_t letter, std::string_view encodingName)
{
    if (encodingName == "CP 852") {
        for (const Letter& l : Letters)
            if (l.letter == letter)
                return std::string(1, l.byte);
    }
    return Text8::fromUnicode(QString(QChar(letter)));
}

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
    static const LanguageTexts english = build(Column::English, "CP 852");
    static const LanguageTexts italian = build(Column::Italian, "CP 852");
    switch (language) {
    case UiLanguage::Italian:
        return italian;
    case UiLanguage::Polish:
        if (encodingName == "CP 852") {
            static const LanguageTexts polish8 = build(Column::Polish, "CP 852");
            return polish8;
        } else {
            static const LanguageTexts polishUnicode = build(Column::Polish, "Unicode");
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
