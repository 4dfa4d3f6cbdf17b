#pragma once

#include <string>

// What printing the log needs of a printer. Positions and sizes are device pixels, measured
// from the top left corner of the printable area; a text's position is the top of its line.
class PrintDevice {
public:
    virtual ~PrintDevice() = default;

    // The printable area.
    virtual int pageWidth() const = 0;
    virtual int pageHeight() const = 0;

    // Begins the document; false when it could not be begun (nothing is open then).
    virtual bool begin() = 0;
    // Ends the current page and begins the next; false on failure.
    virtual bool newPage() = 0;
    virtual void drawText(int x, int y, const std::string& text) = 0;
    // The height of a line of text in the printing font.
    virtual int textHeight(const std::string& text) const = 0;
    // Ends the document; false on failure.
    virtual bool end() = 0;
    // Drops a begun document, whatever state it is in.
    virtual void abort() = 0;
};
