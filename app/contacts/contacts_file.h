// The personal phone book's text, anima.xml: one <Record> per contact with
// its first name, last name and phone number. Copies of the program share the
// file, so changes keep its layout: whatever precedes the first "</Table>"
// stays as it is and new records use the same pieces.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace dialdeck {

struct contact_record {
    std::string first;
    std::string last;
    std::string phone;

    // First and last name joined by a blank; an empty part adds no blank.
    std::string display_name() const;
    bool operator==(const contact_record&) const = default;
};

struct contacts_parse_error {
    int line = 0;
    std::string reason;
};

// Every <Record> in document order, its fields read by name, so a record with
// an empty field never shifts the others.
std::variant<std::vector<contact_record>, contacts_parse_error> read_contacts(
    std::string_view bytes);

// "&", "<" and ">" as entities; control characters dropped, since a field
// keeps to its line and most of them cannot appear in the document at all.
std::string escape_contact_text(std::string_view text);

// "<Record>\n\t<FirstName>...</Phone>\n</Record>\n".
std::string record_text(const contact_record& record);

enum class contacts_change_error {
    damaged,    // the text is no phone book we can safely change
    not_found,  // the record to change is no longer in the file
};

using contacts_change = std::variant<std::string, contacts_change_error>;

// The text with the record added before the first "</Table>". No text (a
// missing or empty file) starts a new book with "<Table>\n".
contacts_change append_contact(const std::optional<std::string>& text,
                               const contact_record& record);

// The text without the index-th record. Should the file have changed since it
// was read, the first record equal to the expected one goes instead.
contacts_change remove_contact(const std::string& text, size_t index,
                               const contact_record& expected);

// Removes the record and appends its replacement, in one change.
contacts_change replace_contact(const std::string& text, size_t index,
                                const contact_record& expected, const contact_record& replacement);

}  // namespace dialdeck
