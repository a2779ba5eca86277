#include "callmanager/call_manager_list.h"

#include <cstdlib>
#include <utility>
#include <vector>

#include "kestrel/kestrel.h"
#include "log/control_log.h"
#include "parameters/number_parser.h"
#include "parameters/text_lists.h"

namespace kestrel {

std::string display_call_manager(std::string_view list) {
    const size_t comma = list.find(',');
    if (comma != std::string_view::npos && comma > 6) list = list.substr(0, comma);
    return trim(list);
}

std::string SortCallManagersByUtilization(std::string_view list, const load_query& query,
                                          control_log* log) {
    function_trace trace(log, "SortCallManagersByUtilization(" + std::string(list) + ")");
    if (list.empty()) return {};
    std::vector<std::string> names = split(list, ',');
    if (names.size() == 1) return names[0];

    const std::string joined = join(names, ',');
    std::string answer = query ? query(joined).value_or(std::string()) : std::string();
    while (!answer.empty() && (answer.back() == ' ' || answer.back() == '\t' ||
                               answer.back() == '\r' || answer.back() == '\n'))
        answer.pop_back();
    while (!answer.empty() && answer.back() == ',') answer.pop_back();
    const std::vector<std::string> load_texts = split(answer, ',');

    if (load_texts.size() != names.size()) {
        if (log)
            log->LogFormat(
                LOG_SEVERE_ERROR,
                "SortCallManagersByUtilization('%s') failed! CallManagerCount = %d, "
                "GetCurrentLoadPercentagesOfCallManagers() returned '%s', LoadsCount = %d",
                std::string(list).c_str(), static_cast<int>(names.size()), answer.c_str(),
                static_cast<int>(load_texts.size()));
        return std::string(list);
    }

    std::vector<int32_t> loads;
    for (const auto& text : load_texts) {
        const int32_t load = parse_int(text, 10);
        loads.push_back(load < 0 ? 1000 : load);
    }
    for (size_t i = 0; i < names.size(); ++i) {
        for (size_t j = i + 1; j < names.size(); ++j) {
            if (loads[j] < loads[i]) {
                std::swap(loads[i], loads[j]);
                std::swap(names[i], names[j]);
            }
        }
    }
    return join(names, ',');
}

std::optional<std::string> GetCurrentLoadPercentagesOfCallManagers(IActiveXPhoneEvents* sink,
                                                                   const std::string& list,
                                                                   control_log* log) {
    if (!sink) return std::nullopt;
    char* answer = nullptr;
    const int32_t result = sink->GetCurrentLoadPercentagesOfCallManagers(list.c_str(), &answer);
    std::string text = answer ? answer : "";
    std::free(answer);
    if (result < 0) {
        if (log)
            log->LogFormat(LOG_ERROR,
                           "GetCurrentLoadPercentagesOfCallManagers(%s) Threw an Exception!",
                           list.c_str());
        return std::nullopt;
    }
    if (log)
        log->LogFormat(LOG_INFO, "GetCurrentLoadPercentagesOfCallManagers(%s) returned %s",
                       list.c_str(), text.c_str());
    return text;
}

}  // namespace kestrel
