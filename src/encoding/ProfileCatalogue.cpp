#include "ProfileCatalogue.h"

namespace joblet {

QList<EncoderProfile> ProfileCatalogue::installed(QStringList *)
{
    return {};
}

} // namespace joblet
