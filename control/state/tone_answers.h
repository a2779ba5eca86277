// What the control does with each tone the engine asks it to play, and what it
// answers at once (1 lets the engine play the tone itself).
#pragma once

#include <cstdint>

namespace kestrel {

enum class tone_action { none, number_busy, invalid_number, balance_low };

struct tone_answer {
    tone_action action;
    int32_t answer_in_browser;
    int32_t answer_otherwise;
};

tone_answer tone_answer_of(int32_t tone);

}  // namespace kestrel
