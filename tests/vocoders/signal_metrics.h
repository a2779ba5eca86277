// Measures for comparing decoded audio with its source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace voxline::test {

// Pearson correlation of the 20 ms frame-energy envelopes.
double envelope_correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b);

// The delay (0..max_lag samples) of `delayed` behind `reference` that
// correlates best; codecs with look-ahead return their audio late.
size_t best_lag(const std::vector<int16_t>& reference, const std::vector<int16_t>& delayed,
                size_t max_lag);

// `pcm` without its first `lag` samples.
std::vector<int16_t> advance(const std::vector<int16_t>& pcm, size_t lag);

std::vector<int16_t> sine(double hz, double amplitude, size_t samples);

}  // namespace voxline::test
