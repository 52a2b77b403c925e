#pragma once

#include <QAccessible>
#include <QLabel>

namespace joblet {

// Shows `text` in `label` and tells assistive tools, which read a label by
// the text it shows (this Qt does not announce the change itself).
inline void setLabelText(QLabel *label, const QString &text)
{
    if (label->text() == text)
        return;
    label->setText(text);
    QAccessibleEvent changed(label, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

} // namespace joblet
