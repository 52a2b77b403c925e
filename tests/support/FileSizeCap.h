#pragma once

#include <csignal>
#include <sys/resource.h>

// Caps the size of files this process may write, for the life of the object,
// so tests can make a write fail part-way without root or a full disk.
// A cap of 0 changes nothing.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit capped = m_saved;
        if (bytes)
            capped.rlim_cur = bytes;
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a dead process
        ::setrlimit(RLIMIT_FSIZE, &capped);
    }
    ~FileSizeCap()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeCap(const FileSizeCap &) = delete;
    FileSizeCap &operator=(const FileSizeCap &) = delete;

private:
    rlimit m_saved {};
    void (*m_oldHandler)(int) = nullptr;
};
