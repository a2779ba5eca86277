// The control's named text parameters: one table of name/value strings with
// per-name defaults, the completeness mask of the call-manager parameters, and
// the settings the control derives from the table.
//
// All of it runs on the control's GUI thread. The table never rejects a value:
// unknown names are appended, numbers that do not parse read as 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

class control_log;

inline constexpr char NOT_SPECIFIED[] = "Not Specified";

// What SetParameterValue did, for the control to act on: start the log-on
// once the set became complete, re-read the table after a change.
struct set_outcome {
    bool changed = false;          // the stored value differs from before
    bool was_complete = false;     // complete before this call
    bool became_complete = false;  // this call completed the set
};

// The call-manager, engine and behaviour settings read from the table
// (the look is read by the renderer from the same table).
struct control_settings {
    bool browser_mode = true;  // kept while Mode is "Not Specified"
    int32_t vocoder = 1;       // 0 G.723.1 when Mode contains "723", else 1 G.729
    int32_t config_flags = 0;  // VXLConfigFlags; the whole value goes to the engine
    bool config_flags_specified = false;
    bool diag_at_start = false;      // flag bit 4
    bool sort_call_managers = true;  // flag bit 2; on while the flags are "Not Specified"
    bool trace = false;              // flag bit 0x40
    bool two_button = false;
    bool allow_simultaneous = false;
    bool enable_prefix = false;
    bool override_ani = false;
    int32_t tos = 20;           // until QOSSetting is set
    std::string prefix_digits;  // dialable digits only
    int32_t code_page = 1252;
    std::vector<std::string> status_messages;  // 10 entries
    std::vector<std::string> button_messages;  // 4 entries
    std::vector<std::string> error_messages;   // 23 entries
    std::vector<std::string> misc_messages;    // 11 entries
    size_t longest_status = 0;
    size_t longest_button = 0;
    size_t longest_error = 0;
};

// Dispatch ids of the parameters that are automation properties.
inline constexpr int32_t FIRST_PROPERTY_DISPID = 2;
inline constexpr int32_t LAST_PROPERTY_DISPID = 49;
inline constexpr size_t PROPERTY_COUNT = 48;
inline constexpr size_t MAX_PARAMETERS = 90;

inline constexpr uint32_t INITIAL_COMPLETED_MASK = 0x4000;  // EndpointID, never registered
inline constexpr uint32_t INITIAL_EXPECTED_MASK = 0x7FFFF;

class control_parameters {
  public:
    // Registers the full table in its order. The log may be null (tests).
    explicit control_parameters(control_log* log = nullptr);

    // Appends name, value (initial when given, else the default) and default.
    // Ignored beyond MAX_PARAMETERS entries.
    void RegisterParameter(int32_t dispid, const char* name, const char* default_value,
                           const char* initial = nullptr);

    // The single entry point for every change: logs, stores, tracks completeness.
    set_outcome SetParameterValue(std::string_view name, std::string_view value);

    // Current value; an unknown name gives its default, empty when unregistered.
    std::string GetHTMLParameter(std::string_view name) const;
    // Current value by the number parser (automatic base, no fraction).
    int32_t GetHTMLParameterAsInt(std::string_view name) const;
    std::string GetDefaultValue(std::string_view name) const;

    // Property name of a dispid in 2..49, or null.
    static const char* property_name(int32_t dispid);
    // Dispid of a registered property name (any case), or 0.
    int32_t property_dispid(std::string_view name) const;

    bool complete() const { return (m_completed & m_expected) == m_expected; }
    uint32_t completed_mask() const { return m_completed; }
    uint32_t expected_mask() const { return m_expected; }

    // Derives the control settings (the non-look part of ReadHTMLParameters)
    // into `settings`, logging the type-of-service line and echoing the prefix
    // settings. Fields the table leaves open (browser mode while Mode is
    // "Not Specified") keep what `settings` held.
    void read_settings(control_settings& settings) const;
    // The same from fresh settings (browser mode on unless Mode says otherwise).
    control_settings read_settings() const {
        control_settings settings;
        read_settings(settings);
        return settings;
    }

    // The PIN shown as "*" per character wherever a value is logged.
    static std::string loggable_value(std::string_view name, std::string_view value);

    // Every stored parameter in table order (names as registered).
    struct entry {
        std::string name;
        std::string value;
        std::string default_value;
        int32_t dispid = 0;
    };
    const std::vector<entry>& entries() const { return m_entries; }

  private:
    const entry* find(std::string_view name) const;
    entry* find(std::string_view name);

    control_log* m_log;
    std::vector<entry> m_entries;
    uint32_t m_completed = INITIAL_COMPLETED_MASK;
    uint32_t m_expected = INITIAL_EXPECTED_MASK;
    bool m_qos_set = false;
};

// Completeness bit of a parameter name (any case), 0 for names without one.
uint32_t completeness_bit(std::string_view name);

}  // namespace kestrel
