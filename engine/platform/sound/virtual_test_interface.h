// Test hooks into the virtual sound card of the selected backend. Each returns false when the
// selected backend is not the virtual one (or the hook does not apply now).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/sound/virtual_config.h"

namespace voxline::virtual_card_test {

// Before the card's first open: its clock no longer follows CLOCK_MONOTONIC but moves only by
// run_ticks/step_clock, so tests drive time without sleeping.
bool use_manual_clock();
// Manual clock: runs n ticks of 10 ms one after another; returns once the card has run them.
bool run_ticks(int n);
// Moves the card's clock by `ms` (forward); the card then catches up as it would after a late
// wake: at most 10 late ticks run, the rest are skipped. Manual clock: returns once done.
bool step_clock(int ms);
// Samples that started inputs record instead of the mic source, in order, ahead of it.
bool inject_mic(const int16_t* samples, size_t count);
// Takes up to `max` of the samples the speaker played since the last take (the last 10 s kept).
size_t take_speaker(int16_t* out, size_t max);
// Replaces the fail= option from now on.
bool set_fault(virtual_fault fault, virtual_fault_side side);

}  // namespace voxline::virtual_card_test
