// The operator's PIN page: asks over HTTPS whether the account record is valid.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

#include "web_get.h"

namespace dialdeck {

enum class pin_verdict { valid, invalid, failed };

struct pin_result {
    pin_verdict verdict = pin_verdict::failed;
    // Why the check failed; empty unless failed.
    QString reason;
};

// host may carry ":port"; record and owner key are percent-encoded, keeping
// "," and ":" as the page expects them.
web_request pin_request(std::string_view record, std::string_view owner_key, std::string_view host,
                        std::string_view file, const QString& ca_file);

// The page's answer: valid when its Valid element reads "true" in any case.
pin_result read_pin_answer(const web_answer& answer);

pin_result verify_pin(std::string_view record, std::string_view owner_key, std::string_view host,
                      std::string_view file, const QString& ca_file,
                      const web_fetcher& fetch = web_fetch);

}  // namespace dialdeck
