#include "platform/sound/virtual_backend.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

#include "platform/clock.h"
#include "platform/sound/periodic_schedule.h"
#include "platform/sound/wav_file.h"
#include "platform/sound/wave_stream.h"

namespace voxline {
namespace {

constexpr size_t k_ring_samples = 10 * 8000;  // 10 s of injected or played audio
constexpr int k_max_late_ticks = 10;
constexpr int k_test_wait_ms = 5000;

int16_t saturate(double value) {
    return static_cast<int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
}

bool fault_applies(virtual_fault_side side, wave_direction direction) {
    return side == virtual_fault_side::both ||
           (side == virtual_fault_side::input) == (direction == wave_direction::input);
}

}  // namespace

std::unique_ptr<sound_backend> make_virtual_backend(std::string_view options, std::string& error) {
    virtual_config config;
    if (!parse_virtual_config(options, config, error)) return nullptr;
    return std::make_unique<virtual_card>(config);
}

size_t virtual_card::sample_ring::push(const int16_t* samples, size_t count, bool overwrite) {
    size_t pushed = 0;
    for (; pushed < count; ++pushed) {
        if (size == data.size()) {
            if (!overwrite) break;
            head = (head + 1) % data.size();
            --size;
        }
        data[(head + size) % data.size()] = samples[pushed];
        ++size;
    }
    return pushed;
}

size_t virtual_card::sample_ring::pop(int16_t* out, size_t max) {
    const size_t n = std::min(max, size);
    for (size_t i = 0; i < n; ++i) out[i] = data[(head + i) % data.size()];
    head = (head + n) % data.size();
    size -= n;
    return n;
}

virtual_card::virtual_card(const virtual_config& config)
    : m_config(config),
      m_echo_delay(config.echo ? static_cast<size_t>(config.echo_delay_ms) * 8 : 0),
      m_echo_gain(config.echo ? std::pow(10.0, -config.echo_atten_db / 20.0) : 0.0),
      m_fault(config.fault),
      m_fault_side(config.fault_side),
      m_injected(k_ring_samples),
      m_speaker_tap(k_ring_samples),
      m_echo_line(m_echo_delay + k_tick_samples) {}

virtual_card::~virtual_card() {
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
        m_changed.notify_all();
    }
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach();
        else
            m_thread.join();
    }
}

void virtual_card::list_devices(std::vector<sound_device_info>& devices) {
    devices.push_back({wave_direction::input, "virtual microphone", 8000, true});
    devices.push_back({wave_direction::output, "virtual speaker", 8000, true});
}

int32_t virtual_card::refuse(wave_direction direction) const {
    if (!fault_applies(m_fault_side, direction)) return WAVE_OK;
    switch (m_fault) {
        case virtual_fault::none:
            return WAVE_OK;
        case virtual_fault::open:
            return WAVE_BAD_DEVICE_ID;
        case virtual_fault::busy:
            return WAVE_ALLOCATED;
        case virtual_fault::format:
            return WAVE_BAD_FORMAT;
        case virtual_fault::duplex:
            // A half-duplex card: one direction at a time. Without a side it refuses the input.
            if (m_fault_side == virtual_fault_side::output)
                return direction == wave_direction::output && m_inputs > 0 ? WAVE_ALLOCATED
                                                                           : WAVE_OK;
            return direction == wave_direction::input && m_outputs > 0 ? WAVE_ALLOCATED : WAVE_OK;
    }
    return WAVE_OK;
}

int32_t virtual_card::open_speaker() {
    std::lock_guard lock(m_speaker_lock);
    if (m_config.speaker_file.empty() || m_speaker.is_open()) return WAVE_OK;
    std::string error;
    if (!m_speaker.open(m_config.speaker_file, !m_speaker_created, error)) {
        sound_log(1, "Virtual speaker file cannot be written: %s", error.c_str());
        return WAVE_BAD_DEVICE_ID;
    }
    m_speaker_created = true;
    return WAVE_OK;
}

