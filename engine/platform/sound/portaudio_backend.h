// Real sound devices through PortAudio: the configured (in=/out=) or default device, or device
// number N of a direction in list order. Each open device has its own driver thread
// (portaudio_device.h). PortAudio starts at the first open or listing, not at selection, so
// selecting the backend never touches the sound system.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sound/portaudio_config.h"
#include "platform/sound/sound_backend.h"

namespace voxline {

class portaudio_device;

std::unique_ptr<sound_backend> make_portaudio_backend(std::string_view options, std::string& error);

class portaudio_backend final : public sound_backend {
  public:
    explicit portaudio_backend(const portaudio_config& config);
    ~portaudio_backend() override;

    int32_t open(wave_direction direction, uint32_t device_id, const wave_format& format,
                 const std::shared_ptr<wave_stream>& stream) override;
    void close(wave_stream& stream) override;
    void wake(wave_stream& stream) override;
    void list_devices(std::vector<sound_device_info>& devices) override;

  private:
    // Devices closed from their own driver thread (inside a done callback) wait here to be
    // joined by the next open or close on another thread, or by the destructor.
    void join_retired();

    const portaudio_config m_config;
    std::mutex m_lock;
    std::vector<std::unique_ptr<portaudio_device>> m_devices;
    std::vector<std::unique_ptr<portaudio_device>> m_retired;
};

}  // namespace voxline
