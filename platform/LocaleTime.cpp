#include "LocaleTime.h"

#include "ClockQt.h"
#include "Text8.h"

namespace {

void dropTrailingBlanks(QString& text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
}

} // namespace

std::string localeCellText(const QString& text)
{
    QString plain = text;
    for (QChar& c : plain)
        if (c.category() == QChar::Separator_Space && c != QChar(0x00A0))
            c = u' ';
    return Text8::fromUnicode(plain);
}

QString withoutTimeZone(const QString& format)
{
    QString out;
    bool quoted = false;
    bool skipBlanks = false; // after a zone field at the start: the blanks that followed it
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (skipBlanks && c.isSpace())
            continue;
        skipBlanks = false;
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u't') {
            out += c;
            continue;
        }
        while (i + 1 < format.size() && format[i + 1] == u't')
            ++i;
        if (out.endsWith(u'(') && i + 1 < format.size() && format[i + 1] == u')') {
            out.chop(1);
            ++i;
        }
        dropTrailingBlanks(out);
        skipBlanks = out.isEmpty();
    }
    dropTrailingBlanks(out);
    return out;
}

std::string LongTimeText(const LocalDateTime& t, const QLocale& locale)
{
    return localeCellText(locale.toString(toQTime(t), withoutTimeZone(locale.timeFormat(QLocale::LongFormat))));
}

std::string ShortDateText(const LocalDateTime& t, const QLocale& locale)
{
    return localeCellText(locale.toString(toQDate(t), QLocale::ShortFormat));
}
