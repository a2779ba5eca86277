// kestrel-host reads its commands from whoever drives it; quoted words are
// JSON strings. Input: one command line. A word read back re-encoded and
// split again must come out the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "command_words.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const kestrel_host::split_result split = kestrel_host::split_command(line);
    if (!split.error.empty() && !split.words.empty()) abort();
    for (const std::string& word : split.words) {
        const std::string encoded = kestrel_host::json_string(word);
        const kestrel_host::split_result again = kestrel_host::split_command(encoded);
        if (again.words.size() != 1 || again.words[0] != word) abort();
    }
    return 0;
}
