#include "ListPopulator.h"

#include "batch/BatchList.h"
#include "batch/OutputNaming.h"
#include "encoding/EngineFactory.h"
#include "encoding/ProfileCatalogue.h"
#include "encoding/SourceGroup.h"

namespace joblet {

int Populate_List(BatchList &list, const EngineFactory &engines, const QString &InputFile,
                  QString &OutputFile, const QString &Profile)
{
    try {
        QString output = OutputFile;
        if (OutputFile == QLatin1String("None")) {
            const MediaCatalogue &catalogue = engines.catalogue();
            const SourceInfo source = catalogue.probe(InputFile);
            const std::optional<EncoderProfile> p = catalogue.find(Profile);
            output = p ? OutputNaming::fromMedia(InputFile, source.audioCount, source.videoCount, p->settings())
                       : OutputNaming::fromMedia(InputFile, source.audioCount, source.videoCount);
        }
        BatchItem row;
        row.inputFile = InputFile;
        row.outputFile = output;
        row.profile = Profile;
        if (!list.append(row))
            return 1;
        OutputFile = output;
        // Row 1, not the new row: the view returns to the top after each add.
        list.setSelectedRow(1);
        list.setHighlightedRow(1);
        return 0;
    } catch (...) {
        return 1;
    }
}

} // namespace joblet
