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
            const std::unique_ptr<EncoderEngine> engine = engines.create();
            SourceGroup &group = engine->SourceGroupCollection().Add(QStringLiteral("SrcList"));
            group.AutoSetFileSource(InputFile);
            const int audio = group.SourceCount(MediaAudio);
            const int video = group.SourceCount(MediaVideo);
            const EncoderProfile *p = findProfile(engine->ProfileCollection(), Profile);
            output = p ? OutputNaming::fromMedia(InputFile, audio, video, p->settings())
                       : OutputNaming::fromMedia(InputFile, audio, video);
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
