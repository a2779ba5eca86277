// A directory answer from the network, read whole and item by item; the
// readers must keep their counts and limits whatever the bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "directory_items.h"
#include "directory_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dialdeck;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const directory_response r = parse_directory_response(bytes);
    directory_response_complete(bytes);
    if (r.code == 0 && r.text == "null" && r.list == "[]" && !r.items.empty()) abort();
    if (r.list.size() <= 2 && !r.items.empty()) abort();
    if (r.list.size() > 2) {
        std::string joined;
        for (size_t i = 0; i < r.items.size(); ++i) {
            if (r.items[i].find(',') != std::string::npos) abort();
            joined += (i ? "," : "") + r.items[i];
        }
        if (joined != r.list.substr(1, r.list.size() - 2)) abort();
    }
    const int result = directory_result_for(9, r.code);
    if (result == 1 ? r.code != 9 : result <= 0 && result != -3) abort();
    for (const std::string& item : r.items) {
        if (auto fields = parse_lookup_item(item); fields && fields->size() != LOOKUP_FIELDS)
            abort();
        if (auto c = parse_server_contact(item);
            c && c->marked != (c->status != "0" || c->level > 1))
            abort();
        parse_search_row(item);
    }
    if (parse_server_contacts(r.items).size() > MAX_SERVER_CONTACTS) abort();
    is_dotted_ipv4(bytes);
    return 0;
}
