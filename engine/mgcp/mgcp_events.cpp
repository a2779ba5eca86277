#include "mgcp/mgcp_events.h"

#include "mgcp/mgcp_tables.h"

namespace voxline {

namespace {

// A parameter text must not break the line or the parentheses around it.
bool parameter_writable(std::string_view text) {
    int depth = 0;
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
        if (c == '(') ++depth;
        if (c == ')' && --depth < 0) return false;
    }
    return depth == 0;
}

bool digit_text_writable(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f || c == ',' || c == '(' || c == ')')
            return false;
    }
    return true;
}

bool write_actions(const mgcp_requested_event& request, mgcp_text_writer& out, int depth);

bool write_requests(const mgcp_requested_event_list& requests, mgcp_text_writer& out, int depth) {
    if (requests.size() > MGCP_MAX_EVENTS || depth > MGCP_MAX_NESTING) return false;
    for (size_t i = 0; i < requests.size(); ++i) {
        if (i > 0) out.append(", ");
        if (!write_event(requests[i].event, out)) return false;
        if (!write_actions(requests[i], out, depth)) return false;
    }
    return true;
}

bool write_actions(const mgcp_requested_event& request, mgcp_text_writer& out, int depth) {
    if (request.actions == 0) return true;
    out.append("(");
    bool first = true;
    for (const auto& action : mgcp_actions) {
        if (!(request.actions & action.bit)) continue;
        if (!first) out.append(", ");
        first = false;
        out.append_char(action.letter);
        if (action.bit != MGCP_ACTION_EMBEDDED) continue;
        bool opened = false;
        if (request.has_embedded_requests) {
            out.append("(R(");
            if (!write_requests(request.embedded_requests, out, depth + 1)) return false;
            out.append(")");
            opened = true;
        }
        if (request.has_embedded_signals) {
            out.append(opened ? ",S(" : "(S(");
            if (!write_event_list(request.embedded_signals, out)) return false;
            out.append(")");
            opened = true;
        }
        // An E with nothing embedded has no text form.
        if (!opened) return false;
        out.append(")");
    }
    out.append(")");
    return true;
}

// Reading works on a cursor over the value; every step checks the end.
struct cursor {
    std::string_view rest;

    void skip_blanks() { rest = voxline::skip_blanks(rest); }
    bool at_end() const { return rest.empty(); }
    char peek() const { return rest.empty() ? '\0' : rest.front(); }
    bool take(char c) {
        if (rest.empty() || rest.front() != c) return false;
        rest.remove_prefix(1);
        return true;
    }
};

// The text between a "(" at the cursor and its matching ")"; quoted text may
// hold parentheses.
bool read_parenthesised(cursor& at, std::string_view* inner) {
    if (!at.take('(')) return false;
    int depth = 1;
    bool quoted = false;
    for (size_t i = 0; i < at.rest.size(); ++i) {
        char c = at.rest[i];
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '(') ++depth;
        if (c == ')' && --depth == 0) {
            *inner = at.rest.substr(0, i);
            at.rest.remove_prefix(i + 1);
            return true;
        }
    }
    return false;
}

// "<package>/<event>" up to ",", "(", ")" or the end.
bool read_event_name(cursor& at, mgcp_event* event) {
    at.skip_blanks();
    size_t end = at.rest.find_first_of(",()");
    if (end == std::string_view::npos) end = at.rest.size();
    std::string_view item = trim_blanks(at.rest.substr(0, end));
    at.rest.remove_prefix(end);
    size_t slash = item.find('/');
    if (slash == std::string_view::npos) return false;
    const mgcp_package_row* row = find_package(item.substr(0, slash));
    if (!row || !row->read) return false;
    *event = mgcp_event{};
    event->package = row->number;
    return row->read(*row, item.substr(slash + 1), *event);
}

// One event with its optional parameter, as in S:, O: and T:.
bool read_event(cursor& at, mgcp_event* event) {
    if (!read_event_name(at, event)) return false;
    at.skip_blanks();
    if (at.peek() != '(') return true;
    std::string_view inner;
    if (!read_parenthesised(at, &inner)) return false;
    const mgcp_package_row* row = find_package(event->package);
    if (row->keeps_parameter(event->event)) {
        event->has_parameter = true;
        event->parameter.assign(inner);
    }
    return true;
}

