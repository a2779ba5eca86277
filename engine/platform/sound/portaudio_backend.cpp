#include "platform/sound/portaudio_backend.h"

#include <algorithm>
#include <cmath>

#include "platform/sound/portaudio_device.h"
#include "platform/sound/portaudio_library.h"
#include "platform/sound/wave_stream.h"

namespace voxline {
namespace {

bool has_direction(const PaDeviceInfo& info, wave_direction direction) {
    return (direction == wave_direction::input ? info.maxInputChannels : info.maxOutputChannels) >
           0;
}

// The device an open names, with the PortAudio lock held: number `device_id` of that direction
// in list order, else the configured name, else the system's default.
int32_t find_device(wave_direction direction, uint32_t device_id, const std::string& name,
                    portaudio_route& route) {
    route.direction = direction;
    route.device = paNoDevice;
    const PaDeviceIndex count = std::max<PaDeviceIndex>(Pa_GetDeviceCount(), 0);
    uint32_t number = 0;
    for (PaDeviceIndex i = 0; i < count && route.device == paNoDevice; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info == nullptr || !has_direction(*info, direction)) continue;
        if (device_id != k_wave_mapper ? number++ == device_id : name == info->name)
            route.device = i;
    }
    if (device_id == k_wave_mapper && name.empty())
        route.device = direction == wave_direction::input ? Pa_GetDefaultInputDevice()
                                                          : Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* info = Pa_GetDeviceInfo(route.device);
    if (route.device == paNoDevice || info == nullptr) {
        if (!name.empty() && device_id == k_wave_mapper)
            sound_log(1, "Sound device \"%s\" not found", name.c_str());
        return WAVE_BAD_DEVICE_ID;
    }
    route.name = info->name;
    return WAVE_OK;
}

}  // namespace

std::unique_ptr<sound_backend> make_portaudio_backend(std::string_view options,
                                                      std::string& error) {
    portaudio_config config;
    if (!parse_portaudio_config(options, config, error)) return nullptr;
    return std::make_unique<portaudio_backend>(config);
}

portaudio_backend::portaudio_backend(const portaudio_config& config) : m_config(config) {}

portaudio_backend::~portaudio_backend() {
    std::vector<std::unique_ptr<portaudio_device>> devices;
    {
        std::lock_guard lock(m_lock);
        devices = std::move(m_devices);
        for (auto& retired : m_retired) devices.push_back(std::move(retired));
    }
    for (auto& device : devices) {
        // Destroyed from one of its own callbacks: that thread still runs on the device.
        if (device->on_driver_thread()) device.release()->orphan();
    }
}

void portaudio_backend::join_retired() {
    std::vector<std::unique_ptr<portaudio_device>> joinable;
    {
        std::lock_guard lock(m_lock);
        // A thread cannot join itself: its own device stays for a later call.
        auto others = std::partition(m_retired.begin(), m_retired.end(),
                                     [](const auto& device) { return device->on_driver_thread(); });
        std::move(others, m_retired.end(), std::back_inserter(joinable));
        m_retired.erase(others, m_retired.end());
    }
}

int32_t portaudio_backend::open(wave_direction direction, uint32_t device_id, const wave_format&,
                                const std::shared_ptr<wave_stream>& stream) {
    join_retired();
    if (!portaudio_start()) return WAVE_NO_DRIVER;
    portaudio_route route;
    {
        std::lock_guard lock(portaudio_lock());
        const std::string& name =
            direction == wave_direction::input ? m_config.input_name : m_config.output_name;
        if (const int32_t failed = find_device(direction, device_id, name, route)) return failed;
    }
    route.rate = m_config.rate;
    auto device = std::make_unique<portaudio_device>(route, stream);
    if (const int32_t failed = device->start()) return failed;
    std::lock_guard lock(m_lock);
    m_devices.push_back(std::move(device));
    return WAVE_OK;
}

void portaudio_backend::close(wave_stream& stream) {
    std::unique_ptr<portaudio_device> device;
    {
        std::lock_guard lock(m_lock);
        auto found = std::find_if(m_devices.begin(), m_devices.end(),
                                  [&](const auto& d) { return &d->stream() == &stream; });
        if (found == m_devices.end()) return;
        device = std::move(*found);
        m_devices.erase(found);
        device->request_stop();
        if (device->on_driver_thread()) {
            m_retired.push_back(std::move(device));
            return;
        }
    }
    device.reset();
    join_retired();
}

void portaudio_backend::wake(wave_stream& stream) {
    std::lock_guard lock(m_lock);
    for (const auto& device : m_devices)
        if (&device->stream() == &stream) device->wake();
}

void portaudio_backend::list_devices(std::vector<sound_device_info>& devices) {
    if (!portaudio_start()) return;
    std::lock_guard lock(portaudio_lock());
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (const wave_direction direction : {wave_direction::input, wave_direction::output}) {
        const PaDeviceIndex default_device = direction == wave_direction::input
                                                 ? Pa_GetDefaultInputDevice()
                                                 : Pa_GetDefaultOutputDevice();
        for (PaDeviceIndex i = 0; i < count; ++i) {
            const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
            if (info == nullptr || !has_direction(*info, direction)) continue;
            devices.push_back({direction, info->name,
                               static_cast<uint32_t>(std::lround(info->defaultSampleRate)),
                               i == default_device});
        }
    }
}

}  // namespace voxline
