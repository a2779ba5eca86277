// The contacts file is written by people and by other copies of the program:
// reading it never fails hard, and a change either leaves the file alone or
// gives a text that reads back as the records it should hold.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>

#include "contacts_file.h"

namespace {

std::vector<dialdeck::contact_record> records_of(const std::string& text) {
    auto read = dialdeck::read_contacts(text);
    auto* records = std::get_if<std::vector<dialdeck::contact_record>>(&read);
    if (!records) abort();
    return *records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dialdeck;
    const std::string text(reinterpret_cast<const char*>(data), size);
    auto read = read_contacts(text);
    const auto* records = std::get_if<std::vector<contact_record>>(&read);
    if (!records) return 0;

    const contact_record added{"A&<b>", "", "7\t001"};
    const contacts_change appended = append_contact(text, added);
    if (const auto* after = std::get_if<std::string>(&appended)) {
        const auto now = records_of(*after);
        if (now.size() != records->size() + 1) abort();
        if (now.back() != contact_record{"A&<b>", "", "7001"}) abort();
    }
    if (!records->empty()) {
        const size_t index = records->size() / 2;
        const contacts_change removed = remove_contact(text, index, (*records)[index]);
        if (const auto* after = std::get_if<std::string>(&removed)) {
            if (records_of(*after).size() + 1 != records->size()) abort();
        }
    }
    return 0;
}
