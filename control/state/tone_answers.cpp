#include "tone_answers.h"

#include <voxline/voxline.h>

#include <array>

namespace kestrel {

namespace {

struct tone_row {
    int32_t tone;
    tone_answer answer;
};

constexpr std::array<tone_row, 3> k_tones = {{
    {VXL_TONE_BUSY, {tone_action::number_busy, 1, 1}},
    {VXL_TONE_REORDER, {tone_action::invalid_number, 1, 1}},
    {VXL_TONE_LOW_BALANCE_WARNING_TONE, {tone_action::balance_low, 0, 1}},
}};

constexpr tone_answer k_other_tone = {tone_action::none, 1, 1};

}  // namespace

tone_answer tone_answer_of(int32_t tone) {
    for (const auto& row : k_tones) {
        if (row.tone == tone) {
            return row.answer;
        }
    }
    return k_other_tone;
}

}  // namespace kestrel
