// The CallManager list: the address shown to the user and the order by load
// that the engine receives.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct IActiveXPhoneEvents;

namespace kestrel {

class control_log;

// The container's answer to the load question for a ","-joined list, or
// nothing when it failed.
using load_query = std::function<std::optional<std::string>(const std::string&)>;

// The whole list, cut before the first "," only when that comma stands past
// position 6, then trimmed.
std::string display_call_manager(std::string_view list);

// Ordered by ascending load (negative loads as 1000, equal loads keep their
// order); unchanged when the answer is missing or its count differs.
std::string SortCallManagersByUtilization(std::string_view list, const load_query& query,
                                          control_log* log);

// Fires the sink's load event and logs its answer; nothing when the sink is
// missing or fails.
std::optional<std::string> GetCurrentLoadPercentagesOfCallManagers(IActiveXPhoneEvents* sink,
                                                                   const std::string& list,
                                                                   control_log* log);

}  // namespace kestrel
