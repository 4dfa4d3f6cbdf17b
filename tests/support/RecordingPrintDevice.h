#pragma once

#include "PrintDevice.h"

#include <cstddef>
#include <string>
#include <vector>

// A print device for tests: a page of a set size and a set text height, recording every call
// in order; on request it fails to begin, fails at the k-th new page, or fails to end.
class RecordingPrintDevice : public PrintDevice {
public:
    enum class Kind { Begin, NewPage, Text, End, Abort };
    struct Event {
        Kind kind;
        int x = 0;
        int y = 0;
        std::string text;
    };

    int width = 2100;
    int height = 2970;
    int lineHeight = 10;
    bool failBegin = false;
    int failAtNewPage = 0;   // 1 fails the first new page; 0 never fails
    bool failEnd = false;

    std::vector<Event> events;

    int pageWidth() const override { return width; }
    int pageHeight() const override { return height; }
    bool begin() override;
    bool newPage() override;
    void drawText(int x, int y, const std::string& text) override;
    int textHeight(const std::string&) const override { return lineHeight; }
    bool end() override;
    void abort() override;

    std::size_t count(Kind kind) const;
    // The texts drawn, page by page: a page starts at the begin and at every new page.
    std::vector<std::vector<Event>> pages() const;

private:
    int newPages_ = 0;
};
