#pragma once

#include <QList>
#include <QStringList>

namespace joblet {

// A family of media files the engine's demuxers read, by the extensions
// people give them. `name` is marked for translation in the context
// "joblet::ReadableMedia".
struct MediaFamily {
    const char *name;
    QStringList extensions; // lower case, without the dot
};

// The one list the file dialogs and the desktop entry's types follow.
const QList<MediaFamily> &readableMedia();
// Every extension of readableMedia(), in its order.
QStringList readableExtensions();

} // namespace joblet
