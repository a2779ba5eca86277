#include "platform/sound/thread_message_queue.h"

#include <time.h>

#include <cerrno>

namespace voxline {
namespace {

size_t ring_size(size_t capacity) {
    size_t size = 2;
    while (size < capacity) size <<= 1;
    return size;
}

}  // namespace

// A bounded lock-free ring: each slot's sequence says whose turn it is, so producers on any
// thread claim slots with one compare-and-swap and never wait for each other.
thread_message_queue::thread_message_queue(size_t capacity)
    : m_mask(ring_size(capacity) - 1), m_slots(new slot[m_mask + 1]) {
    for (size_t i = 0; i <= m_mask; ++i) m_slots[i].sequence.store(i, std::memory_order_relaxed);
    sem_init(&m_available, 0, 0);
}

thread_message_queue::~thread_message_queue() {
    sem_destroy(&m_available);
}

bool thread_message_queue::post(const thread_message& message) noexcept {
    size_t position = m_enqueue.load(std::memory_order_relaxed);
    slot* target;
    for (;;) {
        target = &m_slots[position & m_mask];
        const size_t sequence = target->sequence.load(std::memory_order_acquire);
        const auto lag = static_cast<std::ptrdiff_t>(sequence - position);
        if (lag == 0) {
            if (m_enqueue.compare_exchange_weak(position, position + 1, std::memory_order_relaxed))
                break;
        } else if (lag < 0) {
            return false;
        } else {
            position = m_enqueue.load(std::memory_order_relaxed);
        }
    }
    target->message = message;
    target->sequence.store(position + 1, std::memory_order_release);
    sem_post(&m_available);
    return true;
}

bool thread_message_queue::pop(thread_message& message) {
    size_t position = m_dequeue.load(std::memory_order_relaxed);
    slot* source;
    for (;;) {
        source = &m_slots[position & m_mask];
        const size_t sequence = source->sequence.load(std::memory_order_acquire);
        const auto lag = static_cast<std::ptrdiff_t>(sequence - (position + 1));
        if (lag == 0) {
            if (m_dequeue.compare_exchange_weak(position, position + 1, std::memory_order_relaxed))
                break;
        } else if (lag < 0) {
            return false;
        } else {
            position = m_dequeue.load(std::memory_order_relaxed);
        }
    }
    message = source->message;
    source->sequence.store(position + m_mask + 1, std::memory_order_release);
    return true;
}

bool thread_message_queue::get(thread_message& message, int timeout_ms) {
    if (timeout_ms <= 0) return peek(message, true);
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += timeout_ms / 1000;
    deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000;
    if (deadline.tv_nsec >= 1000000000) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000;
    }
    int result;
    while ((result = sem_clockwait(&m_available, CLOCK_MONOTONIC, &deadline)) != 0 &&
           errno == EINTR) {
    }
    // A counted message has been published already.
    return result == 0 && pop(message);
}

bool thread_message_queue::peek(thread_message& message, bool remove) {
    if (remove) return sem_trywait(&m_available) == 0 && pop(message);
    const size_t position = m_dequeue.load(std::memory_order_relaxed);
    const slot& front = m_slots[position & m_mask];
    if (front.sequence.load(std::memory_order_acquire) != position + 1) return false;
    message = front.message;
    return true;
}

}  // namespace voxline
