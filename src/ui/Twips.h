#pragma once

#include <QRect>
#include <QWidget>

namespace joblet {

// The windows are designed in twips; 15 of them make a pixel at 96 dpi.
constexpr int px(int twips) { return twips / 15; }

inline QRect twipsRect(int left, int top, int width, int height)
{
    return {px(left), px(top), px(width), px(height)};
}

inline void place(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(twipsRect(left, top, width, height));
}

} // namespace joblet
