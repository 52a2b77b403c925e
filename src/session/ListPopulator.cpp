#include "ListPopulator.h"

#include "batch/BatchList.h"
#include "batch/OutputNaming.h"
#include "encoding/EngineFactory.h"
#include "encoding/SourceGroup.h"

namespace joblet {

BatchItem newJob(const MediaCatalogue &catalogue, const JobRequest &request, SourceInfo *source)
{
    BatchItem row;
    row.inputFile = request.input;
    row.outputFile = request.output;
    row.profile = request.profile;
    if (request.output == QLatin1String("None")) {
        const SourceInfo found = catalogue.probe(request.input);
        const std::optional<EncoderProfile> p = catalogue.find(request.profile);
        row.outputFile = p ? OutputNaming::fromMedia(request.input, found.audioCount, found.videoCount,
                                                     p->settings(), request.outputFolder)
                           : OutputNaming::fromMedia(request.input, found.audioCount, found.videoCount);
        if (source)
            *source = found;
    }
    return row;
}

int Populate_List(BatchList &list, const EngineFactory &engines, const QString &InputFile,
                  QString &OutputFile, const QString &Profile)
{
    try {
        const BatchItem row = newJob(engines.catalogue(), {InputFile, OutputFile, Profile, {}});
        if (!list.append(row))
            return 1;
        OutputFile = row.outputFile;
        // Row 1, not the new row: the view returns to the top after each add.
        list.setSelectedRow(1);
        list.setHighlightedRow(1);
        return 0;
    } catch (...) {
        return 1;
    }
}

} // namespace joblet
