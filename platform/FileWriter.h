#pragma once

#include <functional>
#include <string>
#include <string_view>

// The outcome of writing a whole file. error is a short diagnostic (path and system reason);
// callers show their own message and may log this text.
struct WriteResult {
    bool ok = false;
    std::string error;
    explicit operator bool() const { return ok; }
};

// Writes bytes as the whole content of the file at path (a file-system byte string). The
// program's writer is writeFileAtomically (AtomicFile.h); byte-level code takes a FileWriter
// so that it stays free of Qt and can be tested with a writer of the test's own.
using FileWriter = std::function<WriteResult(const std::string& path, std::string_view bytes)>;
