#pragma once

#include "batch/BatchItem.h"

#include <QString>

namespace joblet {

class BatchList;
class EngineFactory;
class MediaCatalogue;
struct SourceInfo;

// What a new row is made from: the window's Add, a drop, the hand-off, the
// command line and joblet-batch's make all ask this way.
struct JobRequest {
    QString input;
    QString output = QStringLiteral("None"); // "None": named from the media the input holds
    QString profile;
    QString outputFolder; // where a named output goes; empty: beside the input
};

// The row for `request`. An output to be named opens the input once through
// the catalogue (what it found goes to `source`) and takes the extension of
// the profile, when there is one of that name. Throws EncoderFailure when
// the input cannot be opened.
BatchItem newJob(const MediaCatalogue &catalogue, const JobRequest &request, SourceInfo *source = nullptr);

// Adds a job for `InputFile` to `list` through newJob(). OutputFile receives
// the name stored, and only when the row was added. Afterwards row 1 is
// selected and highlighted. 0 when the row was added, 1 otherwise; never
// throws.
int Populate_List(BatchList &list, const EngineFactory &engines, const QString &InputFile,
                  QString &OutputFile, const QString &Profile);

} // namespace joblet
