// Lines waiting for the client's MessagePrint. The producer may be any thread
// holding the log lock; only the call thread drains, so MessagePrint is never
// called on the thread that wrote the line.
#pragma once

#include <mutex>

namespace voxline {

class log_queue {
  public:
    static constexpr int ENTRY_COUNT = 80;
    static constexpr int TEXT_SIZE = 512;  // 511 characters and the terminator

    log_queue();
    ~log_queue();
    log_queue(const log_queue&) = delete;
    log_queue& operator=(const log_queue&) = delete;

    // Dropped for the client when no entry is free.
    void post(int level, const char* text);

    // Hands at most max_entries pending lines, oldest first, to deliver(level, text),
    // called without the queue lock. Returns how many were delivered.
    template <typename Deliver>
    int drain(int max_entries, Deliver&& deliver) {
        int delivered = 0;
        while (delivered < max_entries) {
            int index = take_oldest();
            if (index < 0) break;
            deliver(m_entries[index].level, m_entries[index].text);
            give_back(index);
            ++delivered;
        }
        return delivered;
    }

    int pending_count();

    // Readable once a line waits where none did, so the drainer can sleep
    // until then; -1 when the system gave no descriptor.
    int wake_descriptor() const { return m_wake_fd; }
    void drain_wake_descriptor();

  private:
    struct entry {
        int level;
        char text[TEXT_SIZE];
        int next;
    };
    int take_oldest();
    void give_back(int index);

    std::mutex m_lock;
    entry m_entries[ENTRY_COUNT];
    int m_free = -1;
    int m_head = -1;
    int m_tail = -1;
    int m_pending = 0;
    int m_wake_fd = -1;
};

// The process's queue, shared by the engine objects: the first acquire creates
// it, the last release frees it. log lines are posted to it while it exists.
log_queue* log_queue_acquire();
void log_queue_release();
// The current queue or nullptr; the caller must hold a reference (acquire).
log_queue* log_queue_current();
// Posts to the current queue, if there is one, safely against its release.
void log_queue_post_current(int level, const char* text);

}  // namespace voxline
