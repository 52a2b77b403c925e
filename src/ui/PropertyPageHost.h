#pragma once

#include <QPointer>
#include <QWidget>

class QTabWidget;

namespace joblet {

class EncoderEngine;
class PropertyPage;

// The main window's property panel ("PropMain"): shows pages about one
// object, the engine of the current run.
class PropertyPageHost : public QWidget {
    Q_OBJECT

public:
    explicit PropertyPageHost(QWidget *parent = nullptr);

    // The object the pages show; every page added so far and later gets it.
    void AddObject(EncoderEngine *engine);
    // Takes ownership. A page of the same class as one already shown
    // replaces it, so repeated runs do not pile up pages.
    void AddPage(PropertyPage *page);
    QList<PropertyPage *> pages() const;

private:
    QTabWidget *m_tabs;
    QPointer<EncoderEngine> m_object;
};

} // namespace joblet
