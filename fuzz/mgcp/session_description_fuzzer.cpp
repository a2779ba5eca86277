// Session descriptions come from the call agent: the reader must take any
// bytes and what it reads must write within a bounded buffer.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mgcp/mgcp_message.h"
#include "mgcp/mgcp_text.h"
#include "mgcp/session_description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace voxline;
    std::string_view body(reinterpret_cast<const char*>(data), size);
    auto session = read_session_description(body);
    if (!session) return 0;
    if (session->address_text[SESSION_ADDRESS_TEXT_SIZE - 1] != '\0') abort();
    if (session->media_kind == SESSION_IMAGE && session_remote_port(*session) != 0) abort();
    char buffer[MGCP_TEXT_SIZE];
    mgcp_text_writer out(buffer, sizeof buffer);
    write_session_description(*session, out);
    if (out.overflowed()) abort();  // the record is small enough to always fit
    return 0;
}
