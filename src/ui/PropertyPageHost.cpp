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
    setAccessibleName(tr("Encoder properties"));
    m_tabs->setObjectName(QStringLiteral("tabPropPages"));
    m_tabs->setAccessibleName(tr("Property pages"));
    // One page needs no tab to pick it.
    m_tabs->setTabBarAutoHide(true);
    m_tabs->setDocumentMode(true);
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
    if (!page)
        return;
    int index = -1;
    for (int i = 0; i < m_tabs->count(); ++i) {
        QWidget *old = m_tabs->widget(i);
        if (old != page && old->metaObject() == page->metaObject()) {
            index = i;
            m_tabs->removeTab(i);
            // Not deleteLater: the old page would keep polling until then.
            delete old;
            break;
        }
    }
    if (m_tabs->indexOf(page) < 0)
        m_tabs->insertTab(index, page, page->windowTitle());
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
