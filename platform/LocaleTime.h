#pragma once

#include "Clock.h"

#include <QLocale>
#include <QString>

#include <string>

// Times and dates as the table cells and the report show them, in a locale's formats, as the
// program's byte strings.

// format without its time-zone fields ("t" runs outside quotes), with the blanks and the
// empty brackets they leave: "h:mm:ss AP t" -> "h:mm:ss AP", "H:mm:ss (t)" -> "H:mm:ss".
QString withoutTimeZone(const QString& format);

// A locale's text as a byte string: the blanks Windows-1250 has no byte for (the narrow
// no-break space of some time formats) become plain blanks rather than "?".
std::string localeCellText(const QString& text);

// The locale's long time format without its time zone, and its short date format.
std::string LongTimeText(const LocalDateTime& t, const QLocale& locale = QLocale());
std::string ShortDateText(const LocalDateTime& t, const QLocale& locale = QLocale());
