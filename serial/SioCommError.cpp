#include "SioCommError.h"

#include <cerrno>
#include <cstring>

std::string SioErrorText(int code)
{
    char buffer[256];
    // The GNU variant: gives a pointer to the text, which need not be the buffer.
    std::string text = ::strerror_r(code, buffer, sizeof buffer);
    while (!text.empty()) {
        const char c = text.back();
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '.')
            break;
        text.pop_back();
    }
    return text;
}

std::string SioFillMessage(std::string_view format, std::initializer_list<std::string_view> values)
{
    std::string out;
    out.reserve(format.size() + 64);
    auto next = values.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == 'd' || format[i + 1] == 's')
            && next != values.end()) {
            out.append(*next++);
            ++i;
        } else {
            out.push_back(format[i]);
        }
    }
    return out;
}

std::string SioCommMessage(std::string_view format, int code)
{
    const std::string number = std::to_string(code);
    const std::string text = SioErrorText(code);
    // Every such message has "%d" before "%s", each once.
    return SioFillMessage(format, {number, text});
}

void RaiseCommError(std::string_view format, int code)
{
    throw ESioCommError(SioCommMessage(format, code));
}

void CheckResult(bool ok, std::string_view format)
{
    const int code = errno;
    if (!ok)
        RaiseCommError(format, code);
}
