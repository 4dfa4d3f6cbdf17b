#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>

// The program's texts are Windows-1250 byte strings; widgets show Unicode. Text8 converts at
// that boundary. Every byte value has a character and comes back as the same byte; a
// character Windows-1250 cannot hold becomes "?".
//
// The table is built once from Qt's "windows-1250" codec. requireCodec() checks it at start
// and ends the program with a message when the codec is missing or does not round-trip.
class Text8 {
public:
    static QString toUnicode(std::string_view bytes);
    static std::string fromUnicode(const QString& text);
    // As fromUnicode, but nothing when a character has no Windows-1250 byte: for texts that
    // must not change when stored (account names, passwords, levels).
    static std::optional<std::string> fromUnicodeChecked(const QString& text);
    // One byte's character.
    static QChar charOf(unsigned char byte);
    static void requireCodec();
};
