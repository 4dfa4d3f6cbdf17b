#pragma once

#include <QLocale>

// Pins the default locale to US English while it lives (dates as "3/5/26", times as
// "2:05:09 PM"), then gives back the one before.
class UsEnglishLocale {
public:
    UsEnglishLocale() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~UsEnglishLocale() { QLocale::setDefault(old_); }
    UsEnglishLocale(const UsEnglishLocale&) = delete;
    UsEnglishLocale& operator=(const UsEnglishLocale&) = delete;

private:
    QLocale old_;   // the default when constructed, before the pin
};
