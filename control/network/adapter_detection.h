// Which local IPv4 address the phone uses: the addresses of adapters with a
// default gateway that are also up and running; the user picks when several
// remain. Log lines go to the control log with the source "IP_DETECT".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "network/interface_source.h"

namespace kestrel {

class control_log;

enum adapter_kind : int32_t { ADAPTER_LAN = 0, ADAPTER_MODEM = 1, ADAPTER_OTHER = 2 };

struct adapter_record {
    std::string description;  // "NAME (Ethernet)"
    std::string address;
    adapter_kind kind = ADAPTER_OTHER;
};

inline constexpr char IP_DETECT_SOURCE[] = "IP_DETECT";

// "ppp" before "ethernet", on the lower-cased description.
adapter_kind classify_adapter(const std::string& description);

// The detected adapters, newest first (the order the dialog lists them in).
std::vector<adapter_record> get_ip_config(const network_snapshot& snapshot, control_log* log);

// Texts of the selection dialog.
struct adapter_prompt_texts {
    std::string title;   // misc entry 4
    std::string prompt;  // misc entry 5
    std::string button;  // misc entry 6
    std::string font;    // the display font
};

// Asks the user for one of `labels`; `done` gets the chosen index or -1.
// Never blocks: the answer may come later, on the GUI thread.
class adapter_prompt {
  public:
    virtual ~adapter_prompt() = default;
    virtual void ask(const adapter_prompt_texts& texts, const std::vector<std::string>& labels,
                     std::function<void(int)> done) = 0;
};

class adapter_chooser {
  public:
    // (chosen, address): address empty when nothing was chosen.
    using result_fn = std::function<void(bool, const std::string&)>;

    adapter_chooser(control_log* log, std::unique_ptr<interface_source> source,
                    std::unique_ptr<adapter_prompt> prompt);

    // misc: the misc message list (entries 4..8 are used); font: display font.
    void set_texts(const std::vector<std::string>& misc, const std::string& font);

    // Calls `done` at once, or after the dialog answers. KESTREL_LOCAL_IP
    // set skips detection.
    void GetLocalIpAddress(bool force_dialog, result_fn done);

  private:
    std::string label_of(const adapter_record& record) const;

    control_log* m_log;
    std::unique_ptr<interface_source> m_source;
    std::unique_ptr<adapter_prompt> m_prompt;
    std::vector<std::string> m_misc;
    std::string m_font;
};

}  // namespace kestrel
