#include "parameters/number_parser.h"

#include <cmath>

namespace kestrel {

namespace {

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

struct parsed {
    uint32_t digits = 0;  // accumulated with wrap-around
    int fraction_digits = 0;
    int base = 10;
};

parsed scan(std::string_view text, int base, bool allow_fraction) {
    size_t i = 0;
    while (i < text.size() && is_blank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    if (base == 0) {
        if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            base = 16;
            i += 2;
        } else if (i < text.size() && text[i] == '0') {
            base = 8;
        } else {
            base = 10;
        }
    }
    parsed out;
    out.base = base;
    bool in_fraction = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && allow_fraction && !in_fraction) {
            in_fraction = true;
            continue;
        }
        const int d = digit_value(c);
        if (d >= base) break;
        out.digits = out.digits * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
        if (in_fraction) ++out.fraction_digits;
    }
    if (negative) out.digits = 0u - out.digits;
    return out;
}

}  // namespace

double parse_number(std::string_view text, int base, bool allow_fraction) {
    if (base != 0 && (base < 2 || base > 36)) base = 10;
    const parsed p = scan(text, base, allow_fraction);
    double value = static_cast<int32_t>(p.digits);
    if (p.fraction_digits > 0) value /= std::pow(static_cast<double>(p.base), p.fraction_digits);
    return value;
}

int32_t parse_int(std::string_view text, int base) {
    if (base != 0 && (base < 2 || base > 36)) base = 10;
    return static_cast<int32_t>(scan(text, base, false).digits);
}

}  // namespace kestrel
