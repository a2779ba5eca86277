#include "mgcp/mgcp_parameters.h"

#include "mgcp/mgcp_events.h"
#include "mgcp/mgcp_tables.h"

namespace voxline {

namespace {

bool single_line(std::string_view text) {
    return text.find_first_of("\r\n") == std::string_view::npos;
}

void write_name(const mgcp_parameter_row& row, mgcp_text_writer& out) {
    out.append(row.name);
    out.append(" ");
}

bool write_text(const mgcp_parameter_row& row, const mgcp_parameter& p, mgcp_text_writer& out) {
    if (!single_line(p.text)) return false;
    write_name(row, out);
    out.append(p.text);
    return true;
}

bool read_text(std::string_view value, mgcp_parameter& p) {
    p.text.assign(trim_blanks(value));
    return true;
}

bool read_request_id(std::string_view value, mgcp_parameter& p) {
    value = trim_blanks(value);
    p.text.assign(value.substr(0, MGCP_MAX_REQUEST_ID));
    return true;
}

bool write_hex(const mgcp_parameter_row& row, const mgcp_parameter& p, mgcp_text_writer& out) {
    write_name(row, out);
    out.append_number(p.number, 16);
    return true;
}

bool read_hex(std::string_view value, mgcp_parameter& p) {
    uint64_t n;
    if (!read_unsigned(value, 16, UINT32_MAX, &n)) return false;
    p.number = static_cast<uint32_t>(n);
    return true;
}

bool write_decimal(const mgcp_parameter_row& row, const mgcp_parameter& p, mgcp_text_writer& out) {
    write_name(row, out);
    out.append_number(p.number);
    return true;
}

bool read_decimal(std::string_view value, mgcp_parameter& p) {
    uint64_t n;
    if (!read_unsigned(value, 10, UINT32_MAX, &n)) return false;
    p.number = static_cast<uint32_t>(n);
    return true;
}

bool write_mode(const mgcp_parameter_row& row, const mgcp_parameter& p, mgcp_text_writer& out) {
    const char* name = mode_name(static_cast<int>(p.number));
    if (!name) return false;
    write_name(row, out);
    out.append(name);
    return true;
}

bool read_mode(std::string_view value, mgcp_parameter& p) {
    int mode;
    if (!mode_number(trim_blanks(value), &mode)) return false;
    p.number = static_cast<uint32_t>(mode);
    return true;
}

bool write_restart_method(const mgcp_parameter_row& row, const mgcp_parameter& p,
                          mgcp_text_writer& out) {
    write_name(row, out);
    out.append(restart_method_name(static_cast<int>(p.number)));
    return true;
}

bool read_restart_method(std::string_view value, mgcp_parameter& p) {
    int method;
    if (!restart_method_number(trim_blanks(value), &method)) return false;
    p.number = static_cast<uint32_t>(method);
    return true;
}

bool write_events(const mgcp_parameter_row& row, const mgcp_parameter& p, mgcp_text_writer& out) {
    write_name(row, out);
    return write_event_list(p.events, out);
}

bool read_events(std::string_view value, mgcp_parameter& p) {
    return read_event_list(value, &p.events);
}

bool write_requests(const mgcp_parameter_row& row, const mgcp_parameter& p, mgcp_text_writer& out) {
    write_name(row, out);
    return write_requested_events(p.requests, out);
}

bool read_requests(std::string_view value, mgcp_parameter& p) {
    return read_requested_events(value, &p.requests);
}

// "lo" or "lo-hi"; one number sets both.
bool read_range(std::string_view text, uint32_t* lo, uint32_t* hi) {
    uint64_t a, b;
    size_t used;
    if (!read_unsigned(text, 10, UINT32_MAX, &a, &used)) return false;
    text.remove_prefix(used);
    b = a;
    if (!text.empty() && text.front() == '-') {
        text.remove_prefix(1);
        if (!read_unsigned(text, 10, UINT32_MAX, &b, &used)) return false;
        text.remove_prefix(used);
    }
    if (!trim_blanks(text).empty()) return false;
    *lo = static_cast<uint32_t>(a);
    *hi = static_cast<uint32_t>(b);
    return true;
}

// Splits at any of the separators, skipping empty items.
template <typename F>
bool for_each_item(std::string_view text, std::string_view separators, F&& f) {
    while (!text.empty()) {
        size_t end = text.find_first_of(separators);
        std::string_view item = text.substr(0, end);
        if (!trim_blanks(item).empty() && !f(trim_blanks(item))) return false;
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return true;
}

bool write_ranges(const mgcp_parameter_row& row, const mgcp_parameter& p, mgcp_text_writer& out) {
    write_name(row, out);
    int written = 0;
    for (const mgcp_range& r : p.ranges) {
        if (r.lo == 0) continue;
        if (++written > MGCP_MAX_RANGES) return false;
        if (r.hi != 0 && r.hi != r.lo)
            out.append_format("%u-%u, ", r.lo, r.hi);
        else
            out.append_format("%u, ", r.lo);
    }
    out.remove_suffix(", ");
    return true;
}

bool read_ranges(std::string_view value, mgcp_parameter& p) {
    p.ranges.clear();
    return for_each_item(value, " \t,", [&](std::string_view item) {
        mgcp_range r;
        if (p.ranges.size() >= MGCP_MAX_RANGES || !read_range(item, &r.lo, &r.hi)) return false;
        p.ranges.push_back(r);
        return true;
    });
}

struct counter_row {
    const char* name;
    int32_t mgcp_connection_parameters::*field;
};
const counter_row counters[] = {
    {"PS", &mgcp_connection_parameters::packets_sent},
    {"OS", &mgcp_connection_parameters::octets_sent},
    {"PR", &mgcp_connection_parameters::packets_received},
    {"OR", &mgcp_connection_parameters::octets_received},
    {"PL", &mgcp_connection_parameters::packets_lost},
    {"JI", &mgcp_connection_parameters::jitter},
    {"LA", &mgcp_connection_parameters::latency},
};

bool write_counters(const mgcp_parameter_row& row, const mgcp_parameter& p, mgcp_text_writer& out) {
    const auto& c = p.counters;
    out.append_format("%s %s=%d, %s=%d, %s=%d, %s=%d, %s=%d, %s=%d, %s=%d", row.name,
                      counters[0].name, c.*counters[0].field, counters[1].name,
                      c.*counters[1].field, counters[2].name, c.*counters[2].field,
                      counters[3].name, c.*counters[3].field, counters[4].name,
                      c.*counters[4].field, counters[5].name, c.*counters[5].field,
                      counters[6].name, c.*counters[6].field);
    return true;
}

bool read_counters(std::string_view value, mgcp_parameter& p) {
    p.counters = {};
    return for_each_item(value, " \t,", [&](std::string_view item) {
        size_t equals = item.find('=');
        if (equals == std::string_view::npos) return false;
        std::string_view name = item.substr(0, equals);
        std::string_view number = item.substr(equals + 1);
        bool negative = !number.empty() && number.front() == '-';
        if (negative) number.remove_prefix(1);
        uint64_t n;
        size_t used;
        if (!read_unsigned(number, 10, INT32_MAX, &n, &used) || used != number.size()) return false;
        for (const auto& row : counters)
            if (iequals(name, row.name))
                p.counters.*row.field =
                    negative ? -static_cast<int32_t>(n) : static_cast<int32_t>(n);
        return true;  // other names are left alone
    });
}

void write_range_option(const char* key, uint32_t lo, uint32_t hi, mgcp_text_writer& out) {
    if (hi != lo)
        out.append_format("%s: %u-%u, ", key, lo, hi);
    else
        out.append_format("%s: %u, ", key, lo);
}

bool write_local_options(const mgcp_parameter_row& row, const mgcp_parameter& p,
                         mgcp_text_writer& out) {
    const mgcp_local_options& o = p.options;
    if (o.codec_count < 0 || o.codec_count > MGCP_MAX_CODECS) return false;
    write_name(row, out);
    if (o.present & MGCP_LO_PERIOD) write_range_option("p", o.period_lo, o.period_hi, out);
    if (o.present & MGCP_LO_BANDWIDTH) write_range_option("b", o.bandwidth_lo, o.bandwidth_hi, out);
    if (o.present & MGCP_LO_CODECS) {
        out.append("a: ");
        for (int i = 0; i < o.codec_count; ++i)
            out.append_format(i == 0 ? "G.%u" : ";G.%u", o.codecs[i]);
        out.append(", ");
    }
    if (o.present & MGCP_LO_GAIN) out.append_format("gc: %u, ", o.gain_control);
    if (o.present & MGCP_LO_ECHO) out.append_format("e: %s, ", o.echo_cancellation ? "on" : "off");
    if (o.present & MGCP_LO_SILENCE)
        out.append_format("s: %s, ", o.silence_suppression ? "on" : "off");
    out.remove_suffix(", ");
    return true;
}

bool read_codecs(std::string_view value, mgcp_local_options& o) {
    o.codec_count = 0;
    return for_each_item(value, ";", [&](std::string_view item) {
        if ((item.front() != 'G' && item.front() != 'g') || o.codec_count >= MGCP_MAX_CODECS)
            return true;
        uint64_t n;
        if (item.size() < 3 || !read_unsigned(item.substr(2), 10, UINT32_MAX, &n)) return false;
        o.codecs[o.codec_count++] = static_cast<uint32_t>(n);
        return true;
    });
}

bool read_local_options(std::string_view value, mgcp_parameter& p) {
    mgcp_local_options& o = p.options;
    o = {};
    return for_each_item(value, ",", [&](std::string_view item) {
        size_t colon = item.find(':');
        if (colon == std::string_view::npos) return false;
        std::string_view key = trim_blanks(item.substr(0, colon));
        std::string_view v = trim_blanks(item.substr(colon + 1));
        if (iequals(key, "p")) {
            o.present |= MGCP_LO_PERIOD;
            return read_range(v, &o.period_lo, &o.period_hi);
        }
        if (iequals(key, "b")) {
            o.present |= MGCP_LO_BANDWIDTH;
            return read_range(v, &o.bandwidth_lo, &o.bandwidth_hi);
        }
        if (iequals(key, "a")) {
            o.present |= MGCP_LO_CODECS;
            return read_codecs(v, o);
        }
        if (iequals(key, "gc")) {
            uint64_t n;
            if (!read_unsigned(v, 10, UINT32_MAX, &n)) return false;
            o.present |= MGCP_LO_GAIN;
            o.gain_control = static_cast<uint32_t>(n);
            return true;
        }
        if (iequals(key, "e")) {
            o.present |= MGCP_LO_ECHO;
            o.echo_cancellation = iequals(v, "on");
            return true;
        }
        if (iequals(key, "s")) {
            o.present |= MGCP_LO_SILENCE;
            o.silence_suppression = iequals(v, "on");
            return true;
        }
        return true;  // options this endpoint does not use
    });
}

bool write_session(const mgcp_parameter_row&, const mgcp_parameter& p, mgcp_text_writer& out) {
    write_session_description(p.session, out);
    return true;
}

bool write_raw(const mgcp_parameter_row&, const mgcp_parameter& p, mgcp_text_writer& out) {
    out.append(p.text);
    return true;
}

const mgcp_parameter_row rows[] = {
    {MGCP_PARAM_SIGNALS, "S:", write_events, read_events},
    {MGCP_PARAM_REQUESTED_EVENTS, "R:", write_requests, read_requests},
    {MGCP_PARAM_MODE, "M:", write_mode, read_mode},
    {MGCP_PARAM_REQUEST_ID, "X:", write_text, read_request_id},
    {MGCP_PARAM_CALL_ID, "C:", write_text, read_text},
    {MGCP_PARAM_CONNECTION_ID, "I:", write_text, read_text},
    {MGCP_PARAM_OBSERVED_EVENTS, "O:", write_events, read_events},
    {MGCP_PARAM_REASON_CODE, "E:", write_hex, read_hex},
    {MGCP_PARAM_F, "F:", nullptr, nullptr},
    {MGCP_PARAM_RESPONSE_ACK, "K:", write_ranges, read_ranges},
    {MGCP_PARAM_Z2, "Z2:", write_text, read_text},
    {MGCP_PARAM_SPECIFIC_ENDPOINT, "Z:", write_text, read_text},
    {MGCP_PARAM_DIGIT_MAP, "D:", write_text, read_text},
    {MGCP_PARAM_CONNECTION_PARAMS, "P:", write_counters, read_counters},
    {MGCP_PARAM_Q, "Q:", nullptr, nullptr},
    {MGCP_PARAM_B, "B:", nullptr, nullptr},
    {MGCP_PARAM_N, "N:", nullptr, nullptr},
    {MGCP_PARAM_DETECT_EVENTS, "T:", write_events, read_events},
    {MGCP_PARAM_LOCAL_OPTIONS, "L:", write_local_options, read_local_options},
    {MGCP_PARAM_LC, "LC:", nullptr, nullptr},
    {MGCP_PARAM_RC, "RC:", nullptr, nullptr},
    {MGCP_PARAM_RESTART_METHOD, "RM:", write_restart_method, read_restart_method},
    {MGCP_PARAM_RESTART_DELAY, "RD:", write_decimal, read_decimal},
    {MGCP_PARAM_SESSION, nullptr, write_session, nullptr},
    {MGCP_PARAM_RAW, nullptr, write_raw, nullptr},
};

}  // namespace

const mgcp_parameter_row* find_parameter_row(std::string_view name) {
    for (const auto& row : rows)
        if (row.name && iequals(name, row.name)) return &row;
    return nullptr;
}

const mgcp_parameter_row* find_parameter_row(int type) {
    for (const auto& row : rows)
        if (row.type == type) return &row;
    return nullptr;
}

}  // namespace voxline
