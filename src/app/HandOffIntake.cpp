#include "HandOffIntake.h"

#include "batch/BatchList.h"
#include "session/RunControl.h"

namespace joblet {

HandOffIntake::HandOffIntake(QString handOffFile, BatchList &list, RunControl &control,
                             std::chrono::milliseconds quietPeriod, QObject *parent)
    : QObject(parent)
    , m_file(std::move(handOffFile))
    , m_list(list)
    , m_control(control)
    , m_poller(quietPeriod)
{
}

int HandOffIntake::poll(const QString &profile)
{
    return m_poller.tick(
        m_file, [this] { return m_list.inputFiles(); },
        [this, &profile](const QString &input, const QString &output) {
            QString stored = output;
            return m_control.addJob(input, stored, profile) == 0;
        });
}

} // namespace joblet
