#include "platform/sound/portaudio_device.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/clock.h"
#include "platform/sound/portaudio_config.h"
#include "platform/sound/portaudio_library.h"
#include "platform/sound/wave_stream.h"

namespace voxline {
namespace {

constexpr uint32_t k_wave_rate = 8000;
constexpr size_t k_block_samples = 80;
constexpr int64_t k_block_us = 10000;
constexpr int64_t k_retry_us = 100000;
constexpr int64_t k_max_late_blocks = 10;
// How far an unclocked device may run ahead of real time; a clocked one never gets there.
constexpr int64_t k_max_lead_us = 200000;
// Blocking 10 ms transfers need at least two blocks of device buffer.
constexpr double k_min_latency_s = 0.02;

}  // namespace

portaudio_device::portaudio_device(const portaudio_route& route,
                                   const std::shared_ptr<wave_stream>& stream)
    : m_route(route), m_stream(stream) {}

portaudio_device::~portaudio_device() {
    request_stop();
    if (m_thread.joinable()) m_thread.join();
    close_device(true);
}

int32_t portaudio_device::start() {
    const bool input = m_route.direction == wave_direction::input;
    {
        std::lock_guard lock(portaudio_lock());
        const PaDeviceInfo* info = Pa_GetDeviceInfo(m_route.device);
        if (info == nullptr) return WAVE_BAD_DEVICE_ID;
        m_rate = m_route.rate != 0 ? m_route.rate : k_wave_rate;
        if (m_route.rate == 0) {
            const PaStreamParameters probe{m_route.device, 1, paInt16, 0, nullptr};
            const long own = std::lround(info->defaultSampleRate);
            if (Pa_IsFormatSupported(input ? &probe : nullptr, input ? nullptr : &probe,
                                     k_wave_rate) == paInvalidSampleRate &&
                own >= k_portaudio_min_rate && own <= k_portaudio_max_rate)
                m_rate = static_cast<uint32_t>(own);
        }
        if (const int32_t failed = open_device()) return failed;
    }
    if (m_rate != k_wave_rate)
        sound_log(4, "Sound device \"%s\" runs at %u Hz, resampled to 8000 Hz",
                  m_route.name.c_str(), m_rate);
    m_device_frames = std::max<size_t>(m_rate / 100, 1);
    // Room for a block either way, with the resampler's slack.
    const size_t device_room = k_block_samples * m_rate / k_wave_rate * 2 + 8;
    m_device_block.assign(std::max(m_device_frames, device_room), 0);
    m_block.assign(k_block_samples * 2 + 8, 0);
    if (!(input ? m_resampler.init(m_rate, k_wave_rate) : m_resampler.init(k_wave_rate, m_rate))) {
        close_device(true);
        return WAVE_ERROR;
    }
    m_thread = std::thread([this] { run(); });
    m_stream->set_driver_thread(m_thread.get_id());
    return WAVE_OK;
}

int32_t portaudio_device::open_device() {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(m_route.device);
    if (info == nullptr) return WAVE_BAD_DEVICE_ID;
    const bool input = m_route.direction == wave_direction::input;
    PaStreamParameters params{};
    params.device = m_route.device;
    params.channelCount = 1;
    params.sampleFormat = paInt16;
    params.suggestedLatency = std::max(
        input ? info->defaultLowInputLatency : info->defaultLowOutputLatency, k_min_latency_s);
    PaError error =
        Pa_OpenStream(&m_pa, input ? &params : nullptr, input ? nullptr : &params, m_rate,
                      paFramesPerBufferUnspecified, paClipOff, nullptr, nullptr);
    if (error == paNoError) error = Pa_StartStream(m_pa);
    if (error != paNoError) {
        const int32_t result = wave_error_from_portaudio(error);
        if (m_pa) Pa_CloseStream(m_pa);
        m_pa = nullptr;
        return result;
    }
    const PaStreamInfo* stream_info = Pa_GetStreamInfo(m_pa);
    const double latency =
        stream_info ? (input ? stream_info->inputLatency : stream_info->outputLatency) : 0;
    m_latency_us = static_cast<int64_t>(latency * 1e6);
    return WAVE_OK;
}

void portaudio_device::close_device(bool cut) {
    if (m_pa == nullptr) return;
    std::lock_guard lock(portaudio_lock());
    // A sound that ended plays out what the device holds (a reset has already cut it).
    if (cut || m_route.direction == wave_direction::input)
        Pa_AbortStream(m_pa);
    else
        Pa_StopStream(m_pa);
    Pa_CloseStream(m_pa);
    m_pa = nullptr;
}

void portaudio_device::request_stop() {
    m_stop.store(true);
    std::lock_guard lock(m_wait_lock);
    m_wait.notify_all();
}

void portaudio_device::orphan() {
    request_stop();
    m_orphaned = true;
    m_thread.detach();
}

void portaudio_device::wake() {
    m_woken.store(true);
    std::lock_guard lock(m_wait_lock);
    m_wait.notify_all();
}

void portaudio_device::wait_until(int64_t until_us) {
    std::unique_lock lock(m_wait_lock);
    // steady_clock is CLOCK_MONOTONIC, the clock of monotonic_us().
    m_wait.wait_until(lock,
                      std::chrono::steady_clock::time_point(std::chrono::microseconds(until_us)),
                      [&] { return m_stop.load() || m_woken.load(); });
}

void portaudio_device::pace(size_t frames, int64_t now_us) {
    m_pace_frames += frames;
    const int64_t position =
        m_pace_anchor_us + static_cast<int64_t>(m_pace_frames * 1000000 / m_rate);
    if (position <= now_us) {
        m_pace_anchor_us = now_us;
        m_pace_frames = 0;
    } else if (position - now_us > k_max_lead_us) {
        wait_until(position - k_max_lead_us);
    }
}

void portaudio_device::run() {
    m_pace_anchor_us = monotonic_us();
    while (!m_stop.load()) {
        const bool woken = m_woken.exchange(false);
        m_stream->service();
        if (m_pa == nullptr)
            pass_lost();
        else if (m_route.direction == wave_direction::input)
            pass_input();
        else {
            // A reset cuts what the device still holds.
            if (woken && !m_dry) restart_output();
            if (m_pa != nullptr) pass_output();
        }
    }
    close_device(false);
    if (m_orphaned) delete this;
}

void portaudio_device::pass_input() {
    PaError error = Pa_ReadStream(m_pa, m_device_block.data(), m_device_frames);
    const int64_t now = monotonic_us();
    if (error == paInputOverflowed) {
        m_pace_anchor_us = now;
        m_pace_frames = 0;
        error = paNoError;
    }
    if (error != paNoError) {
        lose(error);
        return;
    }
    const size_t count =
        m_resampler.convert(m_device_block.data(), m_device_frames, m_block.data(), m_block.size());
    m_stream->capture(m_block.data(), count, now - k_block_us);
    pace(m_device_frames, now);
}

void portaudio_device::pass_output() {
    const int64_t now = monotonic_us();
    const size_t count = m_stream->render(m_block.data(), k_block_samples, now + m_latency_us);
    if (count == 0) {
        if (!m_dry) m_resampler.clear();
        m_dry = true;
        wait_until(now + k_block_us);
        return;
    }
    if (m_dry) {
        m_dry = false;
        m_pace_anchor_us = now;
        m_pace_frames = 0;
    }
    const size_t frames =
        m_resampler.convert(m_block.data(), count, m_device_block.data(), m_device_block.size());
    PaError error = frames > 0 ? Pa_WriteStream(m_pa, m_device_block.data(), frames) : paNoError;
    if (error == paOutputUnderflowed) error = paNoError;
    if (error != paNoError) {
        lose(error);
        return;
    }
    pace(frames, monotonic_us());
}

void portaudio_device::restart_output() {
    PaError error;
    {
        std::lock_guard lock(portaudio_lock());
        Pa_AbortStream(m_pa);
        error = Pa_StartStream(m_pa);
    }
    m_dry = true;
    m_resampler.clear();
    if (error != paNoError) lose(error);
}

void portaudio_device::lose(PaError error) {
    sound_log(1, "Sound device \"%s\" failed (%s); retrying every 100 ms", m_route.name.c_str(),
              Pa_GetErrorText(error));
    close_device(true);
    m_lost_tick_us = monotonic_us();
    m_retry_us = m_lost_tick_us + k_retry_us;
    m_dry = true;
}

void portaudio_device::pass_lost() {
    const int64_t due = m_lost_tick_us + k_block_us;
    wait_until(due);
    const int64_t now = monotonic_us();
    if (m_stop.load() || now < due) return;  // a stop or a reset: the loop sees to it
    m_lost_tick_us = now - due > k_max_late_blocks * k_block_us ? now : due;
    // Headers keep coming back in real time, as if the device were there.
    if (m_route.direction == wave_direction::input) {
        std::fill(m_block.begin(), m_block.begin() + k_block_samples, int16_t{0});
        m_stream->capture(m_block.data(), k_block_samples, m_lost_tick_us - k_block_us);
    } else {
        m_stream->render(m_block.data(), k_block_samples, m_lost_tick_us);
    }
    if (now < m_retry_us) return;
    int32_t result;
    {
        std::lock_guard lock(portaudio_lock());
        result = open_device();
    }
    if (result != WAVE_OK) {
        m_retry_us = now + k_retry_us;
        return;
    }
    sound_log(4, "Sound device \"%s\" is back", m_route.name.c_str());
    m_resampler.clear();
    m_pace_anchor_us = monotonic_us();
    m_pace_frames = 0;
}

}  // namespace voxline
