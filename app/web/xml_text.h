// Element texts of the small XML documents the web services answer with.
#pragma once

#include <QByteArray>
#include <string>
#include <string_view>

namespace dialdeck {

// The text of the first element with that name (its descendants' text
// included); empty when absent or when the document breaks inside it.
std::string xml_element_text(const QByteArray& document, std::string_view name);

}  // namespace dialdeck
