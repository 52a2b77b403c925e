#include "PropertyPageHost.h"

#include "PropertyPage.h"

#include "encoding/EncoderEngine.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace joblet {

PropertyPageHost::PropertyPageHost(QWidget *parent)
    : QWidget(parent)
    , m_tabs(new QTabWidget(this))
{
    setObjectName(QStringLiteral("PropMain"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
}

void PropertyPageHost::AddObject(EncoderEngine *engine)
{
    m_object = engine;
    for (PropertyPage *page : pages())
        page->setObject(engine);
}

void PropertyPageHost::AddPage(PropertyPage *page)
{
    m_tabs->addTab(page, page->windowTitle());
    page->setObject(m_object);
}

QList<PropertyPage *> PropertyPageHost::pages() const
{
    QList<PropertyPage *> result;
    for (int i = 0; i < m_tabs->count(); ++i)
        if (auto *p = qobject_cast<PropertyPage *>(m_tabs->widget(i)))
            result << p;
    return result;
}

} // namespace joblet
