#include "platform/sound/wave_api.h"

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/sound/sound_backend.h"
#include "platform/sound/wave_stream.h"

namespace voxline {
namespace {

constexpr size_t k_max_handles = 32;
constexpr const char* k_default_backend = "portaudio";

std::atomic<wave_log_sink> g_sink{nullptr};

struct handle_slot {
    std::shared_ptr<wave_stream> stream;  // null while free or while an open is under way
    std::shared_ptr<sound_backend> backend;
    bool taken = false;
};

// The selected backend and the open handles.
struct sound_registry {
    std::mutex lock;
    bool selected = false;
    std::shared_ptr<sound_backend> backend;  // null: opens fail with 6
    std::array<handle_slot, k_max_handles> slots;
    size_t next_slot = 0;
};

sound_registry& registry() {
    static sound_registry instance;
    return instance;
}

bool any_taken(const sound_registry& reg) {
    for (const handle_slot& slot : reg.slots)
        if (slot.taken) return true;
    return false;
}

// Builds the backend a selection names; null when it cannot.
std::shared_ptr<sound_backend> make_backend(std::string_view selection) {
    const size_t colon = selection.find(':');
    const std::string_view name = selection.substr(0, colon);
    const std::string_view options =
        colon == std::string_view::npos ? std::string_view{} : selection.substr(colon + 1);
    for (const sound_backend_entry* entry = k_sound_backends; entry->name; ++entry) {
        if (name != entry->name) continue;
        if (entry->create == nullptr) {
            sound_log(1, "Sound backend \"%.*s\" is not built in; sound devices will not open",
                      static_cast<int>(name.size()), name.data());
            return nullptr;
        }
        std::string error;
        std::unique_ptr<sound_backend> backend = entry->create(options, error);
        if (!backend)
            sound_log(1, "VOXLINE_AUDIO \"%.*s\" not understood: %s; sound devices will not open",
                      static_cast<int>(selection.size()), selection.data(), error.c_str());
        return backend;
    }
    sound_log(1, "VOXLINE_AUDIO \"%.*s\" names no sound backend; sound devices will not open",
              static_cast<int>(selection.size()), selection.data());
    return nullptr;
}

std::string_view environment_selection() {
    const char* value = std::getenv("VOXLINE_AUDIO");
    return value && *value ? value : k_default_backend;
}

// With reg.lock held.
const std::shared_ptr<sound_backend>& selected_backend(sound_registry& reg) {
    if (!reg.selected) {
        reg.backend = make_backend(environment_selection());
        reg.selected = true;
    }
    return reg.backend;
}

struct open_device {
    std::shared_ptr<wave_stream> stream;
    std::shared_ptr<sound_backend> backend;
};

// The stream behind an open handle of one direction.
bool find(wave_handle handle, wave_direction direction, open_device& device) {
    if (handle < 1 || static_cast<size_t>(handle) > k_max_handles) return false;
    sound_registry& reg = registry();
    std::lock_guard lock(reg.lock);
    const handle_slot& slot = reg.slots[handle - 1];
    if (!slot.stream || slot.stream->direction() != direction) return false;
    device = {slot.stream, slot.backend};
    return true;
}

bool is_pcm_8k_mono16(const wave_format& format) {
    return format.format_tag == 1 && format.channels == 1 && format.samples_per_sec == 8000 &&
           format.bits_per_sample == 16;
}

int32_t open(wave_direction direction, wave_handle* handle, uint32_t device_id,
             const wave_format* format, wave_callback callback, void* context) {
    if (handle == nullptr || format == nullptr) return WAVE_INVALID_PARAM;
    *handle = 0;
    sound_registry& reg = registry();
    std::shared_ptr<sound_backend> backend;
    size_t index = k_max_handles;
    {
        std::lock_guard lock(reg.lock);
        if (!selected_backend(reg)) return WAVE_NO_DRIVER;
        // Handles are taken round the table so a stale handle rarely names a new device.
        for (size_t i = 0; i < k_max_handles && index == k_max_handles; ++i) {
            const size_t candidate = (reg.next_slot + i) % k_max_handles;
            if (!reg.slots[candidate].taken) index = candidate;
        }
        if (index == k_max_handles) return WAVE_ERROR;
        reg.slots[index].taken = true;
        reg.next_slot = (index + 1) % k_max_handles;
        backend = reg.backend;
    }
    int32_t result = is_pcm_8k_mono16(*format) ? WAVE_OK : WAVE_BAD_FORMAT;
    const wave_handle opened = static_cast<wave_handle>(index + 1);
    auto stream = std::make_shared<wave_stream>(direction, opened, callback, context);
    if (result == WAVE_OK) result = backend->open(direction, device_id, *format, stream);
    std::lock_guard lock(reg.lock);
    handle_slot& slot = reg.slots[index];
    if (result != WAVE_OK) {
        slot = {};
        return result;
    }
    slot.stream = std::move(stream);
    slot.backend = std::move(backend);
    *handle = opened;
    return WAVE_OK;
}

int32_t close(wave_direction direction, wave_handle handle) {
    open_device device;
    if (!find(handle, direction, device)) return WAVE_INVALID_HANDLE;
    const int32_t result = device.stream->close(*device.backend);
    if (result != WAVE_OK) return result;
    device.backend->close(*device.stream);
    sound_registry& reg = registry();
    std::lock_guard lock(reg.lock);
    handle_slot& slot = reg.slots[handle - 1];
    if (slot.stream == device.stream) slot = {};
    return WAVE_OK;
}

template <typename Operation>
int32_t with_stream(wave_direction direction, wave_handle handle, Operation operation) {
    open_device device;
    if (!find(handle, direction, device)) return WAVE_INVALID_HANDLE;
    return operation(device);
}

}  // namespace

void sound_log(int level, const char* format, ...) {
    const wave_log_sink sink = g_sink.load();
    if (sink == nullptr) return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    sink(level, line);
}

void wave_set_log_sink(wave_log_sink sink) {
    g_sink.store(sink);
}

int32_t wave_select_backend(const char* selection) {
    sound_registry& reg = registry();
    std::shared_ptr<sound_backend> old;
    std::lock_guard lock(reg.lock);
    if (any_taken(reg)) return WAVE_ALLOCATED;
    old = std::move(reg.backend);
    reg.backend = make_backend(selection ? std::string_view(selection) : environment_selection());
    reg.selected = true;
    return reg.backend ? WAVE_OK : WAVE_NO_DRIVER;
}

std::shared_ptr<sound_backend> wave_current_backend() {
    sound_registry& reg = registry();
    std::lock_guard lock(reg.lock);
    return selected_backend(reg);
}

int32_t wave_list_devices(std::vector<sound_device_info>& devices) {
    devices.clear();
    const std::shared_ptr<sound_backend> backend = wave_current_backend();
    if (!backend) return WAVE_NO_DRIVER;
    backend->list_devices(devices);
    return WAVE_OK;
}

int32_t wave_in_open(wave_handle* handle, uint32_t device_id, const wave_format* format,
                     wave_callback callback, void* context) {
    return open(wave_direction::input, handle, device_id, format, callback, context);
}

int32_t wave_in_prepare(wave_handle handle, wave_header* header) {
    return with_stream(wave_direction::input, handle,
                       [&](open_device& d) { return d.stream->prepare(header); });
}

int32_t wave_in_unprepare(wave_handle handle, wave_header* header) {
    return with_stream(wave_direction::input, handle,
                       [&](open_device& d) { return d.stream->unprepare(header); });
}

int32_t wave_in_add_buffer(wave_handle handle, wave_header* header) {
    return with_stream(wave_direction::input, handle,
                       [&](open_device& d) { return d.stream->add(header); });
}

int32_t wave_in_start(wave_handle handle) {
    return with_stream(wave_direction::input, handle, [&](open_device& d) {
        d.stream->start();
        return WAVE_OK;
    });
}

int32_t wave_in_reset(wave_handle handle) {
    return with_stream(wave_direction::input, handle,
                       [&](open_device& d) { return d.stream->reset(*d.backend); });
}

int32_t wave_in_close(wave_handle handle) {
    return close(wave_direction::input, handle);
}

int32_t wave_out_open(wave_handle* handle, uint32_t device_id, const wave_format* format,
                      wave_callback callback, void* context) {
    return open(wave_direction::output, handle, device_id, format, callback, context);
}

int32_t wave_out_prepare(wave_handle handle, wave_header* header) {
    return with_stream(wave_direction::output, handle,
                       [&](open_device& d) { return d.stream->prepare(header); });
}

int32_t wave_out_unprepare(wave_handle handle, wave_header* header) {
    return with_stream(wave_direction::output, handle,
                       [&](open_device& d) { return d.stream->unprepare(header); });
}

int32_t wave_out_write(wave_handle handle, wave_header* header) {
    return with_stream(wave_direction::output, handle,
                       [&](open_device& d) { return d.stream->add(header); });
}

int32_t wave_out_reset(wave_handle handle) {
    return with_stream(wave_direction::output, handle,
                       [&](open_device& d) { return d.stream->reset(*d.backend); });
}

int32_t wave_out_break_loop(wave_handle handle) {
    return with_stream(wave_direction::output, handle, [&](open_device& d) {
        d.stream->break_loop();
        return WAVE_OK;
    });
}

int32_t wave_out_close(wave_handle handle) {
    return close(wave_direction::output, handle);
}

}  // namespace voxline
