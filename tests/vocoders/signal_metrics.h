// Measures for comparing decoded audio with its source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace voxline::test {

// Signal-to-noise ratio in dB of `decoded` against `reference` over their common length.
double snr_db(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded);

// Mean of the per-frame SNR over frames whose reference energy is within
// 40 dB of the loudest frame (pauses would only measure the codec's idle noise).
double segmental_snr_db(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded,
                        size_t frame = 160);

// Energy of each 20 ms frame.
std::vector<double> frame_energies(const std::vector<int16_t>& pcm, size_t frame = 160);

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
