#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

class QMimeData;

namespace joblet {

class ListCommands;

// Files dropped on the job list: media files become jobs as Add makes them
// (the output named from the media, the window's profile), and one list file
// dropped alone is loaded as Load loads it. Watches the list's viewport; a
// drop is refused while `refused` says so (a run reads the list).
class ListDrop : public QObject {
public:
    ListDrop(ListCommands &commands, std::function<bool()> refused,
             std::function<QString()> profile, QObject *parent);

    // The local files of a drop it takes; nullopt for one it refuses (no
    // local file, something that is not a file, or a list with other files).
    static std::optional<QStringList> droppedFiles(const QMimeData *data);
    static bool isListFile(const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void take(const QStringList &files);

    ListCommands &m_commands;
    std::function<bool()> m_refused;
    std::function<QString()> m_profile;
};

} // namespace joblet
