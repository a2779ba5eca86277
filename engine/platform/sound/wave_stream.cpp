#include "platform/sound/wave_stream.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace voxline {
namespace {

size_t samples_in(const wave_header* header) {
    return header->buffer_length / 2;
}

}  // namespace

wave_stream::wave_stream(wave_direction direction, wave_handle handle, wave_callback callback,
                         void* context)
    : m_direction(direction), m_handle(handle), m_callback(callback), m_context(context) {}

bool wave_stream::wait_for(std::unique_lock<std::mutex>& lock, auto ready) {
    return m_changed.wait_for(lock, std::chrono::milliseconds(k_wave_driver_wait_ms), ready);
}

int32_t wave_stream::prepare(wave_header* header) {
    if (header == nullptr || (header->data == nullptr && header->buffer_length > 0))
        return WAVE_INVALID_PARAM;
    std::lock_guard lock(m_lock);
    header->flags |= WAVE_HDR_PREPARED;
    return WAVE_OK;
}

int32_t wave_stream::unprepare(wave_header* header) {
    if (header == nullptr) return WAVE_INVALID_PARAM;
    std::lock_guard lock(m_lock);
    if (header->flags & WAVE_HDR_INQUEUE) return WAVE_STILL_PLAYING;
    header->flags &= ~WAVE_HDR_PREPARED;
    return WAVE_OK;
}

int32_t wave_stream::add(wave_header* header) {
    if (header == nullptr) return WAVE_INVALID_PARAM;
    std::lock_guard lock(m_lock);
    if (m_closing) return WAVE_INVALID_HANDLE;
    if (!(header->flags & WAVE_HDR_PREPARED)) return WAVE_UNPREPARED;
    // Queuing a header twice would tie the queue into a ring.
    if (header->flags & WAVE_HDR_INQUEUE) return WAVE_STILL_PLAYING;
    header->flags = (header->flags & ~WAVE_HDR_DONE) | WAVE_HDR_INQUEUE;
    header->bytes_recorded = 0;
    header->first_sample_us = 0;
    header->next = nullptr;
    if (m_queue_tail)
        m_queue_tail->next = header;
    else
        m_queue_head = header;
    m_queue_tail = header;
    if (m_direction == wave_direction::output && m_play == nullptr) {
        m_play = header;
        m_play_sample = 0;
        enter_output_header();
    }
    return WAVE_OK;
}

void wave_stream::break_loop() {
    std::lock_guard lock(m_lock);
    if (m_loop_begin) m_loop_broken = true;
}

bool wave_stream::closed() const {
    std::lock_guard lock(m_lock);
    return m_closed;
}

wave_header* wave_stream::pop_queue() {
    wave_header* header = m_queue_head;
    if (header == nullptr) return nullptr;
    m_queue_head = header->next;
    if (m_queue_head == nullptr) m_queue_tail = nullptr;
    return header;
}

void wave_stream::push_done(wave_header* header) {
    header->flags = (header->flags & ~WAVE_HDR_INQUEUE) | WAVE_HDR_DONE;
    header->next = nullptr;
    if (m_done_tail)
        m_done_tail->next = header;
    else
        m_done_head = header;
    m_done_tail = header;
}

void wave_stream::deliver() {
    std::unique_lock lock(m_lock);
    while (m_done_head != nullptr && !m_closed) {
        wave_header* header = m_done_head;
        m_done_head = header->next;
        if (m_done_head == nullptr) m_done_tail = nullptr;
        header->next = nullptr;
        ++m_callback_depth;
        lock.unlock();
        if (m_callback) m_callback(m_handle, header, m_context);
        lock.lock();
        --m_callback_depth;
    }
    m_changed.notify_all();
}

void wave_stream::service() {
    uint64_t target;
    {
        std::lock_guard lock(m_lock);
        target = m_reset_requested;
        if (target == m_reset_done) return;
        m_started.store(false);
        while (wave_header* header = pop_queue()) push_done(header);
        m_play = nullptr;
        m_play_sample = 0;
        m_loop_begin = nullptr;
        m_loop_broken = false;
    }
    deliver();
    std::lock_guard lock(m_lock);
    m_reset_done = std::max(m_reset_done, target);
    m_changed.notify_all();
}

