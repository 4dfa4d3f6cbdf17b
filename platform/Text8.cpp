#include "Text8.h"

#include <QHash>
#include <QStringDecoder>
#include <QtGlobal>

#include <array>

namespace {

struct Table {
    std::array<char16_t, 256> toChar{};
    QHash<char16_t, unsigned char> toByte;
    QString problem;   // empty when the codec is usable
};

Table buildTable()
{
    Table t;
    QStringDecoder decoder("windows-1250", QStringConverter::Flag::Stateless);
    if (!decoder.isValid()) {
        t.problem = QStringLiteral("the text codec \"windows-1250\" is not available");
        return t;
    }
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const QString s = decoder.decode(QByteArrayView(&byte, 1));
        if (s.size() != 1 || s[0].isSurrogate() || t.toByte.contains(s[0].unicode())) {
            t.problem = QStringLiteral("byte 0x%1 has no character of its own in \"windows-1250\"")
                            .arg(b, 2, 16, QLatin1Char('0'));
            return t;
        }
        t.toChar[static_cast<std::size_t>(b)] = s[0].unicode();
        t.toByte.insert(s[0].unicode(), static_cast<unsigned char>(b));
    }
    return t;
}

const Table& table()
{
    static const Table t = buildTable();
    if (!t.problem.isEmpty())
        qFatal("Text8: %s", qPrintable(t.problem));
    return t;
}

} // namespace

void Text8::requireCodec()
{
    (void)table();
}

QChar Text8::charOf(unsigned char byte)
{
    return QChar(table().toChar[byte]);
}

QString Text8::toUnicode(std::string_view bytes)
{
    const Table& t = table();
    QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* d = out.data();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        d[i] = QChar(t.toChar[static_cast<unsigned char>(bytes[i])]);
    return out;
}

std::string Text8::fromUnicode(const QString& text)
{
    const Table& t = table();
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;            // one character outside the BMP: one "?"
            out.push_back('?');
            continue;
        }
        const auto it = t.toByte.constFind(c.unicode());
        out.push_back(it == t.toByte.constEnd() ? '?' : static_cast<char>(it.value()));
    }
    return out;
}

std::optional<std::string> Text8::fromUnicodeChecked(const QString& text)
{
    const Table& t = table();
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) {
        const auto it = t.toByte.constFind(c.unicode());
        if (it == t.toByte.constEnd())
            return std::nullopt;   // surrogates (characters outside the BMP) included
        out.push_back(static_cast<char>(it.value()));
    }
    return out;
}
