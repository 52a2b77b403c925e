#pragma once

#include <QString>

namespace joblet {

class BatchList;
class EngineFactory;

// Adds a job for `InputFile` to `list`. When OutputFile is exactly "None" the
// output name is made from the input's media (OutputNaming::fromMedia), which
// opens the input through a temporary engine of `engines`. OutputFile
// receives the name stored, and only when the row was added. Afterwards row 1
// is selected and highlighted. 0 when the row was added, 1 otherwise; never
// throws.
int Populate_List(BatchList &list, const EngineFactory &engines, const QString &InputFile,
                  QString &OutputFile, const QString &Profile);

} // namespace joblet
