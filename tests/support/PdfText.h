#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// What poppler-utils read back from a PDF: the page count (pdfinfo) and each page's words
// with their boxes or its laid-out text (pdftotext).

struct PdfWord {
    QString text;
    double xMin, yMin, xMax, yMax;   // points from the page's top left corner
};

struct PdfPage {
    double width = 0, height = 0;   // points
    std::vector<PdfWord> words;
    const PdfWord* find(const QString& text) const;
    bool has(const QString& text) const { return find(text) != nullptr; }
};

// The pages of pdf, or -1 when pdfinfo cannot read it.
int pdfPages(const QString& pdf);
// The words of page (counted from 1).
PdfPage pdfPage(const QString& pdf, int page);
// The text of page laid out as printed, ligatures undone.
QString pdfText(const QString& pdf, int page);
