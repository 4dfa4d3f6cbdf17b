// Time and date cells in a locale's formats: the long time format loses its time zone.
#include "LocaleTime.h"

#include <gtest/gtest.h>

TEST(LocaleTime, TheTimeZoneFieldsGoWithTheirBlanksAndBrackets)
{
    const char* const cases[][2] = {
        {"h:mm:ss AP t", "h:mm:ss AP"}, {"HH:mm:ss tttt", "HH:mm:ss"},       {"t HH:mm:ss", "HH:mm:ss"},
        {"H:mm:ss (t)", "H:mm:ss"},     {"HH:mm 't'ss t", "HH:mm 't'ss"}, {"HH 'o''clock t' mm", "HH 'o''clock t' mm"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(withoutTimeZone(c[0]), c[1]) << c[0];
}

TEST(LocaleTime, CellTextsInTheLocalesFormats)
{
    const LocalDateTime t{2026, 2, 3, 14, 5, 9, 0};
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale pl(QLocale::Polish, QLocale::Poland);
    EXPECT_EQ(LongTimeText(t, us) + " " + ShortDateText(t, us), "2:05:09 PM 2/3/26");
    EXPECT_EQ(LongTimeText(t, pl) + " " + ShortDateText(t, pl), "14:05:09 3.02.2026");
    EXPECT_EQ(LongTimeText(t, QLocale(QLocale::Chinese, QLocale::China)), "14:05:09");
    EXPECT_EQ(localeCellText(QString::fromUtf8("2:05:09\u202FPM\u00A0")), "2:05:09 PM\xA0");
}
