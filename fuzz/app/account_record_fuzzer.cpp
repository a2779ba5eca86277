// The account record and the prefix list come from the settings file, the
// look-up item from the directory: whatever the bytes, a built record reads
// back field for field, and a stored one reads without overrunning.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "account_prefix.h"
#include "account_record.h"
#include "directory_items.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dialdeck;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const account_record stored(bytes);
    for (size_t n = 0; n <= stored.size() + 1; ++n) {
        if (stored.field(n).find(',') != std::string::npos) abort();
    }
    if (stored.has_directory() && stored.size() <= RECORD_DIRECTORY_PORT) abort();

    const auto prefixes = decode_prefixes(bytes);
    for (const std::string& prefix : prefixes) {
        if (prefix.empty() || !prefix_accepts(prefixes, prefix)) abort();
    }
    if (prefixes.empty() && prefix_accepts(prefixes, bytes)) abort();

    const auto fields = parse_lookup_item(bytes);
    if (!fields) return 0;
    const auto record = build_record(*fields, "2191001", "1234", "127.0.0.1", "2740");
    if (!record) return 0;
    const account_record read(*record);
    if (read.size() != LOOKUP_FIELDS + 4 || !read.has_directory()) abort();
    for (size_t n = 0; n < LOOKUP_FIELDS; ++n) {
        if (read.field(n) != (*fields)[n]) abort();
    }
    if (read.field(RECORD_ACCOUNT) != "2191001" || read.field(RECORD_PIN) != "1234") abort();
    return 0;
}
