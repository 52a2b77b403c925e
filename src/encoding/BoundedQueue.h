#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace joblet {

// A fixed-capacity hand-over between two threads. The producer closes it to
// say "no more"; either side aborts it to make the other give up at once.
template<typename T>
class BoundedQueue {
public:
    explicit BoundedQueue(std::size_t capacity) : m_capacity(capacity) {}

    // Blocks while full; false once the queue has been aborted.
    bool push(T item)
    {
        std::unique_lock lock(m_mutex);
        m_notFull.wait(lock, [this] { return m_aborted || m_items.size() < m_capacity; });
        if (m_aborted)
            return false;
        m_items.push_back(std::move(item));
        lock.unlock();
        m_notEmpty.notify_one();
        return true;
    }

    // Blocks while empty; nothing once closed and drained, or aborted.
    std::optional<T> pop()
    {
        std::unique_lock lock(m_mutex);
        m_notEmpty.wait(lock, [this] { return m_aborted || m_closed || !m_items.empty(); });
        if (m_aborted || m_items.empty())
            return std::nullopt;
        T item = std::move(m_items.front());
        m_items.pop_front();
        lock.unlock();
        m_notFull.notify_one();
        return item;
    }

    void close()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_notEmpty.notify_all();
    }

    void abort()
    {
        {
            std::lock_guard lock(m_mutex);
            m_aborted = true;
            m_items.clear();
        }
        m_notEmpty.notify_all();
        m_notFull.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_notEmpty;
    std::condition_variable m_notFull;
    std::deque<T> m_items;
    std::size_t m_capacity;
    bool m_closed = false;
    bool m_aborted = false;
};

} // namespace joblet
