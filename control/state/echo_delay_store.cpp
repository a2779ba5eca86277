#include "echo_delay_store.h"

#include <cstring>
#include <vector>

#include "platform/key_store.h"

namespace kestrel {

int32_t stored_echo_delay() {
    voxline::registry_key key;
    if (!key.open("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick\\Quillon", true, true)) {
        return -1;
    }
    uint32_t type = 0;
    std::vector<uint8_t> data;
    bool found = key.read_value("Echo Cancelation Delay", &type, &data);
    key.close();
    if (!found || type != voxline::registry_key::TYPE_DWORD || data.size() != sizeof(uint32_t)) {
        return -1;
    }
    uint32_t value = 0;
    std::memcpy(&value, data.data(), sizeof(value));
    return static_cast<int32_t>(value);
}

}  // namespace kestrel
