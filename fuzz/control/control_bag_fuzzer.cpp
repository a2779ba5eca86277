// A saved property bag comes from a file the user may edit. Input: the bag's
// text. Every kept entry must survive saving and loading again unchanged;
// applied in order to the parameter table, each name reads back its last
// value and the completeness mask only grows.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "../quiet_home.h"
#include "log/control_log.h"
#include "parameters/control_parameters.h"
#include "parameters/number_parser.h"
#include "parameters/property_bag.h"
#include "parameters/text_lists.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    make_quiet_home("control_bag_fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrel;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const property_bag bag = parse_property_bag(text);
    static control_log log;  // diagnostics off: only errors would be written
    control_parameters table(&log);
    control_settings settings;
    for (const auto& [name, value] : bag.entries) {
        if (name.empty()) abort();
        (void)parse_number(value, 0, true);
        const uint32_t before = table.completed_mask();
        table.SetParameterValue(name, value);
        if ((table.completed_mask() & before) != before) abort();
        if (table.GetHTMLParameter(name) != value) abort();
        (void)table.GetHTMLParameterAsInt(name);
    }
    table.read_settings(settings);
    if (settings.status_messages.size() != 10 || settings.error_messages.size() != 23 ||
        settings.misc_messages.size() != 11 || settings.button_messages.size() != 4)
        abort();
    const property_bag again = parse_property_bag(format_property_bag(bag.entries));
    if (!again.errors.empty() || again.entries != bag.entries) abort();
    return 0;
}