int32_t virtual_card::open(wave_direction direction, uint32_t device_id, const wave_format&,
                           const std::shared_ptr<wave_stream>& stream) {
    if (device_id != k_wave_mapper && device_id != 0) return WAVE_BAD_DEVICE_ID;
    auto new_port = std::make_shared<port>();
    new_port->stream = stream;
    {
        std::lock_guard lock(m_lock);
        if (const int32_t refused = refuse(direction)) return refused;
    }
    if (direction == wave_direction::input && m_config.mic == virtual_mic_kind::wav) {
        std::vector<uint8_t> image;
        std::string error;
        if (!read_binary_file(m_config.mic_file, image, error)) {
            sound_log(1, "Virtual microphone file cannot be read: %s", error.c_str());
            return WAVE_BAD_DEVICE_ID;
        }
        if (!parse_wav(image.data(), image.size(), new_port->wav, error)) {
            sound_log(1, "Virtual microphone file %s: %s", m_config.mic_file.c_str(),
                      error.c_str());
            return WAVE_BAD_FORMAT;
        }
    }
    std::lock_guard lock(m_lock);
    // Checked again: another open may have come in while the file was read.
    if (const int32_t refused = refuse(direction)) return refused;
    auto free_slot = std::find(m_ports.begin(), m_ports.end(), nullptr);
    if (free_slot == m_ports.end()) return WAVE_ALLOCATED;
    if (direction == wave_direction::output && m_outputs == 0) {
        if (const int32_t failed = open_speaker()) return failed;
    }
    if (!m_thread.joinable()) {
        m_next_deadline_us = now_us() + k_tick_us;
        m_card_now_us = now_us();
        m_thread = std::thread([this] { run(); });
    } else if (idle()) {
        // The card slept while nothing was open: its clock starts again now.
        m_next_deadline_us = now_us() + k_tick_us;
    }
    stream->set_driver_thread(m_thread.get_id());
    *free_slot = std::move(new_port);
    ++(direction == wave_direction::input ? m_inputs : m_outputs);
    m_changed.notify_all();
    return WAVE_OK;
}

void virtual_card::close(wave_stream& stream) {
    std::lock_guard lock(m_lock);
    auto found = std::find_if(m_ports.begin(), m_ports.end(),
                              [&](const auto& p) { return p && p->stream.get() == &stream; });
    if (found == m_ports.end()) return;
    found->reset();
    if (stream.direction() == wave_direction::input) {
        --m_inputs;
        return;
    }
    --m_outputs;
    // The file reads as a whole recording after every close.
    std::lock_guard speaker_lock(m_speaker_lock);
    m_speaker.update_header();
    if (m_outputs == 0) m_speaker.close();
}

void virtual_card::wake(wave_stream&) {
    std::lock_guard lock(m_lock);
    m_service_pending = true;
    m_changed.notify_all();
}

int64_t virtual_card::now_us() const {
    return m_manual_clock ? m_manual_now_us : monotonic_us() + m_offset_us.load();
}

void virtual_card::wait_for_deadline(std::unique_lock<std::mutex>& lock, int64_t deadline) {
    const auto woken = [&] { return m_stop || m_service_pending || now_us() >= deadline; };
    if (m_manual_clock) {
        m_changed.wait(lock, woken);
        return;
    }
    // steady_clock is CLOCK_MONOTONIC: the wait ends at an absolute deadline, so ticks do not
    // drift. A clock step (offset) wakes the card through m_changed.
    while (!woken()) {
        const int64_t until = deadline - m_offset_us.load();
        m_changed.wait_until(
            lock, std::chrono::steady_clock::time_point(std::chrono::microseconds(until)));
    }
}

void virtual_card::run() {
    std::unique_lock lock(m_lock);
    while (!m_stop) {
        // With nothing open there is nothing to play or record: an idle phone's
        // card must not wake a hundred times a second.
        if (idle()) {
            m_changed.wait(lock, [&] { return m_stop || m_service_pending || !idle(); });
            if (m_stop) break;
        }
        wait_for_deadline(lock, m_next_deadline_us);
        if (m_stop) break;
        port_list ports = m_ports;
        const bool service_only = m_service_pending;
        m_service_pending = false;
        // Test waits compare with the time this pass saw, not the time when it ends.
        const int64_t pass_now = now_us();
        const periodic_step step =
            periodic_due(pass_now, m_next_deadline_us, k_tick_us, k_max_late_ticks);
        m_next_deadline_us = step.next_deadline;
        lock.unlock();
        if (service_only) service(ports);
        for (int i = step.ticks; i > 0; --i) tick(ports, step.next_deadline - i * k_tick_us);
        ports = {};
        lock.lock();
        m_card_now_us = pass_now;
        m_changed.notify_all();
    }
}

void virtual_card::service(const port_list& ports) {
    for (const auto& p : ports)
        if (p) p->stream->service();
}

void virtual_card::tick(const port_list& ports, int64_t time_us) {
    service(ports);
    int16_t mix[k_tick_samples];
    play(ports, mix, time_us);
    // The echo path hears the speaker, silence included, one tick at a time.
    for (size_t i = 0; i < k_tick_samples; ++i)
        m_echo_line[(m_echo_write + i) % m_echo_line.size()] = mix[i];
    record(ports, time_us - k_tick_us);
    m_echo_write = (m_echo_write + k_tick_samples) % m_echo_line.size();
}

