#include "mgcp/mgcp_tables.h"

#include <iterator>

#include "mgcp/mgcp_text.h"

namespace voxline {

namespace {

const char* const g_events[] = {"mt", "ft", "ld", "pat", "rt", "rbk", "cf", "cg", "it", "pt", "rf"};
const char* const d_events[] = {"0", "1", "2",     "3",        "4", "5",  "6", "7",
                                "8", "9", "*",     "#",        "A", "B",  "C", "D",
                                "L", "X", "[0-9]", "[0-9#*T]", "T", "wk", "of"};
const char* const t_events[] = {"co1", "co2", "lb", "om", "nm", "tl", "zz", "as", "ro", "of", "bl"};
const char* const l_events[] = {"hd", "hu", "dl", "v", "e",    "bz",   "rg", "pg",  "nbz",
                                "ci", "wt", "hf", "z", "adsi", "cmwi", "aw", "mwi", "r0",
                                "rs", "p",  "sl", "y", "sit",  "oc",   "ot", "s",   "of"};
const char* const tarn_events[] = {"acct", "eacct", "ext", "ldap", "ver"};

bool read_by_name(const mgcp_package_row& row, std::string_view name, mgcp_event& event) {
    for (int i = 0; i < row.event_count; ++i) {
        if (iequals(name, row.event_names[i])) {
            event.event = i + 1;
            return true;
        }
    }
    return false;
}

bool write_by_name(const mgcp_package_row& row, const mgcp_event& event, mgcp_text_writer& out) {
    if (event.event < 1 || event.event > row.event_count) return false;
    out.append(row.event_names[event.event - 1]);
    return true;
}

// Digits and the named D events; anything else is a digit string (event 0).
bool read_digit(const mgcp_package_row& row, std::string_view name, mgcp_event& event) {
    if (name.empty()) return false;
    if (read_by_name(row, name, event)) return true;
    event.event = MGCP_D_TEXT;
    event.has_parameter = true;
    event.parameter.assign(name);
    return true;
}

bool write_digit(const mgcp_package_row& row, const mgcp_event& event, mgcp_text_writer& out) {
    if (event.event != MGCP_D_TEXT) return write_by_name(row, event, out);
    if (event.parameter.empty()) return false;
    out.append(event.parameter);
    return true;
}

// The trunk package is only ever written; read names are accepted as empty.
bool read_any(const mgcp_package_row&, std::string_view, mgcp_event& event) {
    event.event = 0;
    return true;
}

bool keeps_none(int) {
    return false;
}
bool keeps_g(int event) {
    return event == 1 || event == 2;
}  // mt, ft: "+" or "-"
bool keeps_l(int event) {
    return event == MGCP_L_CI;
}
bool keeps_tarn(int event) {
    return event >= MGCP_TARN_ACCT && event <= MGCP_TARN_VER;
}

const mgcp_package_row packages[] = {
    {MGCP_PACKAGE_G, "G", g_events, 11, read_by_name, write_by_name, keeps_g},
    {MGCP_PACKAGE_D, "D", d_events, 23, read_digit, write_digit, keeps_none},
    {MGCP_PACKAGE_M, "M", nullptr, 0, nullptr, nullptr, keeps_none},
    {MGCP_PACKAGE_T, "T", t_events, 11, read_any, write_by_name, keeps_none},
    {MGCP_PACKAGE_L, "L", l_events, 27, read_by_name, write_by_name, keeps_l},
    {MGCP_PACKAGE_H, "H", nullptr, 0, nullptr, nullptr, keeps_none},
    {MGCP_PACKAGE_R, "R", nullptr, 0, nullptr, nullptr, keeps_none},
    {MGCP_PACKAGE_N, "N", nullptr, 0, nullptr, nullptr, keeps_none},
    {MGCP_PACKAGE_A, "A", nullptr, 0, nullptr, nullptr, keeps_none},
    {MGCP_PACKAGE_SCRIPT, "script", nullptr, 0, nullptr, nullptr, keeps_none},
    {MGCP_PACKAGE_TARN, "Tarn", tarn_events, 5, read_by_name, write_by_name, keeps_tarn},
};
static_assert(std::size(g_events) == 11 && std::size(d_events) == 23 && std::size(t_events) == 11 &&
              std::size(l_events) == 27 && std::size(tarn_events) == 5);

const mgcp_name_row modes[] = {
    {0, "inactive"}, {1, "sendonly"}, {2, "recvonly"}, {3, "sendrecv"}, {4, "confrnce"},
    {5, "loopback"}, {6, "conttest"}, {7, "netwloop"}, {8, "netwtest"}, {9, "data"},
};

// "diconnected" is the spelling call agents of this system expect.
const mgcp_name_row restart_methods[] = {
    {MGCP_RESTART_GRACEFUL, "graceful"},
    {MGCP_RESTART_FORCED, "forced"},
    {MGCP_RESTART_RESTART, "restart"},
    {MGCP_RESTART_DISCONNECTED, "diconnected"},
    {MGCP_RESTART_CANCEL_GRACEFUL, "cancel-graceful"},
};

template <size_t N>
const char* name_of(const mgcp_name_row (&rows)[N], int number) {
    for (const auto& row : rows)
        if (row.number == number) return row.name;
    return nullptr;
}

template <size_t N>
bool number_of(const mgcp_name_row (&rows)[N], std::string_view name, int* number) {
    for (const auto& row : rows) {
        if (iequals(name, row.name)) {
            *number = row.number;
            return true;
        }
    }
    return false;
}

}  // namespace

const mgcp_action_row mgcp_actions[7] = {
    {MGCP_ACTION_NOTIFY, 'N'},   {MGCP_ACTION_ACCUMULATE, 'A'}, {MGCP_ACTION_DIGIT_MAP, 'D'},
    {MGCP_ACTION_SWAP, 'S'},     {MGCP_ACTION_IGNORE, 'I'},     {MGCP_ACTION_KEEP, 'K'},
    {MGCP_ACTION_EMBEDDED, 'E'},
};

const mgcp_package_row* find_package(int number) {
    for (const auto& row : packages)
        if (row.number == number) return &row;
    return nullptr;
}

const mgcp_package_row* find_package(std::string_view name) {
    for (const auto& row : packages)
        if (iequals(name, row.name)) return &row;
    return nullptr;
}

const char* mode_name(int mode) {
    return name_of(modes, mode);
}
bool mode_number(std::string_view name, int* mode) {
    return number_of(modes, name, mode);
}

const char* restart_method_name(int method) {
    const char* name = name_of(restart_methods, method);
    return name ? name : "invalid-restart-value";
}

bool restart_method_number(std::string_view name, int* method) {
    return number_of(restart_methods, name, method);
}

const char* verb_text(int kind) {
    static const char* const verbs[] = {nullptr, "RQNT ", "NTFY ", "CRCX ", "MDCX ",
                                        "DLCX ", "RSIP ", "AUEP ", "AUCX "};
    return kind >= 1 && kind <= 8 ? verbs[kind] : nullptr;
}

}  // namespace voxline
