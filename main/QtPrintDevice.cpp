#include "QtPrintDevice.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPrinter>

#include <algorithm>

QtPrintDevice::QtPrintDevice(QPrinter& printer, std::function<QString(const std::string&)> toText)
    : printer_(printer), toText_(std::move(toText)),
      font_(QGuiApplication::font().family(), FontPointSize)
{
}

QtPrintDevice::~QtPrintDevice()
{
    abort();
}

int QtPrintDevice::pageWidth() const
{
    return printer_.pageLayout().paintRectPixels(printer_.resolution()).width();
}

int QtPrintDevice::pageHeight() const
{
    return printer_.pageLayout().paintRectPixels(printer_.resolution()).height();
}

bool QtPrintDevice::begin()
{
    if (!painter_.begin(&printer_))
        return false;
    if (printer_.printerState() == QPrinter::Error) {
        abort();
        return false;
    }
    painter_.setFont(font_);
    return true;
}

bool QtPrintDevice::newPage()
{
    return printer_.newPage() && printer_.printerState() != QPrinter::Error;
}

void QtPrintDevice::drawText(int x, int y, const std::string& text)
{
    std::string shown = text;
    std::replace_if(shown.begin(), shown.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    // The position is the top of the line; QPainter places the baseline.
    painter_.drawText(x, y + QFontMetrics(font_, &printer_).ascent(), toText_(shown));
}

int QtPrintDevice::textHeight(const std::string&) const
{
    return QFontMetrics(font_, &printer_).height();
}

bool QtPrintDevice::end()
{
    const bool ended = painter_.end();
    return ended && printer_.printerState() != QPrinter::Error;
}

void QtPrintDevice::abort()
{
    if (!painter_.isActive())
        return;
    printer_.abort();
    painter_.end();
}
