#pragma once

#include "FileWriter.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The settings file: a Windows-style INI file, read whole once and written whole on save.
//
// Section and key names are trimmed and match ASCII case-blind; the first matching section
// and the first matching key in it are the ones read and written. A line whose first
// non-blank character is ';' is a comment; lines before any section and lines without '='
// are kept and never matched. A value is the text after the first '=' to the line end,
// trimmed of blanks and tabs, so ';' inside a value is data.
//
// Writing replaces a key's line in place (with the writer's spelling of the key); a new key
// goes after the last key line of its section, a new section at the end of the file. Lines
// the program writes end in CR LF; every other line is kept byte for byte, its line end
// included. CR and LF inside a value are written as blanks.
//
// A UTF-8 byte-order mark at the start is skipped when reading and kept when writing.
//
// A missing or unreadable file reads as empty, so every key gives its default; nothing is
// created until save(). A file that exists but could not be read is never overwritten; a
// FIFO, device or folder at the path is such a file (it is not read, and opening it does not
// wait).
//
//     IniFile ini(paths.iniPath(), writeFileAtomically);
//     port = ini.readString("Ethernet", "Port", "59615");
//     ini.writeString("Ethernet", "Port", port);
//     if (!ini.save()) ...
class IniFile {
public:
    // Reads the file at path (a file-system byte string); writer is used by save().
    IniFile(std::string path, FileWriter writer);
    // A file held in memory only (tests, composing); save() needs a writer.
    static IniFile fromText(std::string_view text, std::string path = {}, FileWriter writer = {});

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // Decimal (sign allowed) or 0x/0X hex, the whole trimmed value, within the 32-bit
    // signed range; anything else gives the default.
    int readInteger(std::string_view section, std::string_view key, int defaultValue) const;
    // An integer; non-zero is true. A non-number gives the default.
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, int value);
    // Writes "1" or "0".
    void writeBool(std::string_view section, std::string_view key, bool value);

    // The whole file as it would be saved.
    std::string text() const;
    // Writes text() through the writer. Fails without writing when the file existed but
    // could not be read (its content would be lost) or when there is no writer.
    WriteResult save() const;

    const std::string& path() const { return path_; }
    // Empty when the file was read or did not exist; else why it could not be read.
    const std::string& readError() const { return readError_; }

private:
    IniFile() = default;
    struct Line {
        std::string text;   // without its line end
        std::string end;    // "\r\n", "\n" or "" (only the last line may lack one)
    };
    struct Range { std::size_t header, first, last; }; // lines [first, last) follow header

    void parse(std::string_view text);
    std::optional<Range> findSection(std::string_view section) const;
    std::optional<std::size_t> findKey(const Range& range, std::string_view key) const;
    const Line* findKeyLine(std::string_view section, std::string_view key) const;
    void ensureFinalLineEnd();

    std::string path_;
    FileWriter writer_;
    std::string bom_;       // a UTF-8 byte-order mark before the first line, or empty
    std::vector<Line> lines_;
    std::string readError_;
};
