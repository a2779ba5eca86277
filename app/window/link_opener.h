// Every web link the application opens goes through here: "[pinNumber]"
// becomes the control's ANIDigits, then the desktop opens the page, or, with
// $DIALDECK_URL_LOG set, the link is appended to that file as one line.
#pragma once

#include <string>
#include <string_view>

namespace dialdeck {

std::string with_pin_number(std::string url, std::string_view pin);

// Nothing happens for an empty link.
void open_link(const std::string& url);

}  // namespace dialdeck
