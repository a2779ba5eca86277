// CMixerBase: one volume control of a mixer line, named by the line types of
// the classic mixer interface, with its range and per-channel values.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mixer_line.h"

namespace dialdeck {

// Line and control types, with the classic interface's values.
constexpr uint32_t MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = 4;
constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE = 0x1003;
// One past the last source type: no source, the destination line itself.
constexpr uint32_t k_destination_itself = 4107;
constexpr uint32_t MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;

class CMixerBase {
  public:
    // Binds to the volume control; false leaves it closed, with the reason
    // in diagnostic(). An empty opener takes the sound card's mixer.
    bool Init(uint32_t destination_type, uint32_t source_type, uint32_t control_type,
              const mixer_line_opener& opener = {});
    void Close();

    bool bound() const { return m_line != nullptr; }
    int channels() const { return static_cast<int>(m_values.size()); }
    long minimum() const { return m_minimum; }
    long maximum() const { return m_maximum; }
    long steps() const { return m_steps; }
    // As last read.
    const std::vector<long>& values() const { return m_values; }
    // Reads the control again; false when it no longer answers.
    bool Refresh();
    // One value per channel, clamped to the range.
    bool Write(std::vector<long> values);

    std::vector<int> notice_descriptors();
    void TakeNotices();
    // Why the last Init failed; never shown to the user.
    const std::string& diagnostic() const { return m_diagnostic; }

  private:
    bool fail(std::string reason);

    std::unique_ptr<mixer_line> m_line;
    std::string m_destination_name;
    std::string m_source_name;
    std::string m_control_name;
    long m_minimum = 0;
    long m_maximum = 0;
    long m_steps = 0;
    std::vector<long> m_values;
    std::string m_diagnostic;
};

}  // namespace dialdeck
