#include "core/client_name.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/key_store.h"
#include "util/local_address.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

constexpr char DEBUG_PREFIX[] = "vxldebug:";
constexpr char OWNER_VALUE[] = "RegisteredOwner";
const char* const OWNER_KEYS[] = {
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
};
constexpr char OWN_KEY[] = "HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\VXL";

std::string filtered(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) out += c;
    }
    return out;
}

// The key store's owner where set, else the login name.
std::string registered_owner() {
    for (const char* path : OWNER_KEYS) {
        registry_key key;
        std::string owner;
        if (key.open(path, true, true) && key.read_string(OWNER_VALUE, &owner)) return owner;
    }
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name) return pw->pw_name;
    if (const char* login = getlogin()) return login;
    return {};
}

// A stable made-up owner for machines that have none, kept in the key store.
std::string generated_owner() {
    std::string owner = "unknownclient";
    registry_key key;
    if (!key.open(OWN_KEY, false, false)) {
        VXL_LOG(LOG_ERROR, "Unable to access %s value (open key failed)", OWNER_VALUE);
        return owner;
    }
    if (key.status() == registry_key::CREATED) {
        char text[16];
        snprintf(text, sizeof text, "x%08x", tick_ms());
        if (key.write_string(OWNER_VALUE, text))
            owner = text;
        else
            VXL_LOG(LOG_ERROR, "Unable to create %s value", OWNER_VALUE);
    } else {
        std::string stored;
        if (key.read_string(OWNER_VALUE, &stored))
            owner = stored;
        else
            VXL_LOG(LOG_ERROR, "Unable to read %s value", OWNER_VALUE);
    }
    return owner;
}

}  // namespace

void compute_client_name(const char* override_text) {
    if (override_text && strncmp(override_text, DEBUG_PREFIX, sizeof DEBUG_PREFIX - 1) == 0) {
        set_process_client_name(override_text + sizeof DEBUG_PREFIX - 1);
        return;
    }
    char local_ip[LOCAL_IP_MAX + 1];
    detect_local_address(local_ip);
    uint32_t address = 0;
    dotted_to_address(local_ip, &address);
    const auto* b = reinterpret_cast<const unsigned char*>(&address);
    char hex[9];
    snprintf(hex, sizeof hex, "%02x%02x%02x%02x", b[0], b[1], b[2], b[3]);

    std::string owner = filtered(registered_owner());
    if (owner.empty()) owner = generated_owner();
    set_process_client_name((std::string(hex) + owner).c_str());
}

}  // namespace voxline
