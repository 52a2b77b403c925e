#include "TerminalText.h"

namespace joblet {

namespace {

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f)
        // Direction overrides reorder what follows them on screen.
        || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString escapeControls(const QString &text)
{
    bool clean = true;
    for (const QChar c : text)
        clean = clean && !isControl(c.unicode());
    if (clean)
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        const char32_t u = c.unicode();
        if (!isControl(u))
            out += c;
        else if (u <= 0xff)
            out += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u{%1}").arg(uint(u), 4, 16, QLatin1Char('0'));
    }
    return out;
}

} // namespace joblet
