// The behind-NAT test after logon.
#include <voxline/voxline.h>

#include <string>

#include "core/call_control.h"
#include "nat/nat_query.h"
#include "platform/engine_paths.h"
#include "util/local_address.h"
#include "util/process_settings.h"
#include "util/vxl_log.h"

namespace voxline {

void call_control::test_behind_nat() {
    char local_ip[LOCAL_IP_MAX + 1];
    detect_local_address(local_ip);
    const std::string override_path = engine_file("vxl.nat");
    m_behind_nat = nat_logon_test(override_path.c_str(), local_ip, m_current_call_agent.c_str(),
                                  m_nat_info_port, m_behind_nat);
    if (m_behind_nat && callback_usable()) {
        VXL_LOG(LOG_ALWAYS, "Calling GenericEvent(VXL_EVENT_BEHIND_NAT)");
        raise_generic_event(VXL_EVENT_BEHIND_NAT, 0, 0, "");
    }
}

}  // namespace voxline
