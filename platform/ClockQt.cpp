#include "ClockQt.h"

QDate toQDate(const LocalDateTime& t) { return QDate(t.year, t.month, t.day); }
QTime toQTime(const LocalDateTime& t) { return QTime(t.hour, t.minute, t.second, t.millisecond); }
QDateTime toQDateTime(const LocalDateTime& t) { return QDateTime(toQDate(t), toQTime(t)); }