// Items separated by ","; ends at the end of the text, or, when nested, just
// before the ")" that closes it.
bool read_events(cursor& at, mgcp_event_list* events, bool nested) {
    events->clear();
    at.skip_blanks();
    if (nested ? at.peek() == ')' : at.at_end()) return true;
    for (;;) {
        mgcp_event event;
        if (!read_event(at, &event)) return false;
        if (events->size() >= MGCP_MAX_EVENTS) return false;
        events->push_back(std::move(event));
        at.skip_blanks();
        if (at.take(',')) continue;
        return nested ? at.peek() == ')' : at.at_end();
    }
}

bool read_requests(cursor& at, mgcp_requested_event_list* requests, int depth, bool nested);

bool read_embedded(cursor& at, mgcp_requested_event* request, int depth) {
    if (!at.take('(')) return false;
    request->actions |= MGCP_ACTION_EMBEDDED;
    for (;;) {
        at.skip_blanks();
        char part = at.peek();
        if (!at.take(part)) return false;
        at.skip_blanks();
        if (part == 'R' || part == 'r') {
            if (!at.take('(')) return false;
            if (!read_requests(at, &request->embedded_requests, depth + 1, true)) return false;
            if (!at.take(')')) return false;
            request->has_embedded_requests = true;
        } else if (part == 'S' || part == 's') {
            if (!at.take('(')) return false;
            if (!read_events(at, &request->embedded_signals, true)) return false;
            if (!at.take(')')) return false;
            request->has_embedded_signals = true;
        } else if (part == 'D' || part == 'd') {
            std::string_view digit_map;  // not used by this endpoint
            if (!read_parenthesised(at, &digit_map)) return false;
        } else {
            return false;
        }
        at.skip_blanks();
        if (at.take(',')) continue;
        return at.take(')');
    }
}

bool read_actions(cursor& at, mgcp_requested_event* request, int depth) {
    if (!at.take('(')) return false;
    for (;;) {
        at.skip_blanks();
        char letter = at.peek();
        if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
        const mgcp_action_row* action = nullptr;
        for (const auto& row : mgcp_actions)
            if (row.letter == letter) action = &row;
        if (!action) return false;
        at.rest.remove_prefix(1);
        if (action->bit == MGCP_ACTION_EMBEDDED) {
            at.skip_blanks();
            if (!read_embedded(at, request, depth)) return false;
        } else {
            request->actions |= action->bit;
        }
        at.skip_blanks();
        if (at.take(',')) continue;
        return at.take(')');
    }
}

bool read_requests(cursor& at, mgcp_requested_event_list* requests, int depth, bool nested) {
    if (depth > MGCP_MAX_NESTING) return false;
    requests->clear();
    at.skip_blanks();
    if (nested ? at.peek() == ')' : at.at_end()) return true;
    for (;;) {
        mgcp_requested_event request;
        if (!read_event_name(at, &request.event)) return false;
        at.skip_blanks();
        if (at.peek() == '(') {
            if (!read_actions(at, &request, depth)) return false;
        } else {
            request.actions = MGCP_ACTION_NOTIFY;
        }
        if (requests->size() >= MGCP_MAX_EVENTS) return false;
        requests->push_back(std::move(request));
        at.skip_blanks();
        if (at.take(',')) continue;
        return nested ? at.peek() == ')' : at.at_end();
    }
}

}  // namespace

bool write_event(const mgcp_event& event, mgcp_text_writer& out) {
    const mgcp_package_row* row = find_package(event.package);
    if (!row || !row->write) return false;
    out.append(row->name);
    out.append("/");
    if (event.package == MGCP_PACKAGE_D && event.event == MGCP_D_TEXT &&
        !digit_text_writable(event.parameter))
        return false;
    if (!row->write(*row, event, out)) return false;
    bool is_digit_text = event.package == MGCP_PACKAGE_D && event.event == MGCP_D_TEXT;
    if (event.has_parameter && !is_digit_text) {
        if (!parameter_writable(event.parameter)) return false;
        out.append("(");
        out.append(event.parameter);
        out.append(")");
    }
    return true;
}

bool write_event_list(const mgcp_event_list& events, mgcp_text_writer& out) {
    if (events.size() > MGCP_MAX_EVENTS) return false;
    for (size_t i = 0; i < events.size(); ++i) {
        if (i > 0) out.append(", ");
        if (!write_event(events[i], out)) return false;
    }
    return true;
}

bool write_requested_events(const mgcp_requested_event_list& requests, mgcp_text_writer& out) {
    return write_requests(requests, out, 0);
}

bool read_event_list(std::string_view text, mgcp_event_list* events) {
    cursor at{text};
    return read_events(at, events, false);
}

bool read_requested_events(std::string_view text, mgcp_requested_event_list* requests) {
    cursor at{text};
    return read_requests(at, requests, 0, false);
}

}  // namespace voxline
