#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

// The serial component's exception: a message and nothing else.
class ESioCommError : public std::runtime_error {
public:
    explicit ESioCommError(const std::string& message) : std::runtime_error(message) {}
};

// The system's text for an errno code, without trailing blanks, line breaks or full stops.
std::string SioErrorText(int code);

// Fills each "%d" and "%s" of format, left to right, with the next of values. The values are
// inserted as data: a "%" inside one stays as it is. Placeholders beyond the values stay.
std::string SioFillMessage(std::string_view format, std::initializer_list<std::string_view> values);

// The component's message for a failed system call: "%d" gets the code, "%s" its text.
std::string SioCommMessage(std::string_view format, int code);

// Raises ESioCommError with SioCommMessage(format, code).
[[noreturn]] void RaiseCommError(std::string_view format, int code);

// RaiseCommError(format, errno) when ok is false; errno is read first thing, so pass the
// result of the failing call straight in.
void CheckResult(bool ok, std::string_view format);