void virtual_card::play(const port_list& ports, int16_t* mix, int64_t time_us) {
    std::fill(mix, mix + k_tick_samples, int16_t{0});
    bool any_output = false;
    int16_t block[k_tick_samples];
    for (const auto& p : ports) {
        if (!p || p->stream->direction() != wave_direction::output) continue;
        any_output = true;
        p->stream->render(block, k_tick_samples, time_us);
        for (size_t i = 0; i < k_tick_samples; ++i)
            mix[i] = saturate(static_cast<double>(mix[i]) + block[i]);
    }
    if (!any_output) return;
    {
        std::lock_guard lock(m_lock);
        m_speaker_tap.push(mix, k_tick_samples, true);
    }
    std::lock_guard lock(m_speaker_lock);
    // Where the file resumes, its sample's play time: latency benches line it up with the
    // far microphone's (same monotonic clock, another process).
    if (m_speaker.is_open() && time_us != m_last_play_us + k_tick_us)
        sound_log(4, "Virtual speaker: file sample %u plays at %lld us",
                  static_cast<unsigned>(m_speaker.data_bytes() / 2),
                  static_cast<long long>(time_us));
    m_last_play_us = time_us;
    if (m_speaker.is_open() && !m_speaker.write(mix, k_tick_samples) && !m_speaker_full_logged) {
        m_speaker_full_logged = true;
        sound_log(1, "Virtual speaker file %s: write failed or file full; audio dropped",
                  m_config.speaker_file.c_str());
    }
}

void virtual_card::mic_source(port& source, int16_t* out, size_t count) const {
    for (size_t i = 0; i < count; ++i) {
        switch (m_config.mic) {
            case virtual_mic_kind::silence:
                out[i] = 0;
                break;
            case virtual_mic_kind::wav:
                out[i] =
                    source.wav_position < source.wav.size() ? source.wav[source.wav_position++] : 0;
                break;
            case virtual_mic_kind::tone: {
                // The phase is taken modulo one second so that it stays exact over long runs.
                const double cycles =
                    std::fmod(m_config.tone_hz * double(source.tone_sample), 8000.0);
                out[i] =
                    saturate(m_config.tone_peak * std::sin(2 * std::numbers::pi * cycles / 8000.0));
                ++source.tone_sample;
                break;
            }
        }
    }
}

void virtual_card::record(const port_list& ports, int64_t time_us) {
    bool any_started = false;
    for (const auto& p : ports)
        any_started |= p && p->stream->direction() == wave_direction::input && p->stream->started();
    if (!any_started) return;
    int16_t injected[k_tick_samples];
    size_t injected_count;
    {
        std::lock_guard lock(m_lock);
        injected_count = m_injected.pop(injected, k_tick_samples);
    }
    int16_t block[k_tick_samples];
    const size_t echo_start = m_echo_write + m_echo_line.size() - m_echo_delay;
    for (const auto& p : ports) {
        if (!p || p->stream->direction() != wave_direction::input || !p->stream->started())
            continue;
        std::copy(injected, injected + injected_count, block);
        if (m_config.mic == virtual_mic_kind::wav && p->wav_position == 0 && !p->wav.empty())
            sound_log(4, "Virtual microphone: file sample 0 captured at %lld us",
                      static_cast<long long>(time_us + injected_count * 125));
        mic_source(*p, block + injected_count, k_tick_samples - injected_count);
        if (m_config.echo) {
            for (size_t i = 0; i < k_tick_samples; ++i)
                block[i] = saturate(
                    block[i] + m_echo_gain * m_echo_line[(echo_start + i) % m_echo_line.size()]);
        }
        p->stream->capture(block, k_tick_samples, time_us);
    }
}

bool virtual_card::wait_card(std::unique_lock<std::mutex>& lock, int64_t until_us) {
    m_changed.notify_all();
    return m_changed.wait_for(lock, std::chrono::milliseconds(k_test_wait_ms),
                              [&] { return m_card_now_us >= until_us; });
}

bool virtual_card::use_manual_clock() {
    std::lock_guard lock(m_lock);
    if (m_thread.joinable()) return false;
    m_manual_now_us = monotonic_us();
    m_manual_clock = true;
    return true;
}

bool virtual_card::run_ticks(int n) {
    std::unique_lock lock(m_lock);
    if (!m_manual_clock || !m_thread.joinable()) return false;
    for (int i = 0; i < n; ++i) {
        m_manual_now_us = std::max(m_manual_now_us, m_next_deadline_us);
        if (!wait_card(lock, m_manual_now_us)) return false;
    }
    return true;
}

bool virtual_card::step_clock(int ms) {
    std::unique_lock lock(m_lock);
    if (ms < 0) return false;
    if (!m_manual_clock) {
        m_offset_us.fetch_add(int64_t{ms} * 1000);
        m_changed.notify_all();
        return true;
    }
    if (!m_thread.joinable()) return false;
    m_manual_now_us += int64_t{ms} * 1000;
    return wait_card(lock, m_manual_now_us);
}

bool virtual_card::inject_mic(const int16_t* samples, size_t count) {
    std::lock_guard lock(m_lock);
    if (m_injected.data.size() - m_injected.size < count) return false;
    m_injected.push(samples, count, false);
    return true;
}

size_t virtual_card::take_speaker(int16_t* out, size_t max) {
    std::lock_guard lock(m_lock);
    return m_speaker_tap.pop(out, max);
}

void virtual_card::set_fault(virtual_fault fault, virtual_fault_side side) {
    std::lock_guard lock(m_lock);
    m_fault = fault;
    m_fault_side = side;
}

}  // namespace voxline
