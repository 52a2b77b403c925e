#pragma once

#include "BatchItem.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace joblet {

class EngineFactory;

// What would make a row fail, found before the run instead of during it.
struct RowProblem {
    int row = 0;       // from 1, as in BatchList
    qint32 number = 0; // an EngineError, as the run would record it
    QString text;
};

// Every problem of every row not yet Done, in row order: the input missing,
// not a regular file or not media the engine reads; the profile unknown or
// without a stream the input has; the output missing, not a regular file,
// of a type the profile cannot write, in a folder that is missing or not
// writable, the input itself, or the output of an earlier row too. Inputs
// are probed through an engine of `engines`, profiles are its profiles.
QList<RowProblem> checkRows(const QList<BatchItem> &items, const EngineFactory &engines);

// The names of `names` closest to `wanted`, ignoring letter case: those it
// begins or nearly begins (a few typing slips), at most `most`, nearest first.
QStringList nearestNames(const QStringList &names, const QString &wanted, int most = 5);

} // namespace joblet
