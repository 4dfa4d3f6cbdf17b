#pragma once

#include <stdexcept>
#include <string>

// A text that should have been a number is not one. The message names the text, so a caller
// that reports the error shows what was wrong.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const std::string& text)
        : std::runtime_error("'" + text + "' is not a valid integer value"), text_(text)
    {
    }

    // The text that could not be converted.
    const std::string& text() const { return text_; }

private:
    std::string text_;
};
