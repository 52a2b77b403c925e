#pragma once

#include <QStringList>

namespace joblet {

// The engine writes each job's output under a hidden name beside it and
// renames it into place when complete; a killed job leaves that file. This
// removes it for each of `outputPaths` (one folder listing per folder),
// and only files of that name: for outputs no live job is writing.
void removePartialOutputs(const QStringList &outputPaths);

} // namespace joblet
