#include "ListDrop.h"

#include "ListCommands.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace joblet {

ListDrop::ListDrop(ListCommands &commands, std::function<bool()> refused,
                   std::function<QString()> profile, QObject *parent)
    : QObject(parent)
    , m_commands(commands)
    , m_refused(std::move(refused))
    , m_profile(std::move(profile))
{
}

bool ListDrop::isListFile(const QString &path)
{
    return path.endsWith(QLatin1String(".jlt"), Qt::CaseInsensitive);
}

std::optional<QStringList> ListDrop::droppedFiles(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return std::nullopt;
    QStringList files;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile() || url.toLocalFile().isEmpty())
            return std::nullopt;
        files << url.toLocalFile();
    }
    // Loading replaces the list: with other files beside it, what the user
    // meant is anyone's guess.
    if (files.size() > 1 && std::any_of(files.cbegin(), files.cend(), isListFile))
        return std::nullopt;
    return files;
}

bool ListDrop::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (!m_refused() && droppedFiles(drag->mimeData())) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const std::optional<QStringList> files = droppedFiles(drop->mimeData());
        if (m_refused() || !files) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // After the drop has returned: the messages it may show must not
        // keep the other program's drag waiting.
        QMetaObject::invokeMethod(this, [this, f = *files] { take(f); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

void ListDrop::take(const QStringList &files)
{
    // A run may have started since the drop.
    if (m_refused())
        return;
    if (files.size() == 1 && isListFile(files.first()))
        m_commands.loadFrom(files.first());
    else
        m_commands.addFiles(files, m_profile());
}

} // namespace joblet
