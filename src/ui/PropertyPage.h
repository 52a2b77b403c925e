#pragma once

#include <QPointer>
#include <QWidget>

namespace joblet {

class EncoderEngine;

// A page the property panel shows for its object (a run's engine).
class PropertyPage : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;
    // The engine to show, or nullptr once it is gone. The page must cope with
    // the engine being destroyed at any time (hold it in a QPointer).
    virtual void setObject(EncoderEngine *engine) = 0;
};

} // namespace joblet
