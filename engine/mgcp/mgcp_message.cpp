#include "mgcp/mgcp_message.h"

#include <cstring>

#include "mgcp/mgcp_text.h"

namespace voxline {

const mgcp_parameter* mgcp_message::find(mgcp_parameter_type type) const {
    for (const auto& p : parameters)
        if (p->type == type) return p.get();
    return nullptr;
}

std::unique_ptr<mgcp_message> create_message(int kind) {
    auto message = std::make_unique<mgcp_message>();
    message->kind = kind;
    message->parameters.reserve(MGCP_MAX_PARAMETERS);
    return message;
}

bool add_parameter(mgcp_message& message, std::unique_ptr<mgcp_parameter> parameter) {
    if (!parameter || message.parameters.size() >= MGCP_MAX_PARAMETERS) return false;
    message.parameters.push_back(std::move(parameter));
    return true;
}

bool endpoint_number(const char* endpoint_name, uint32_t* number) {
    const char* slash = strchr(endpoint_name, '/');
    if (!slash) return false;
    std::string_view rest(slash + 1);
    if (rest.starts_with('$')) {
        *number = MGCP_ENDPOINT_ANY;
        return true;
    }
    if (rest.starts_with('*')) {
        *number = MGCP_ENDPOINT_ALL;
        return true;
    }
    if (rest.empty() || rest.front() < '0' || rest.front() > '9') return false;
    uint64_t n;
    if (!read_unsigned(rest, 10, MGCP_ENDPOINT_ANY - 1, &n)) return false;
    *number = static_cast<uint32_t>(n);
    return true;
}

}  // namespace voxline
