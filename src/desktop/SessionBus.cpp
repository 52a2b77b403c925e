#include "SessionBus.h"

#include <QFile>
#include <QtGlobal>

#include <sys/stat.h>

namespace joblet {

bool sessionBusRunning()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat st {};
    return !runtime.isEmpty() && ::lstat((runtime + "/bus").constData(), &st) == 0 && S_ISSOCK(st.st_mode);
}

void refuseBusAutolaunch()
{
    // An address of no known transport: refused without a try, and never
    // replaced by an autolaunched one.
    if (!sessionBusRunning())
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
}

} // namespace joblet
