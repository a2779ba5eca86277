// The version document and the PIN answer come from web services: element
// texts are read whatever the bytes, without a crash or a hang.
#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "version_compare.h"
#include "xml_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray document(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::string version = dialdeck::xml_element_text(document, "Version");
    dialdeck::xml_element_text(document, "Need");
    dialdeck::xml_element_text(document, "Flavor");
    dialdeck::xml_element_text(document, "Valid");
    const int result = dialdeck::compare_versions(version, dialdeck::k_running_version, '.', 4);
    if (result < -2 || result > 1) abort();
    return 0;
}
