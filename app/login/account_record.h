// The account record kept as State: with directory login the nine look-up
// fields, then account number, PIN, directory address and port; without,
// the account number alone. Comma-separated.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dialdeck {

enum record_position : size_t {
    RECORD_FIRST_NAME = 0,
    RECORD_LAST_NAME = 1,
    RECORD_NUMBER = 2,
    RECORD_KEY = 7,
    RECORD_ACCOUNT = 9,
    RECORD_PIN = 10,
    RECORD_DIRECTORY_ADDRESS = 11,
    RECORD_DIRECTORY_PORT = 12,
};

// No "," (the record's separator), "|" (the directory's) or control character.
bool is_record_safe(std::string_view text);

// Nothing when a field could not be told apart from its neighbours later.
std::optional<std::string> build_record(const std::vector<std::string>& lookup_fields,
                                        std::string_view account, std::string_view pin,
                                        std::string_view address, std::string_view port);

// A record read back from the settings file, which anyone may have edited:
// a missing field reads "".
class account_record {
  public:
    explicit account_record(std::string_view text);

    const std::string& field(size_t position) const;
    size_t size() const { return m_fields.size(); }
    // Both the directory's address and port are there.
    bool has_directory() const;

  private:
    std::vector<std::string> m_fields;
};

}  // namespace dialdeck
