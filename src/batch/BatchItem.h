#pragma once

#include <QString>

namespace joblet {

// One job of the batch: the input file is the row's own text; the other
// three columns are cells addressed by key (see the *Key constants).
struct BatchItem {
    static inline const QString OutputFileKey = QStringLiteral("OutputFile");
    static inline const QString ProfileKey = QStringLiteral("Profile");
    static inline const QString ResultKey = QStringLiteral("Result");

    QString inputFile;
    QString outputFile;
    QString profile;
    // Empty until the job has run, then "Done" or "Error:" and the number in hex.
    QString result;
    // Why the job failed, in words; shown as the Result tool tip, never saved.
    QString resultDetail;

    // The cell of `key` (exact letter case), nullptr for any other key.
    QString *cell(const QString &key)
    {
        if (key == OutputFileKey)
            return &outputFile;
        if (key == ProfileKey)
            return &profile;
        if (key == ResultKey)
            return &result;
        return nullptr;
    }
    const QString *cell(const QString &key) const { return const_cast<BatchItem *>(this)->cell(key); }
};

} // namespace joblet
