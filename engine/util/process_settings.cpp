#include "util/process_settings.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace voxline {

namespace {
std::mutex g_lock;
char g_local_ip[LOCAL_IP_MAX + 1];
char g_client_name[CLIENT_NAME_MAX + 1];
std::atomic<uint8_t> g_tos{0};

void bounded_copy(char* dst, size_t capacity, const char* src) {
    size_t n = src ? strnlen(src, capacity - 1) : 0;
    if (n) memcpy(dst, src, n);
    dst[n] = '\0';
}
}  // namespace

void process_local_ip(char* out) {
    std::lock_guard<std::mutex> lock(g_lock);
    memcpy(out, g_local_ip, sizeof g_local_ip);
}

void set_process_local_ip(const char* dotted) {
    std::lock_guard<std::mutex> lock(g_lock);
    bounded_copy(g_local_ip, sizeof g_local_ip, dotted);
}

uint8_t process_type_of_service() {
    return g_tos.load();
}
void set_process_type_of_service(uint8_t tos) {
    g_tos.store(tos);
}

void process_client_name(char* out) {
    std::lock_guard<std::mutex> lock(g_lock);
    memcpy(out, g_client_name, sizeof g_client_name);
}

void set_process_client_name(const char* name) {
    std::lock_guard<std::mutex> lock(g_lock);
    bounded_copy(g_client_name, sizeof g_client_name, name);
}

}  // namespace voxline
