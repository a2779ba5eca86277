#include "keys/redial_list.h"

namespace kestrel {

void redial_list::record(const std::string& number) {
    m_cursor = 0;
    if (m_entries.size() > 1 && m_entries.back() == number) return;
    if (m_entries.size() == k_numbers + 1) m_entries.erase(m_entries.begin() + 1);
    m_entries.push_back(number);
}

const std::string& redial_list::back() {
    m_cursor = m_cursor == 0 ? m_entries.size() - 1 : m_cursor - 1;
    return m_entries[m_cursor];
}

const std::string& redial_list::forward() {
    m_cursor = m_cursor + 1 >= m_entries.size() ? 0 : m_cursor + 1;
    return m_entries[m_cursor];
}

std::string redial_list::last_ten() const {
    std::string out;
    for (size_t i = 1; i <= k_numbers; ++i) {
        if (i < m_entries.size()) out += m_entries[i];
        out += ';';
    }
    return out;
}

}  // namespace kestrel
