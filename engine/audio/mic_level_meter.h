// The microphone level shown while the user sets the recording volume:
// the loudest 10 ms buffer of each 110 ms window, mapped to 0..100.
// Used by one capture thread; no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace voxline {

// 0..100 for the mean absolute amplitude of one 10 ms buffer.
int32_t mic_level_for_amplitude(int64_t mean_amplitude);

class mic_level_meter {
  public:
    // Measures one captured buffer; gives the new level when a window closes
    // with a level other than the one last reported.
    std::optional<int32_t> add_buffer(const int16_t* samples, size_t count);

  private:
    int64_t m_window_largest_sum = 0;
    int64_t m_previous_largest_sum = 0;
    int32_t m_buffers_in_window = 0;
    int32_t m_last_level = 0;
};

}  // namespace voxline
