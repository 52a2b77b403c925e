#include "SessionRunner.h"

#include "EncoderEngine.h"
#include "batch/BatchList.h"

namespace joblet {

SessionRunner::SessionRunner(BatchList &list, QObject *parent)
    : QObject(parent)
    , m_list(list)
{
}

SessionRunner::~SessionRunner() = default;

QString SessionRunner::resultText(qint32 code)
{
    return code == 0 ? QStringLiteral("Done")
                     : QStringLiteral("Error:") + QString::number(quint32(code), 16).toUpper();
}

SessionRunner::Outcome SessionRunner::run() { return Outcome::Finished; }
bool SessionRunner::stop() { return false; }
qint32 SessionRunner::ProcessInput(EncoderEngine &, const QString &, const QString &, const QString &, QString *) { return 0; }
EncoderEngine *SessionRunner::Encoder() const { return m_engineReleased ? nullptr : m_engine.get(); }
void SessionRunner::Encoder_OnError(qint32) {}

} // namespace joblet
