#include "JobProgressPage.h"

#include "encoding/EncoderEngine.h"

#include <QTimer>

namespace joblet {

JobProgressPage::JobProgressPage(QWidget *parent)
    : PropertyPage(parent)
    , m_timer(new QTimer(this))
{
    setWindowTitle(tr("Job"));
}

void JobProgressPage::setObject(EncoderEngine *engine)
{
    m_engine = engine;
}

void JobProgressPage::refresh() {}

} // namespace joblet
