#include "contacts_file.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QDomNodeList>
#include <QString>

namespace dialdeck {

namespace {

constexpr std::string_view k_record_open = "<Record>";
constexpr std::string_view k_record_close = "</Record>";
constexpr std::string_view k_table_open = "<Table>\n";
constexpr std::string_view k_table_close = "</Table>";

bool blank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::string field(const QDomElement& record, const char* name) {
    return record.firstChildElement(QString::fromLatin1(name)).text().toStdString();
}

std::optional<std::vector<contact_record>> records_of(std::string_view text) {
    auto read = read_contacts(text);
    if (auto* records = std::get_if<std::vector<contact_record>>(&read)) return std::move(*records);
    return std::nullopt;
}

// A "</Table>" hidden in a comment of the header, or a "<Record>" inside one,
// would make the text edits below change the wrong thing: a change is only
// made when the new text reads as the records it should hold.
contacts_change checked(std::string text, const std::vector<contact_record>& wanted) {
    if (records_of(text) != wanted) return contacts_change_error::damaged;
    return text;
}

// Where a record sits in the text: from "<Record>" through "</Record>" and the
// line feed after it.
struct span {
    size_t begin;
    size_t end;
    size_t index;  // among the records read from the whole text
};

std::vector<span> record_spans(std::string_view text) {
    std::vector<span> spans;
    const size_t table_end = text.find(k_table_close);
    size_t at = 0;
    for (;;) {
        const size_t begin = text.find(k_record_open, at);
        if (begin == std::string_view::npos || begin >= table_end) break;
        const size_t close = text.find(k_record_close, begin);
        if (close == std::string_view::npos) break;
        size_t end = close + k_record_close.size();
        if (end < text.size() && text[end] == '\n') ++end;
        spans.push_back({begin, end, spans.size()});
        at = end;
    }
    return spans;
}

std::optional<contact_record> record_in(std::string_view text, span s) {
    const auto read = read_contacts(text.substr(s.begin, s.end - s.begin));
    const auto* records = std::get_if<std::vector<contact_record>>(&read);
    if (!records || records->size() != 1) return std::nullopt;
    return records->front();
}

// The text without the record, cut after the first "</Table>".
contacts_change without(const std::string& text, size_t index, const contact_record& expected) {
    const std::optional<std::vector<contact_record>> before = records_of(text);
    if (!before || text.find(k_table_close) == std::string::npos)
        return contacts_change_error::damaged;
    const std::vector<span> spans = record_spans(text);
    std::optional<span> found;
    if (index < spans.size() && record_in(text, spans[index]) == expected) found = spans[index];
    for (size_t i = 0; !found && i < spans.size(); ++i) {
        if (record_in(text, spans[i]) == expected) found = spans[i];
    }
    if (!found) return contacts_change_error::not_found;
    std::string result = text.substr(0, found->begin) + text.substr(found->end);
    result.resize(result.find(k_table_close) + k_table_close.size());
    // More "<Record>" texts than records: some sit in comments.
    if (found->index >= before->size()) return contacts_change_error::damaged;
    std::vector<contact_record> wanted = *before;
    wanted.erase(wanted.begin() + static_cast<std::ptrdiff_t>(found->index));
    return checked(std::move(result), wanted);
}

}  // namespace

std::string contact_record::display_name() const {
    if (first.empty()) return last;
    if (last.empty()) return first;
    return first + " " + last;
}

std::variant<std::vector<contact_record>, contacts_parse_error> read_contacts(
    std::string_view bytes) {
    std::vector<contact_record> records;
    if (blank(bytes)) return records;
    QDomDocument document;
    QString reason;
    int line = 0;
    int column = 0;
    const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (!document.setContent(data, &reason, &line, &column)) {
        return contacts_parse_error{line, reason.toStdString()};
    }
    const QDomNodeList nodes = document.elementsByTagName(QStringLiteral("Record"));
    records.reserve(static_cast<size_t>(nodes.size()));
    for (int i = 0; i < nodes.size(); ++i) {
        const QDomElement record = nodes.item(i).toElement();
        records.push_back(
            {field(record, "FirstName"), field(record, "LastName"), field(record, "Phone")});
    }
    return records;
}

std::string escape_contact_text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) out += c;
        }
    }
    return out;
}

std::string record_text(const contact_record& record) {
    return "<Record>\n\t<FirstName>" + escape_contact_text(record.first) +
           "</FirstName>\n\t<LastName>" + escape_contact_text(record.last) +
           "</LastName>\n\t<Phone>" + escape_contact_text(record.phone) + "</Phone>\n</Record>\n";
}

contacts_change append_contact(const std::optional<std::string>& text,
                               const contact_record& record) {
    if (!text || blank(*text)) {
        return std::string(k_table_open) + record_text(record) + std::string(k_table_close);
    }
    const size_t close = text->find(k_table_close);
    std::optional<std::vector<contact_record>> wanted = records_of(*text);
    const std::string added = record_text(record);
    const std::optional<std::vector<contact_record>> as_read = records_of(added);
    if (close == std::string::npos || !wanted || !as_read) return contacts_change_error::damaged;
    wanted->push_back(as_read->front());
    return checked(text->substr(0, close) + added + std::string(k_table_close), *wanted);
}

contacts_change remove_contact(const std::string& text, size_t index,
                               const contact_record& expected) {
    return without(text, index, expected);
}

contacts_change replace_contact(const std::string& text, size_t index,
                                const contact_record& expected, const contact_record& replacement) {
    contacts_change removed = without(text, index, expected);
    if (const auto* rest = std::get_if<std::string>(&removed)) {
        return append_contact(*rest, replacement);
    }
    return removed;
}

}  // namespace dialdeck
