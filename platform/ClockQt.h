#pragma once

#include "Clock.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

// A Clock reading as Qt values, for the locale's date and time formats.
QDate toQDate(const LocalDateTime& t);
QTime toQTime(const LocalDateTime& t);
QDateTime toQDateTime(const LocalDateTime& t);
