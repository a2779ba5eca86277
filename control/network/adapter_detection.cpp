#include "network/adapter_detection.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "log/control_log.h"
#include "network/route_table.h"
#include "parameters/parameter_defaults.h"
#include "parameters/text_lists.h"

namespace kestrel {

namespace {

void log_ip(control_log* log, int32_t level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

void log_ip(control_log* log, int32_t level, const char* format, ...) {
    if (!log) return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    log->LogMessage(level, line, IP_DETECT_SOURCE);
}

}  // namespace

adapter_kind classify_adapter(const std::string& description) {
    const std::string text = lower(description);
    if (text.find("ppp") != std::string::npos) return ADAPTER_MODEM;
    if (text.find("ethernet") != std::string::npos) return ADAPTER_LAN;
    return ADAPTER_OTHER;
}

std::vector<adapter_record> get_ip_config(const network_snapshot& snapshot, control_log* log) {
    log_ip(log, LOG_ALWAYS, "Operation System:  %s", snapshot.os_name.c_str());
    const std::vector<default_route> routes = read_default_routes(snapshot.route_text);

    log_ip(log, LOG_ALWAYS, "Full address list:");
    std::vector<adapter_record> report;  // newest first
    int block = 0;
    for (const auto& iface : snapshot.interfaces) {
        if (iface.loopback) continue;
        const std::string description = iface.name + " (" + iface.type + ")";
        const std::string gateway = gateway_of(routes, iface.name);
        // An adapter without an address is listed as 0.0.0.0.
        std::vector<std::string> addresses = iface.ipv4;
        if (addresses.empty()) addresses.emplace_back("0.0.0.0");
        for (const auto& address : addresses) {
            const int number = block++;
            if (address.rfind("0.0.0.0", 0) == 0) {
                log_ip(log, LOG_ALWAYS,
                       "    Address %d: %s (not added to list because IP address is empty)", number,
                       address.c_str());
            } else if (gateway.empty()) {
                log_ip(log, LOG_ALWAYS,
                       "    Address %d: %s (not added to list because no default gateway)", number,
                       address.c_str());
            } else {
                log_ip(log, LOG_ALWAYS, "    Address %d: %s (default gateway = %s)", number,
                       address.c_str(), gateway.c_str());
                report.insert(report.begin(),
                              adapter_record{description, address, classify_adapter(description)});
            }
        }
    }

    log_ip(log, LOG_ALWAYS, "%s", "");
    log_ip(log, LOG_ALWAYS, "Active address list:");
    std::vector<std::string> active;
    for (const auto& iface : snapshot.interfaces) {
        if (iface.loopback || !iface.up || !iface.running) continue;
        for (const auto& address : iface.ipv4) {
            log_ip(log, LOG_ALWAYS, "    Address %d: %s", static_cast<int>(active.size()),
                   address.c_str());
            active.push_back(address);
        }
    }

    std::vector<adapter_record> kept;
    for (auto& record : report) {
        for (const auto& address : active) {
            if (record.address == address) {
                kept.push_back(std::move(record));
                break;
            }
        }
    }
    log_ip(log, LOG_ALWAYS, "%s", "");
    log_ip(log, LOG_ALWAYS, "Finished detecting IP addresses.");
    return kept;
}

adapter_chooser::adapter_chooser(control_log* log, std::unique_ptr<interface_source> source,
                                 std::unique_ptr<adapter_prompt> prompt)
    : m_log(log), m_source(std::move(source)), m_prompt(std::move(prompt)) {
    ConvertListToArray(m_misc, DEFAULT_MISC_MESSAGES);
}

void adapter_chooser::set_texts(const std::vector<std::string>& misc, const std::string& font) {
    if (misc.size() > 8) m_misc = misc;
    m_font = font;
}

std::string adapter_chooser::label_of(const adapter_record& record) const {
    switch (record.kind) {
        case ADAPTER_LAN:
            return fill_message(m_misc[7], record.description);
        case ADAPTER_MODEM:
            return fill_message(m_misc[8], record.description);
        default:
            return record.description;
    }
}

void adapter_chooser::GetLocalIpAddress(bool force_dialog, result_fn done) {
    function_trace trace(m_log, "GetLocalIpAddress(" + std::to_string(force_dialog ? 1 : 0) + ")");
    if (const char* fixed = std::getenv("KESTREL_LOCAL_IP"); fixed && *fixed) {
        log_ip(m_log, LOG_INFO, "GetLocalIpAddress returned one address (%s)", fixed);
        done(true, fixed);
        return;
    }
    const std::vector<adapter_record> records =
        m_source ? get_ip_config(m_source->snapshot(), m_log) : std::vector<adapter_record>{};
    if (records.empty()) {
        log_ip(m_log, LOG_ERROR, "GetLocalIpAddress returned no addresses!");
        done(false, std::string());
        return;
    }
    if (records.size() == 1 && !force_dialog) {
        log_ip(m_log, LOG_INFO, "GetLocalIpAddress returned one address (%s)",
               records[0].address.c_str());
        done(true, records[0].address);
        return;
    }
    std::vector<std::string> labels, addresses;
    for (const auto& record : records) {
        labels.push_back(label_of(record));
        addresses.push_back(record.address);
    }
    if (!m_prompt) {
        done(false, std::string());
        return;
    }
    const adapter_prompt_texts texts{m_misc[4], m_misc[5], m_misc[6], m_font};
    control_log* log = m_log;
    m_prompt->ask(texts, labels, [log, addresses, done](int index) {
        if (index >= 0 && static_cast<size_t>(index) < addresses.size()) {
            done(true, addresses[static_cast<size_t>(index)]);
            return;
        }
        log_ip(log, LOG_ERROR,
               "invalid index (%d) returned from user dialog! GetLastError() = 0x%x", index, 0u);
        done(false, std::string());
    });
}

}  // namespace kestrel
