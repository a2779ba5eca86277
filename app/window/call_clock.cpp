#include "call_clock.h"

#include <locale.h>

#include <clocale>
#include <cstdio>

namespace dialdeck {

std::string duration_text(std::string_view format, long long seconds) {
    if (seconds < 0) seconds = 0;
    const auto at = [&](size_t index, std::string_view field) {
        return format.size() >= index + 2 && format.substr(index, 2) == field;
    };
    std::string text;
    char part[32];
    if (at(0, "HH")) {
        std::snprintf(part, sizeof part, "%02lld", seconds / 3600);
        text = std::string("Call Duration: ") + part;
    }
    if (at(3, "MM")) {
        std::snprintf(part, sizeof part, ":%02lld", seconds / 60 % 60);
        text += part;
    }
    if (at(6, "SS")) {
        std::snprintf(part, sizeof part, ":%02lld", seconds % 60);
        text += part;
    }
    return text;
}

std::string clock_text(const std::tm& local) {
    static const locale_t c_locale = ::newlocale(LC_ALL_MASK, "C", nullptr);
    char text[64] = {};
    if (!c_locale ||
        ::strftime_l(text, sizeof text, "%a %b %d, %Y %I:%M:%S %p", &local, c_locale) == 0)
        return {};
    return text;
}

std::optional<long long> call_timer::tick() {
    if (!m_running) return std::nullopt;
    // Counted before showing, so the label reads the seconds that have passed.
    ++m_elapsed;
    if (m_manual) return m_elapsed;
    if (m_elapsed < m_offset) return std::nullopt;
    return m_elapsed - m_offset;
}

bool idle_limit::tick() {
    if (!m_enabled) return false;
    if (++m_seconds < m_limit) return false;
    m_seconds = 0;
    return true;
}

}  // namespace dialdeck
