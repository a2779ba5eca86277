#include "platform/sound/virtual_test_interface.h"

#include <memory>

#include "platform/sound/virtual_backend.h"

namespace voxline::virtual_card_test {
namespace {

template <typename Hook>
auto with_card(Hook hook, decltype(hook(std::declval<virtual_card&>())) otherwise) {
    const std::shared_ptr<sound_backend> backend = wave_current_backend();
    auto* card = dynamic_cast<virtual_card*>(backend.get());
    return card ? hook(*card) : otherwise;
}

}  // namespace

bool use_manual_clock() {
    return with_card([](virtual_card& card) { return card.use_manual_clock(); }, false);
}

bool run_ticks(int n) {
    return with_card([&](virtual_card& card) { return card.run_ticks(n); }, false);
}

bool step_clock(int ms) {
    return with_card([&](virtual_card& card) { return card.step_clock(ms); }, false);
}

bool inject_mic(const int16_t* samples, size_t count) {
    return with_card([&](virtual_card& card) { return card.inject_mic(samples, count); }, false);
}

size_t take_speaker(int16_t* out, size_t max) {
    return with_card([&](virtual_card& card) { return card.take_speaker(out, max); }, size_t{0});
}

bool set_fault(virtual_fault fault, virtual_fault_side side) {
    return with_card(
        [&](virtual_card& card) {
            card.set_fault(fault, side);
            return true;
        },
        false);
}

}  // namespace voxline::virtual_card_test
