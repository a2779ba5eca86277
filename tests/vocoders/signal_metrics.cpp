#include "signal_metrics.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace voxline::test {

namespace {

std::vector<double> frame_energies(const std::vector<int16_t>& pcm, size_t frame = 160) {
    std::vector<double> out(pcm.size() / frame);
    for (size_t f = 0; f < out.size(); ++f)
        for (size_t i = f * frame; i < (f + 1) * frame; ++i) out[f] += double(pcm[i]) * pcm[i];
    return out;
}

}  // namespace

double envelope_correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    std::vector<double> x = frame_energies(a), y = frame_energies(b);
    const size_t n = std::min(x.size(), y.size());
    if (n < 2) return 0;
    double mx = 0, my = 0;
    for (size_t i = 0; i < n; ++i) mx += x[i], my += y[i];
    mx /= double(n);
    my /= double(n);
    double sxy = 0, sxx = 0, syy = 0;
    for (size_t i = 0; i < n; ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
    }
    return (sxx > 0 && syy > 0) ? sxy / std::sqrt(sxx * syy) : 0;
}

size_t best_lag(const std::vector<int16_t>& reference, const std::vector<int16_t>& delayed,
                size_t max_lag) {
    size_t best = 0;
    double best_score = -1e300;
    for (size_t lag = 0; lag <= max_lag && lag < delayed.size(); ++lag) {
        const size_t n = std::min(reference.size(), delayed.size() - lag);
        double score = 0;
        for (size_t i = 0; i < n; ++i) score += double(reference[i]) * delayed[i + lag];
        if (score > best_score) best_score = score, best = lag;
    }
    return best;
}

std::vector<int16_t> advance(const std::vector<int16_t>& pcm, size_t lag) {
    return std::vector<int16_t>(pcm.begin() + static_cast<ptrdiff_t>(std::min(lag, pcm.size())),
                                pcm.end());
}

std::vector<int16_t> sine(double hz, double amplitude, size_t samples) {
    std::vector<int16_t> out(samples);
    for (size_t i = 0; i < samples; ++i)
        out[i] = static_cast<int16_t>(
            std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / 8000.0)));
    return out;
}

}  // namespace voxline::test
