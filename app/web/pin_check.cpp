#include "pin_check.h"

#include <QUrl>

#include "xml_text.h"

namespace dialdeck {

namespace {

QByteArray bytes(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

web_request pin_request(std::string_view record, std::string_view owner_key, std::string_view host,
                        std::string_view file, const QString& ca_file) {
    // Raw, a "&" or "#" in a name would change the request.
    const QByteArray url = "https://" + bytes(host) + "/" + bytes(file) +
                           "&PIN=" + QUrl::toPercentEncoding(bytes(record), ",:") +
                           "&ownerKey=" + QUrl::toPercentEncoding(bytes(owner_key), ",:");
    web_request request;
    request.url = QString::fromLatin1(url);
    request.user_agent = "Dialdeck/2.0.0.6";
    request.timeout_ms = 60000;
    request.max_bytes = 64 * 1024;
    request.ca_file = ca_file;
    return request;
}

pin_result read_pin_answer(const web_answer& answer) {
    if (!answer.ok) return {pin_verdict::failed, answer.error};
    const std::string valid = xml_element_text(answer.body, "Valid");
    const bool yes = QByteArray::fromStdString(valid).compare("true", Qt::CaseInsensitive) == 0;
    return {yes ? pin_verdict::valid : pin_verdict::invalid, {}};
}

pin_result verify_pin(std::string_view record, std::string_view owner_key, std::string_view host,
                      std::string_view file, const QString& ca_file, const web_fetcher& fetch) {
    return read_pin_answer(fetch(pin_request(record, owner_key, host, file, ca_file)));
}

}  // namespace dialdeck
