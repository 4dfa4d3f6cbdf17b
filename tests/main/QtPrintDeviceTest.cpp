#include "LogPrint.h"
#include "PdfText.h"
#include "QtPrintDevice.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace {

class PdfPrinting : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    void preparePrinter(QPrinter& printer, const QString& file)
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        printer.setPageSize(QPageSize(QPageSize::A4));
    }

    PrintResult print(const QString& file, const std::vector<std::string>& lines)
    {
        QPrinter printer(QPrinter::HighResolution);
        preparePrinter(printer, file);
        QtPrintDevice device(printer, [](const std::string& s) { return QString::fromLatin1(s); });
        int page = 0;
        return printLog(device, lines, [&page] {
            return "01.02.2024, 10:11:" + std::to_string(20 + page++);
        });
    }

    QTemporaryDir dir_;
};

std::vector<std::string> rowLines(int n)
{
    std::vector<std::string> lines;
    for (int i = 0; i < n; ++i)
        lines.push_back("row" + std::to_string(i) + " value " + std::to_string(i * 7));
    return lines;
}

TEST_F(PdfPrinting, ThirtySevenLinesFillTwoA4Pages)
{
    const QString pdf = dir_.filePath("log.pdf");
    ASSERT_EQ(print(pdf, rowLines(37)), PrintResult::Printed);
    ASSERT_EQ(pdfPages(pdf), 2);

    const PdfPage one = pdfPage(pdf, 1);
    const PdfPage two = pdfPage(pdf, 2);
    ASSERT_GT(one.height, 800.0);   // A4: 595 x 842 pt
    ASSERT_LT(one.height, 850.0);
    const QString text1 = pdfText(pdf, 1);
    const QString text2 = pdfText(pdf, 2);
    EXPECT_TRUE(text1.contains("Print of log file 01.02.2024, 10:11:20")) << text1.toStdString();
    EXPECT_TRUE(text2.contains("Print of log file 01.02.2024, 10:11:21")) << text2.toStdString();
    // Every line of page one, the 36th included, lies inside the printable area, above the
    // bottom margin.
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, dir_.filePath("unused.pdf"));
    const QRectF area = printer.pageLayout().paintRect(QPageLayout::Point);
    for (int i = 0; i <= 35; ++i) {
        const QString row = QString("row%1").arg(i);
        const PdfWord* word = one.find(row);
        ASSERT_NE(word, nullptr) << row.toStdString();
        EXPECT_FALSE(two.has(row)) << row.toStdString();
        EXPECT_LE(word->yMax, area.bottom()) << row.toStdString();
        EXPECT_GE(word->yMin, area.top()) << row.toStdString();
    }
    EXPECT_TRUE(two.has("row36"));
    EXPECT_FALSE(one.has("row36"));
}

TEST_F(PdfPrinting, TextSitsBelowItsPositionInsideTheMargins)
{
    const QString pdf = dir_.filePath("geometry.pdf");
    ASSERT_EQ(print(pdf, rowLines(2)), PrintResult::Printed);
    const PdfPage page = pdfPage(pdf, 1);
    const PdfWord* header = page.find("Print");
    const PdfWord* first = page.find("row0");
    const PdfWord* second = page.find("row1");
    ASSERT_TRUE(header && first && second);

    // Positions are on a grid of about a millimetre inside the printable area, whose corner is
    // the page margin: the header at 22 x 20 units, the first line at 22 x 30.
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, dir_.filePath("unused.pdf"));
    const QRectF area = printer.pageLayout().paintRect(QPageLayout::Point);
    const QRect pixels = printer.pageLayout().paintRectPixels(printer.resolution());
    const double pointsPerPixel = area.width() / pixels.width();
    const double u = (pixels.width() / 210) * pointsPerPixel;
    const double v = (pixels.height() / 297) * pointsPerPixel;
    EXPECT_NEAR(header->xMin, area.left() + 22 * u, 1.5);
    EXPECT_NEAR(first->xMin, area.left() + 22 * u, 1.5);
    // The given y is the top of the line: glyph tops are at or just below it, never above.
    const double headerTop = area.top() + 20 * v;
    const double firstTop = area.top() + 30 * v;
    EXPECT_GE(header->yMin, headerTop - 1.0);
    EXPECT_LT(header->yMin, headerTop + 4.0);
    EXPECT_GE(first->yMin, firstTop - 1.0);
    EXPECT_LT(first->yMin, firstTop + 4.0);
    // Double spacing in an 8 pt face: the step is two line heights of about 9 to 10 pt.
    const double step = second->yMin - first->yMin;
    EXPECT_GT(step, 16.0);
    EXPECT_LT(step, 22.0);
}

TEST_F(PdfPrinting, LineBreakCharactersStayInsideTheLine)
{
    const QString pdf = dir_.filePath("breaks.pdf");
    ASSERT_EQ(print(pdf, {"alpha\rbeta", "gamma\ndelta"}), PrintResult::Printed);
    const PdfPage page = pdfPage(pdf, 1);
    const PdfWord* alpha = page.find("alpha");
    const PdfWord* beta = page.find("beta");
    const PdfWord* gamma = page.find("gamma");
    const PdfWord* delta = page.find("delta");
    ASSERT_TRUE(alpha && beta && gamma && delta);
    EXPECT_NEAR(alpha->yMin, beta->yMin, 0.5);
    EXPECT_NEAR(gamma->yMin, delta->yMin, 0.5);
    EXPECT_GT(beta->xMin, alpha->xMax);
    EXPECT_GT(gamma->yMin, alpha->yMin + 10);
}

TEST_F(PdfPrinting, MissingFolderFailsAtBegin)
{
    const QString pdf = dir_.filePath("no/such/folder/log.pdf");
    EXPECT_EQ(print(pdf, rowLines(3)), PrintResult::Failed);
    EXPECT_FALSE(QFile::exists(pdf));

    // A folder that runs through a regular file fails the same way.
    QFile plain(dir_.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_EQ(print(dir_.filePath("plain/log.pdf"), rowLines(3)), PrintResult::Failed);
}

} // namespace
