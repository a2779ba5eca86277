#include "util/account_scrambler.h"

#include <vector>

#include "platform/clock.h"

namespace voxline {

namespace {

using scramble_key_material::header_add_mask;
using scramble_key_material::header_xor_mask;
using scramble_key_material::key;

constexpr size_t header_size = 12;
constexpr uint8_t escape = 255;

// The classic linear congruential generator, one state per thread, seeded
// with the tick count on first use.
class lcg_random {
  public:
    int next() {
        if (!m_seeded) {
            m_state = tick_ms();
            m_seeded = true;
        }
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7FFF);
    }

  private:
    uint32_t m_state = 0;
    bool m_seeded = false;
};

thread_local lcg_random random_source;

uint8_t mask_header_byte(uint8_t value, size_t field) {
    return static_cast<uint8_t>(static_cast<uint8_t>(value + header_add_mask[field]) ^
                                header_xor_mask[field]);
}

void write_header_field(uint8_t* out, uint8_t masked, uint8_t tag) {
    if (masked == 0) {
        out[0] = escape;
        out[1] = 1;
    } else if (masked == escape) {
        out[0] = escape;
        out[1] = escape;
    } else {
        out[0] = tag;
        out[1] = masked;
    }
}

}  // namespace

bool scramble(const uint8_t* text, size_t length, uint8_t* output, size_t* capacity) {
    if (capacity == nullptr || (text == nullptr && length != 0)) {
        return false;
    }
    if (output == nullptr || *capacity == 0) {
        *capacity = scramble_capacity_for(length);
        return false;
    }
    // Two cells carry the length; a longer text would come back truncated.
    if (length > scramble_max_length) {
        return false;
    }

    int r = random_source.next();
    uint8_t s1 = static_cast<uint8_t>(r >> 4);
    uint8_t s2 = static_cast<uint8_t>(r >> 12);
    while (s1 == 0 || s2 == 0) {
        r = random_source.next();
        if (s1 == 0) {
            s1 = static_cast<uint8_t>(r >> 4);
        }
        if (s2 == 0) {
            s2 = static_cast<uint8_t>(r >> 12);
        }
    }
    uint8_t s3 = 0;
    while (s3 == 0) {
        s3 = static_cast<uint8_t>(random_source.next() % 255);
    }

    // Cells: length high, length low, then the text; 0 and 255 are escaped.
    std::vector<uint8_t> cells;
    cells.reserve(2 * (length + 2));
    size_t escapes = 0;
    for (size_t i = 0; i < length + 2; ++i) {
        uint8_t plain = i == 0   ? static_cast<uint8_t>(length >> 8)
                        : i == 1 ? static_cast<uint8_t>(length)
                                 : text[i - 2];
        uint8_t c =
            static_cast<uint8_t>(key[i % key.size()] ^ static_cast<uint8_t>(s1 + plain) ^ s2);
        if (c == 0 || c == escape) {
            cells.push_back(escape);
            cells.push_back(c == 0 ? 1 : escape);
            ++escapes;
        } else {
            cells.push_back(c);
        }
    }

    size_t n = 3 * ((escapes + length + 5) / 3);
    size_t ring_size = n + 1;
    size_t output_size = 10 * ((n + 23) / 10);
    if (output_size > *capacity) {
        *capacity = scramble_capacity_for(length);
        return false;
    }

    output[0] = 1;
    output[1] = 1;
    const uint8_t header_values[5] = {
        s1,
        s2,
        s3,
        static_cast<uint8_t>((ring_size >> 8) ^ s2),
        static_cast<uint8_t>((ring_size & 0xFF) ^ s1),
    };
    for (size_t field = 0; field < 5; ++field) {
        write_header_field(output + 2 + 2 * field, mask_header_byte(header_values[field], field),
                           field < 3 ? 2 : 1);
    }

    for (size_t i = header_size; i < output_size; ++i) {
        uint8_t filler = static_cast<uint8_t>(random_source.next() % 255);
        output[i] = filler == 0 ? 243 : filler;
    }

    // Consecutive cells sit three positions apart; ring_size is not a
    // multiple of 3, so no position is visited twice.
    uint8_t* ring = output + header_size;
    size_t position = s3 % ring_size;
    for (uint8_t c : cells) {
        ring[position] = c;
        position = (position + 3) % ring_size;
    }

    *capacity = output_size;
    return true;
}

std::optional<std::string> scramble_account(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    size_t capacity = 0;
    scramble(bytes, text.size(), nullptr, &capacity);
    std::vector<uint8_t> buffer(capacity);
    if (!scramble(bytes, text.size(), buffer.data(), &capacity)) {
        return std::nullopt;
    }
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(2 * capacity);
    for (size_t i = 0; i < capacity; ++i) {
        hex.push_back(digits[buffer[i] >> 4]);
        hex.push_back(digits[buffer[i] & 0x0F]);
    }
    return hex;
}

}  // namespace voxline
