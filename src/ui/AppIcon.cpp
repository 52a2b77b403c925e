#include "AppIcon.h"

namespace joblet {

QIcon appIcon()
{
    return QIcon::fromTheme(QStringLiteral("joblet"), QIcon(QStringLiteral(":/joblet/joblet.svg")));
}

} // namespace joblet
