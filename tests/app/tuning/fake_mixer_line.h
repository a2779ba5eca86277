// A mixer line in memory; changes from elsewhere are the virtual card's to test.
#pragma once

#include <memory>
#include <vector>

#include "mixer_line.h"

namespace voxline::test {

struct fake_mixer_state {
    long maximum = 100;
    long steps = 100;
    std::vector<long> values{40, 80};
};

class fake_mixer_line final : public dialdeck::mixer_line {
  public:
    explicit fake_mixer_line(std::shared_ptr<fake_mixer_state> state) : m_state(std::move(state)) {}
    long minimum() const override { return 0; }
    long maximum() const override { return m_state->maximum; }
    long steps() const override { return m_state->steps; }
    std::vector<long> values() override { return m_state->values; }
    bool set_values(const std::vector<long>& values) override {
        m_state->values = values;
        return true;
    }
    std::vector<int> notice_descriptors() override { return {}; }
    void take_notices() override {}

  private:
    std::shared_ptr<fake_mixer_state> m_state;
};

inline dialdeck::mixer_line_opener fake_opener(std::shared_ptr<fake_mixer_state> state) {
    return [state](dialdeck::mixer_line_kind, std::string&) {
        return std::make_unique<fake_mixer_line>(state);
    };
}

inline dialdeck::mixer_line_opener no_mixer() {
    return [](dialdeck::mixer_line_kind, std::string& error) {
        error = "No mixer device";
        return std::unique_ptr<dialdeck::mixer_line>();
    };
}

}  // namespace voxline::test
