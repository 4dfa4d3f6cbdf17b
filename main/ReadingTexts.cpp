#include "ReadingTexts.h"

#include "FixedFormat.h"

#include <charconv>
#include <cmath>

std::string FindButtonCaption(UiLanguage language)
{
    switch (language) {
    case UiLanguage::Polish:
        return "Znajd\x9F";
    case UiLanguage::Italian:
        return "Cerca";
    case UiLanguage::English:
        break;
    }
    return "Find";
}

Question ClearTableQuestion(UiLanguage language)
{
    switch (language) {
    case UiLanguage::Polish:
        return {"Wyczy\x9C\xE6 potwierdzenie", "Czy chcesz wyczy\x9C" "ci\xE6 tabele?"};
    case UiLanguage::Italian:
        return {"Conferma cancellazione", "Vuoi cancellare la tabella?"};
    case UiLanguage::English:
        break;
    }
    return {"Clear confirmation", "Do you want to clear the table?"};
}

int MeterAddressNumber(std::string_view text)
{
    if (text.empty() || text.size() > 3)
        return -1;
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < 0 || value > 255)
        return -1;
    return value;
}

std::string RelayValueText(std::string_view valueCell, char separator)
{
    // The cell as the locale writes a number: blanks around it, an optional sign, digits
    // with the locale's separator, an optional exponent.
    const auto first = valueCell.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return "0";
    valueCell = valueCell.substr(first, valueCell.find_last_not_of(' ') - first + 1);
    std::string text;
    for (const char c : valueCell) {
        if (c == separator)
            text += '.';
        else if (c == '.' || c == ',' || c == '\'')
            return "0";   // another separator than the locale's
        else
            text += c;
    }
    if (!text.empty() && text.front() == '+')
        text.erase(0, 1);
    if (text.empty() || text.find_first_of("0123456789") == std::string::npos
        || text.find_first_not_of("0123456789.-eE+") != std::string::npos)
        return "0";
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value))
        return "0";
    return FormatFixed(static_cast<long double>(value) * 1000, 8, 0, separator);
}
