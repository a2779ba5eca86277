#include "util/log_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace voxline {

log_queue::log_queue() {
    for (int i = 0; i < ENTRY_COUNT; ++i) m_entries[i].next = i + 1 < ENTRY_COUNT ? i + 1 : -1;
    m_free = 0;
    m_wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

log_queue::~log_queue() {
    if (m_wake_fd >= 0) close(m_wake_fd);
}

void log_queue::drain_wake_descriptor() {
    uint64_t count = 0;
    while (m_wake_fd >= 0 && read(m_wake_fd, &count, sizeof count) > 0) {
    }
}

void log_queue::post(int level, const char* text) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_free < 0) return;
    int index = m_free;
    entry& e = m_entries[index];
    m_free = e.next;
    size_t n = strnlen(text, TEXT_SIZE - 1);
    memcpy(e.text, text, n);
    e.text[n] = '\0';
    e.level = level;
    e.next = -1;
    if (m_tail >= 0)
        m_entries[m_tail].next = index;
    else
        m_head = index;
    m_tail = index;
    if (m_pending++ == 0 && m_wake_fd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t written = write(m_wake_fd, &one, sizeof one);
    }
}

int log_queue::take_oldest() {
    std::lock_guard<std::mutex> lock(m_lock);
    int index = m_head;
    if (index < 0) return -1;
    m_head = m_entries[index].next;
    if (m_head < 0) m_tail = -1;
    --m_pending;
    return index;
}

void log_queue::give_back(int index) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_entries[index].next = m_free;
    m_free = index;
}

int log_queue::pending_count() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_pending;
}

namespace {
std::mutex g_queue_owner_lock;
log_queue* g_queue = nullptr;
int g_queue_users = 0;
}  // namespace

log_queue* log_queue_acquire() {
    std::lock_guard<std::mutex> lock(g_queue_owner_lock);
    if (g_queue_users++ == 0) g_queue = new log_queue();
    return g_queue;
}

void log_queue_release() {
    log_queue* to_free = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_queue_owner_lock);
        if (g_queue_users == 0) return;
        if (--g_queue_users == 0) {
            to_free = g_queue;
            g_queue = nullptr;
        }
    }
    delete to_free;
}

log_queue* log_queue_current() {
    std::lock_guard<std::mutex> lock(g_queue_owner_lock);
    return g_queue;
}

void log_queue_post_current(int level, const char* text) {
    std::lock_guard<std::mutex> lock(g_queue_owner_lock);
    if (g_queue) g_queue->post(level, text);
}

}  // namespace voxline
