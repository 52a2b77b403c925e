#pragma once

#include <QString>

// Small text rules more than one layer needs.
namespace joblet {

// Leading and trailing spaces off; tabs and other blanks are part of what
// the user typed.
inline QString trimSpaces(const QString &text)
{
    qsizetype first = 0, last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return text.mid(first, last - first);
}

// For functions that report failure as false with the reason in an
// optional out-parameter.
inline bool failWith(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

} // namespace joblet
