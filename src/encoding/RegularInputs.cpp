#include "RegularInputs.h"

#include "EncoderFailure.h"

#include "fileio/RegularFile.h"

#include <QFileInfo>

namespace joblet {

void refuseNonRegular(const QString &input, const QString &output)
{
    for (const QString &path : {input, output}) {
        QString what;
        if (!path.isEmpty() && existsButNotRegular(path, &what))
            throw EncoderFailure(EngineError::NotRegularFile,
                                 QStringLiteral("%1 (%2: it is %3)")
                                     .arg(EngineError::describe(EngineError::NotRegularFile),
                                          QFileInfo(path).fileName(), what));
    }
}

} // namespace joblet
