#include "Text8.h"

#include <gtest/gtest.h>

#include <QSet>

#include <string>
#include <vector>

TEST(Text8, EveryByteRoundTripsAndHasACharacterOfItsOwn)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const QString text = Text8::toUnicode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(Text8::fromUnicode(text), all);
    QSet<char16_t> seen;
    for (int b = 0; b < 256; ++b) {
        const QChar c = text[b];
        EXPECT_EQ(c, Text8::charOf(static_cast<unsigned char>(b)));
        EXPECT_FALSE(seen.contains(c.unicode())) << "byte " << b;
        seen.insert(c.unicode());
        if (b < 0x80) {
            EXPECT_EQ(c.unicode(), b) << "ASCII byte " << b;
        }
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Text8::fromUnicode(Text8::toUnicode(one)), one);
    }
}

TEST(Text8, PolishLettersAreTheirWindows1250Bytes)
{
    struct Letter { char16_t unicode; unsigned char byte; };
    const std::vector<Letter> letters = {
        {0x0105, 0xB9}, {0x0107, 0xE6}, {0x0119, 0xEA}, {0x0142, 0xB3}, {0x0144, 0xF1},
        {0x00F3, 0xF3}, {0x015B, 0x9C}, {0x017A, 0x9F}, {0x017C, 0xBF},
        {0x0104, 0xA5}, {0x0106, 0xC6}, {0x0118, 0xCA}, {0x0141, 0xA3}, {0x0143, 0xD1},
        {0x00D3, 0xD3}, {0x015A, 0x8C}, {0x0179, 0x8F}, {0x017B, 0xAF},
    };
    for (const Letter& l : letters) {
        const std::string byte(1, static_cast<char>(l.byte));
        EXPECT_EQ(Text8::fromUnicode(QString(QChar(l.unicode))), byte) << std::hex << int(l.unicode);
        EXPECT_EQ(Text8::toUnicode(byte), QString(QChar(l.unicode))) << std::hex << int(l.byte);
    }
    EXPECT_EQ(Text8::toUnicode("Pr\xEA" "dko\x9C\xE6"), QString::fromUtf8("Prędkość"));
}

TEST(Text8, CharactersOutsideWindows1250BecomeQuestionMarks)
{
    struct Case { QString text; std::string bytes; };
    const std::vector<Case> cases = {
        {QString::fromUtf8("\u00E0"), "?"},                          // à
        {QString::fromUtf8("a\u0416b"), "a?b"},                      // Cyrillic
        {QString::fromUtf8("x\U0001F600y"), "x?y"},                  // one character, two code units
        {QString(QChar(0xD800)) + QLatin1Char('z'), "?z"},           // a lone surrogate
        {QString::fromUtf8("\u20AC\u00E4"), "\x80\xE4"},             // € and ä are in the code page
        {QString(), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text8::fromUnicode(c.text), c.bytes) << c.text.toStdString();
}

TEST(Text8, CheckedConversionRefusesWhatTheCodePageLacks)
{
    for (const QString& refused : {QString::fromUtf8("\u00E0"), QString::fromUtf8("adm\u0416n"),
                                   QString::fromUtf8("x\U0001F600"), QString(QChar(0xD800)),
                                   QStringLiteral("ok?") + QChar(0x4E00)})
        EXPECT_EQ(Text8::fromUnicodeChecked(refused), std::nullopt) << refused.toStdString();
    // A literal "?" is a character of its own, and every other letter keeps its byte.
    EXPECT_EQ(Text8::fromUnicodeChecked(QString::fromUtf8("Has\u0142o?\u20AC")), std::string("Has\xB3o?\x80"));
    EXPECT_EQ(Text8::fromUnicodeChecked(QString()), std::string());
}
