#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace joblet {

// A file that someone else may have planted or replaced, opened so that the
// checks and the use are about the same file: the name's last part is never
// followed as a link, a pipe or device is never waited on, and what was
// opened is tested through the open descriptor. Closed when it goes.
class RegularFile {
public:
    enum class Status {
        Opened,
        Missing,
        Link,       // the name is a symbolic link
        NotRegular, // a pipe, a device, a folder, a socket
        NotOwned,   // belongs to another user
        Shared,     // others than its owner may write to it
        TooLarge,
        Failed,     // any other refusal of the system; see error()
    };
    enum class Mode { Read, Append };
    struct Rules {
        bool ownedByUser = false;     // refuse a file of another user
        bool unsharedOnly = false;    // refuse a file group or others may write
        qint64 maxSize = -1;          // refuse a larger file; -1: any size
        bool createPrivate = false;   // Append: create it, for the user only
    };

    static RegularFile open(const QString &path, Mode mode, const Rules &rules);
    RegularFile(RegularFile &&other) noexcept;
    RegularFile &operator=(RegularFile &&other) noexcept;
    RegularFile(const RegularFile &) = delete;
    RegularFile &operator=(const RegularFile &) = delete;
    ~RegularFile();

    bool isOpen() const { return m_fd >= 0; }
    Status status() const { return m_status; }
    int handle() const { return m_fd; }
    qint64 size() const { return m_size; }
    // Why it was refused, in words that fit after "the file ...".
    QString error() const;

    // At most `maxBytes` from `offset`; nullopt on a read error.
    std::optional<QByteArray> readAt(qint64 offset, qint64 maxBytes) const;
    // True when the name still leads to this very file (not replaced).
    bool stillAt(const QString &path) const;

private:
    RegularFile() = default;

    int m_fd = -1;
    Status m_status = Status::Failed;
    int m_errno = 0;
    unsigned m_mode = 0; // the file's type, when it is not a regular one
    qint64 m_size = 0;
    quint64 m_device = 0;
    quint64 m_inode = 0;
};

// The whole of a regular file, no larger than `maxSize`, links not followed.
// On refusal nullopt, and *why says it as RegularFile::error() does.
std::optional<QByteArray> readRegularFile(const QString &path, qint64 maxSize, QString *why = nullptr);

// Whether `path` (links followed: the user named it) is something other
// than a regular file that exists: a pipe, a device, a folder, a socket.
// Missing files are not this test's business.
bool existsButNotRegular(const QString &path, QString *what = nullptr);

} // namespace joblet
