#include "mixer_fader.h"

#include <QSignalBlocker>
#include <QSlider>
#include <QSocketNotifier>
#include <algorithm>
#include <cmath>

namespace dialdeck {

CMixerFader::CMixerFader(QSlider* slider, QObject* parent) : QObject(parent), m_slider(slider) {
    m_slider->setEnabled(false);
    connect(m_slider, &QSlider::valueChanged, this, &CMixerFader::slider_moved);
}

CMixerFader::~CMixerFader() {
    release();
}

void CMixerFader::release() {
    // The descriptors close with the mixer; their notifiers go first.
    for (QSocketNotifier* notifier : m_notifiers) delete notifier;
    m_notifiers.clear();
    m_mixer.Close();
    if (m_slider) m_slider->setEnabled(false);
}

bool CMixerFader::Init(uint32_t destination_type, uint32_t source_type, uint32_t control_type,
                       int sub_type, const mixer_line_opener& opener) {
    release();
    if (sub_type < FADER_LEFT || sub_type > FADER_BALANCE) return false;
    if (!m_mixer.Init(destination_type, source_type, control_type, opener)) return false;
    if (sub_type != FADER_BOTH && m_mixer.channels() < 2) {
        m_mixer.Close();
        return false;
    }
    m_sub_type = sub_type;
    m_step_size = double(m_mixer.maximum() - m_mixer.minimum()) / double(m_mixer.steps());
    remember_balance();
    for (const int descriptor : m_mixer.notice_descriptors()) {
        auto* notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &CMixerFader::mixer_changed);
        m_notifiers.push_back(notifier);
    }
    {
        const QSignalBlocker quiet(m_slider);
        m_slider->setRange(0, static_cast<int>(m_mixer.steps()));
        // Counted from the top, the loud end, as a vertical slider reads.
        const bool vertical = m_slider->orientation() == Qt::Vertical;
        m_slider->setInvertedAppearance(vertical);
        // Up (and the wheel forward) still moves the handle up, to the loud end.
        m_slider->setInvertedControls(vertical);
    }
    show_values();
    m_slider->setEnabled(true);
    return true;
}

void CMixerFader::remember_balance() {
    const std::vector<long>& values = m_mixer.values();
    if (values.size() < 2) return;
    const long left = relative(values[0]);
    const long right = relative(values[1]);
    const long loudest = std::max(left, right);
    if (loudest > 0) m_balance = double(right - left) / double(loudest);
}

long CMixerFader::position_of_values() const {
    const std::vector<long>& values = m_mixer.values();
    double value = 0;
    switch (m_sub_type) {
        case FADER_LEFT:
            value = relative(values[0]);
            break;
        case FADER_RIGHT:
            value = relative(values[1]);
            break;
        case FADER_BOTH:
            value = relative(*std::max_element(values.begin(), values.end()));
            break;
        case FADER_BALANCE:
            return std::lround((m_balance + 1) / 2 * double(m_mixer.steps()));
    }
    return std::clamp(std::lround(value / m_step_size), 0L, m_mixer.steps());
}

void CMixerFader::show_values() {
    if (!m_slider || !m_mixer.bound()) return;
    long position = position_of_values();
    if (m_slider->orientation() == Qt::Vertical) position = m_mixer.steps() - position;
    const QSignalBlocker quiet(m_slider);
    m_slider->setValue(static_cast<int>(position));
}

long CMixerFader::absolute(double value) const {
    return m_mixer.minimum() + std::lround(value);
}

std::vector<long> CMixerFader::balanced(double loudest) const {
    if (m_balance > 0) return {absolute((1 - m_balance) * loudest), absolute(loudest)};
    return {absolute(loudest), absolute((1 + m_balance) * loudest)};
}

void CMixerFader::slider_moved(int slider_value) {
    if (!m_slider || !m_mixer.bound()) return;
    long position = slider_value;
    if (m_slider->orientation() == Qt::Vertical) position = m_mixer.steps() - position;
    const double value = double(position) * m_step_size;
    std::vector<long> values = m_mixer.values();
    switch (m_sub_type) {
        case FADER_LEFT:
            values[0] = absolute(value);
            break;
        case FADER_RIGHT:
            values[1] = absolute(value);
            break;
        case FADER_BOTH:
            values = values.size() == 1 ? std::vector<long>{absolute(value)} : balanced(value);
            break;
        case FADER_BALANCE: {
            const long loudest =
                relative(std::max(values[0], values[1]));  // two channels: checked at Init
            m_balance = 2 * double(position) / double(m_mixer.steps()) - 1;
            values = balanced(double(loudest));
            break;
        }
    }
    m_mixer.Write(std::move(values));
}

void CMixerFader::mixer_changed() {
    m_mixer.TakeNotices();
    if (!m_mixer.Refresh()) return;
    remember_balance();
    show_values();
}

}  // namespace dialdeck