int32_t wave_stream::reset(sound_backend& backend) {
    uint64_t target;
    {
        std::lock_guard lock(m_lock);
        target = ++m_reset_requested;
    }
    if (on_driver_thread()) {
        service();
        return WAVE_OK;
    }
    backend.wake(*this);
    std::unique_lock lock(m_lock);
    return wait_for(lock, [&] { return m_reset_done >= target; }) ? WAVE_OK : WAVE_ERROR;
}

int32_t wave_stream::close(sound_backend& backend) {
    {
        std::lock_guard lock(m_lock);
        if (m_closing) return WAVE_INVALID_HANDLE;
        m_closing = true;
    }
    const int32_t result = reset(backend);
    std::unique_lock lock(m_lock);
    if (result != WAVE_OK) {
        m_closing = false;
        return result;
    }
    // A callback of this stream may be running on the driver thread; from inside it, closing
    // only has to stop the next one.
    if (!on_driver_thread() && !wait_for(lock, [&] { return m_callback_depth == 0; })) {
        m_closing = false;
        return WAVE_ERROR;
    }
    m_closed = true;
    return WAVE_OK;
}

void wave_stream::capture(const int16_t* samples, size_t count, int64_t first_sample_us) {
    {
        std::lock_guard lock(m_lock);
        if (m_closed || !m_started.load()) return;
        size_t taken = 0;
        while (taken < count && m_queue_head != nullptr) {
            wave_header* header = m_queue_head;
            const size_t have = header->bytes_recorded / 2;
            const size_t room = samples_in(header) - std::min(have, samples_in(header));
            const size_t n = std::min(room, count - taken);
            if (n > 0) {
                if (have == 0) header->first_sample_us = first_sample_us + taken * 125;
                std::memcpy(header->data + have * 2, samples + taken, n * 2);
                header->bytes_recorded = static_cast<uint32_t>((have + n) * 2);
                taken += n;
            }
            if (header->bytes_recorded / 2 >= samples_in(header)) push_done(pop_queue());
        }
    }
    deliver();
}

void wave_stream::enter_output_header() {
    wave_header* header = m_play;
    if (m_loop_begin == nullptr && (header->flags & WAVE_HDR_BEGINLOOP)) {
        m_loop_begin = header;
        m_loops_left = std::max<uint32_t>(header->loops, 1);
        m_loop_broken = false;
        m_loop_pass_samples = 0;
    }
}

void wave_stream::finish_output_header() {
    wave_header* header = m_play;
    if (m_loop_begin != nullptr) {
        if (!(header->flags & WAVE_HDR_ENDLOOP)) {
            // Inside a loop the header stays queued until the loop's last pass.
            m_play = header->next;
            m_play_sample = 0;
            return;
        }
        // A loop of empty headers would spin here forever: it ends after one pass.
        if (m_loops_left > 1 && !m_loop_broken && m_loop_pass_samples > 0) {
            --m_loops_left;
            m_loop_pass_samples = 0;
            m_play = m_loop_begin;
            m_play_sample = 0;
            return;
        }
        for (wave_header* done = pop_queue(); done != nullptr; done = pop_queue()) {
            push_done(done);
            if (done == header) break;
        }
        m_loop_begin = nullptr;
        m_loop_broken = false;
    } else {
        push_done(pop_queue());
    }
    m_play = m_queue_head;
    m_play_sample = 0;
    if (m_play) enter_output_header();
}

size_t wave_stream::render(int16_t* out, size_t count, int64_t first_sample_us) {
    size_t filled = 0;
    {
        std::lock_guard lock(m_lock);
        while (!m_closed && filled < count && m_play != nullptr) {
            wave_header* header = m_play;
            const size_t length = samples_in(header);
            if (m_play_sample == 0 && header->first_sample_us == 0 && length > 0)
                header->first_sample_us = first_sample_us + filled * 125;
            const size_t n = std::min(length - std::min(m_play_sample, length), count - filled);
            if (n > 0) std::memcpy(out + filled, header->data + m_play_sample * 2, n * 2);
            filled += n;
            m_play_sample += n;
            m_loop_pass_samples += n;
            if (m_play_sample >= length) finish_output_header();
        }
    }
    std::fill(out + filled, out + count, int16_t{0});
    deliver();
    return filled;
}

}  // namespace voxline
