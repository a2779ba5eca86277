// Splits one input line of kestrel-host into words: blank-separated, a word
// starting with '"' is a JSON string. Plain C++ (no Qt), for the fuzzer.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel_host {

struct split_result {
    std::vector<std::string> words;
    std::string error;  // empty when the line was well formed
};

split_result split_command(std::string_view line);

// Decodes a JSON string starting at text[pos] == '"'; pos moves past it.
std::optional<std::string> decode_json_string(std::string_view text, size_t& pos);

// The JSON text of a string (UTF-8 kept, controls escaped).
std::string json_string(std::string_view text);

}  // namespace kestrel_host
