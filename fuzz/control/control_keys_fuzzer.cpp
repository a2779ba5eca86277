// Key numbers reach the control from ExecuteCommand's parameters and typed
// text from DialNumber. Input: pairs of (key byte, flags byte); every index
// must be a phone key, and redial browsing must stay within its entries.
#include <cstdint>
#include <cstdlib>

#include "keys/key_mapping.h"
#include "keys/redial_list.h"
#include "keys/virtual_keys.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kestrel::redial_list redial;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const int32_t key = data[i] | ((data[i + 1] & 3) << 8);
        const int index = kestrel::key_index_of_key(key & 0xFF, key & kestrel::KEY_SHIFT_STATE);
        if (index < -1 || index >= kestrel::KEY_COUNT) abort();
        const int typed = kestrel::key_index_of_char(static_cast<char>(data[i]));
        if (typed < -1 || typed >= kestrel::KEY_COUNT) abort();
        if (typed >= 0 && kestrel::char_of_key_index(typed) == 0) abort();
        const int32_t scan = kestrel::key_scan_of_char(static_cast<char>(data[i]));
        if (scan > 0x1FF) abort();
        switch (data[i + 1] >> 6) {
            case 0:
                redial.record(std::string(1, static_cast<char>(data[i])));
                break;
            case 1:
                redial.back();
                break;
            case 2:
                redial.forward();
                break;
            default:
                if (redial.last_ten().size() > 20) abort();
        }
    }
    return 0;
}
