// anima.xml on disk: loading it, and changes that either replace the whole
// file (temporary file, sync, rename) or leave the old one untouched.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "contacts_file.h"

namespace dialdeck {

inline constexpr const char* k_contacts_file_name = "anima.xml";

struct contacts_unreadable {};

enum class contacts_save { saved, damaged, not_found, failed };

class contacts_book {
  public:
    explicit contacts_book(std::string path) : m_path(std::move(path)) {}

    const std::string& path() const { return m_path; }

    // A missing file is an empty book.
    std::variant<std::vector<contact_record>, contacts_parse_error, contacts_unreadable> load()
        const;

    contacts_save add(const contact_record& record);
    contacts_save remove(size_t index, const contact_record& expected);
    contacts_save replace(size_t index, const contact_record& expected,
                          const contact_record& replacement);

  private:
    template <typename change>
    contacts_save apply(const change& make);

    std::string m_path;
};

}  // namespace dialdeck
