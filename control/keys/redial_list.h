// The last ten dialled numbers, oldest first, behind an always-empty entry 0,
// with the cursor the arrow keys move.
#pragma once

#include <string>
#include <vector>

namespace kestrel {

class redial_list {
  public:
    static constexpr size_t k_numbers = 10;

    // Resets the cursor; a repeat of the newest number is not added again.
    void record(const std::string& number);
    // Down, Right, Page Up: from entry 0 to the newest.
    const std::string& back();
    // Up, Left, Page Down: past the newest to entry 0.
    const std::string& forward();
    // Entries 1..10, each followed by ";".
    std::string last_ten() const;

  private:
    std::vector<std::string> m_entries{std::string()};
    size_t m_cursor = 0;
};

}  // namespace kestrel
