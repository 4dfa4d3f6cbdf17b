#pragma once

#include "FileWriter.h"

#include <optional>
#include <string>
#include <string_view>

// The one way the program writes a file (settings, accounts, CSV, log, report): the whole
// content goes to a temporary file in the target's folder, which is renamed over the target
// only when every byte has been written and flushed. Any failure discards the temporary and
// leaves the target and its folder as they were.
//
// Only a regular file is replaced (or a new one created). A link is followed: its target is
// written, or created when it does not exist yet. A FIFO, device, socket or folder at the
// path, or at the end of its link, is refused and left as it is.
//
// path is a file-system byte string. mode, when given, sets the file's permission bits
// (0600 for the accounts file) before any byte is written; otherwise a new file gets the
// usual 0666 less the umask and an existing one keeps its bits.
WriteResult writeFileAtomically(const std::string& path, std::string_view bytes,
                                std::optional<unsigned> mode = std::nullopt);

// writeFileAtomically as a FileWriter, for IniFile and other byte-level code.
FileWriter atomicFileWriter(std::optional<unsigned> mode = std::nullopt);
