#pragma once

#include <QString>
#include <QtGlobal>

namespace joblet {

// What a row's Result says, in the order a merge prefers them: "Done" over
// an error, an error over none. The texts exist only where a Result is
// stored or shown; everything else compares kinds.
enum class ResultKind { NotRun, Failed, Done };

// "Done" for 0, else "Error:" and the number in upper-case hexadecimal
// (negative numbers as their 32-bit two's complement).
QString resultText(qint32 number);
ResultKind resultKind(const QString &text);
inline bool isDone(const QString &text) { return resultKind(text) == ResultKind::Done; }
// The one to keep of two Results for a row; on a tie the later one.
QString betterResult(const QString &earlier, const QString &later);

} // namespace joblet
