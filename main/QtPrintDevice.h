#pragma once

#include "PrintDevice.h"

#include <QFont>
#include <QPainter>
#include <QString>

#include <functional>
#include <string>

class QPrinter;

// Printing on a QPrinter. The printer should be in high resolution; the printable area is the
// page layout's paint rectangle, where a painter on the printer has its origin. Text is drawn in
// a fixed 8 pt of the application's font family, so that the 36 double-spaced lines of the first
// page of a log stay on an A4 page; CR and LF inside a line are drawn as blanks.
class QtPrintDevice : public PrintDevice {
public:
    // toText turns the program's byte strings into the text to draw.
    QtPrintDevice(QPrinter& printer, std::function<QString(const std::string&)> toText);
    ~QtPrintDevice() override;

    int pageWidth() const override;
    int pageHeight() const override;
    bool begin() override;
    bool newPage() override;
    void drawText(int x, int y, const std::string& text) override;
    int textHeight(const std::string& text) const override;
    bool end() override;
    void abort() override;

    static constexpr int FontPointSize = 8;

private:
    QPrinter& printer_;
    std::function<QString(const std::string&)> toText_;
    QFont font_;
    QPainter painter_;
};
