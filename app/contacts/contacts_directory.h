// The contacts windows' directory exchanges: one connection each, to the
// server named in the account record. The window keeps painting while one
// runs; the user's input waits and the cursor shows that it is busy.
#pragma once

#include <string>
#include <vector>

#include "contacts_config.h"
#include "directory_items.h"
#include "directory_protocol.h"

namespace dialdeck {

struct directory_answer {
    bool ok = false;  // connected and answered with the request's code
    std::vector<std::string> items;
};

directory_answer ask_directory(const contacts_account& account, const directory_request& request);

// The subscriber's server-side list (at most 500 entries): unmarked ones
// first, then the marked ones, each group in the server's order.
struct server_list {
    bool ok = false;
    std::vector<server_contact> contacts;
};
server_list load_server_list(const contacts_account& account);

// A directory search by first and last name prefixes; rows without enough
// fields are dropped, at most 500 per request.
struct search_result {
    bool ok = false;
    std::vector<search_row> rows;
};
search_result search_directory(const contacts_account& account, std::string_view first,
                               std::string_view last);

// Asks for the server to add the phone number to the subscriber's list.
bool add_to_server_list(const contacts_account& account, std::string_view phone);

}  // namespace dialdeck
