#include "mixer_base.h"

#include <algorithm>

namespace dialdeck {

bool CMixerBase::fail(std::string reason) {
    Close();
    m_diagnostic = std::move(reason);
    return false;
}

bool CMixerBase::Init(uint32_t destination_type, uint32_t source_type, uint32_t control_type,
                      const mixer_line_opener& opener) {
    Close();
    m_diagnostic.clear();
    // The card's mixer offers the speaker's playback and the microphone's
    // capture volume; the microphone is what it records, not what it plays back.
    if (destination_type != MIXERLINE_COMPONENTTYPE_DST_SPEAKERS)
        return fail("No destination line of type " + std::to_string(destination_type));
    mixer_line_kind kind;
    if (source_type == k_destination_itself) {
        kind = mixer_line_kind::speaker;
        m_destination_name = "Speaker";
    } else if (source_type == MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE) {
        kind = mixer_line_kind::microphone;
        m_destination_name = "Speaker";
        m_source_name = "Microphone";
    } else {
        return fail("No source line of type " + std::to_string(source_type));
    }
    const std::string line_name = m_source_name.empty() ? m_destination_name : m_source_name;
    if (control_type != MIXERCONTROL_CONTROLTYPE_VOLUME)
        return fail("No controls available for this audio line: " + line_name);

    std::string error;
    std::unique_ptr<mixer_line> line =
        opener ? opener(kind, error) : open_sound_card_line(kind, error);
    if (!line) return fail(error.empty() ? "No mixer device" : error);
    m_line = std::move(line);
    m_control_name = "Volume";
    m_minimum = m_line->minimum();
    m_maximum = m_line->maximum();
    m_steps = m_line->steps();
    if (m_maximum <= m_minimum || m_steps <= 0 || !Refresh() ||
        (channels() != 1 && channels() != 2))
        return fail("No controls available for this audio line: " + line_name);
    return true;
}

void CMixerBase::Close() {
    m_line.reset();
    m_values.clear();
    m_minimum = m_maximum = m_steps = 0;
}

bool CMixerBase::Refresh() {
    if (!m_line) return false;
    std::vector<long> values = m_line->values();
    if (values.empty()) return false;
    for (long& value : values) value = std::clamp(value, m_minimum, m_maximum);
    m_values = std::move(values);
    return true;
}

bool CMixerBase::Write(std::vector<long> values) {
    if (!m_line || values.size() != m_values.size()) return false;
    for (long& value : values) value = std::clamp(value, m_minimum, m_maximum);
    if (!m_line->set_values(values)) return false;
    m_values = std::move(values);
    return true;
}

std::vector<int> CMixerBase::notice_descriptors() {
    return m_line ? m_line->notice_descriptors() : std::vector<int>{};
}

void CMixerBase::TakeNotices() {
    if (m_line) m_line->take_notices();
}

}  // namespace dialdeck
