#include "PdfText.h"

#include <QProcess>
#include <QRegularExpression>

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return QString();
    // Compatibility forms undo the ligatures of the printed face ("fi" of "file").
    return QString::fromUtf8(process.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
}

} // namespace

const PdfWord* PdfPage::find(const QString& text) const
{
    for (const PdfWord& w : words)
        if (w.text == text)
            return &w;
    return nullptr;
}

int pdfPages(const QString& pdf)
{
    const QRegularExpressionMatch m =
        QRegularExpression(R"(^Pages:\s+(\d+))", QRegularExpression::MultilineOption)
            .match(run("pdfinfo", {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

PdfPage pdfPage(const QString& pdf, int page)
{
    const QString html = run("pdftotext", {"-bbox", "-f", QString::number(page), "-l",
                                           QString::number(page), pdf, "-"});
    PdfPage result;
    const QRegularExpressionMatch size =
        QRegularExpression(R"re(<page width="([\d.]+)" height="([\d.]+)")re").match(html);
    if (size.hasMatch()) {
        result.width = size.captured(1).toDouble();
        result.height = size.captured(2).toDouble();
    }
    const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        result.words.push_back({m.captured(5), m.captured(1).toDouble(), m.captured(2).toDouble(),
                                m.captured(3).toDouble(), m.captured(4).toDouble()});
    }
    return result;
}

QString pdfText(const QString& pdf, int page)
{
    return run("pdftotext", {"-layout", "-f", QString::number(page), "-l", QString::number(page),
                             pdf, "-"});
}
