// A thread's message queue: a fixed ring that any thread posts to without blocking or allocating
// (the timer thread, sound-driver callbacks, the call thread), read by its owner thread.
//
// Threads: post from any thread; get/peek from the owning thread only.
#pragma once

#include <semaphore.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace voxline {

struct thread_message {
    uint32_t id = 0;
    uintptr_t wparam = 0;
    uintptr_t lparam = 0;
};

class thread_message_queue {
  public:
    // Room for at least `capacity` messages (rounded up to a power of two).
    explicit thread_message_queue(size_t capacity);
    ~thread_message_queue();
    thread_message_queue(const thread_message_queue&) = delete;
    thread_message_queue& operator=(const thread_message_queue&) = delete;

    // False when the ring is full; the message is then lost and the caller counts it.
    bool post(const thread_message& message) noexcept;
    // Waits at most timeout_ms (0: not at all) for a message; false when none came.
    bool get(thread_message& message, int timeout_ms);
    // Looks at the oldest message without waiting; removes it when `remove`.
    bool peek(thread_message& message, bool remove);

  private:
    struct slot {
        std::atomic<size_t> sequence;
        thread_message message;
    };
    bool pop(thread_message& message);

    const size_t m_mask;
    std::unique_ptr<slot[]> m_slots;
    alignas(64) std::atomic<size_t> m_enqueue{0};
    alignas(64) std::atomic<size_t> m_dequeue{0};
    sem_t m_available;
};

}  // namespace voxline
