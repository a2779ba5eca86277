#include "contacts_directory.h"

#include <QApplication>
#include <QCursor>
#include <algorithm>

#include "directory_client.h"

namespace dialdeck {

directory_answer ask_directory(const contacts_account& account, const directory_request& request) {
    DirectoryClient client;
    client.set_busy_hook([](bool busy) {
        if (busy) {
            QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        } else {
            QApplication::restoreOverrideCursor();
        }
    });
    directory_answer answer;
    if (client.open(QString::fromStdString(account.address), account.port) &&
        client.exchange(request) == DIRECTORY_OK) {
        answer.ok = true;
        answer.items = client.last_response().items;
    }
    client.close();
    return answer;
}

server_list load_server_list(const contacts_account& account) {
    directory_answer answer = ask_directory(account, server_contacts_request(account.number));
    server_list list;
    list.ok = answer.ok;
    list.contacts = parse_server_contacts(answer.items);
    std::stable_partition(list.contacts.begin(), list.contacts.end(),
                          [](const server_contact& c) { return !c.marked; });
    return list;
}

search_result search_directory(const contacts_account& account, std::string_view first,
                               std::string_view last) {
    const directory_answer answer =
        ask_directory(account, search_request(first, last, account.group, account.key));
    search_result result;
    result.ok = answer.ok;
    for (const std::string& item : answer.items) {
        if (result.rows.size() == MAX_SERVER_CONTACTS) break;
        if (auto row = parse_search_row(item)) result.rows.push_back(std::move(*row));
    }
    return result;
}

bool add_to_server_list(const contacts_account& account, std::string_view phone) {
    return ask_directory(account, add_contact_request(account.number, phone)).ok;
}

}  // namespace dialdeck
