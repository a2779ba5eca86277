// CMixerFader: a slider bound to a mixer volume control. Moving the slider
// sets the control; a change made elsewhere moves the slider.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <vector>

#include "mixer_base.h"

class QSlider;
class QSocketNotifier;

namespace dialdeck {

enum fader_sub_type : int {
    FADER_LEFT = 0,
    FADER_RIGHT = 1,
    FADER_BOTH = 2,  // both channels, keeping their balance
    FADER_BALANCE = 3,
};

class CMixerFader : public QObject {
    Q_OBJECT
  public:
    // The slider stays disabled until Init succeeds.
    explicit CMixerFader(QSlider* slider, QObject* parent = nullptr);
    ~CMixerFader() override;

    bool Init(uint32_t destination_type, uint32_t source_type, uint32_t control_type, int sub_type,
              const mixer_line_opener& opener = {});
    const CMixerBase& mixer() const { return m_mixer; }

  private:
    void release();
    void show_values();
    void slider_moved(int slider_value);
    void mixer_changed();
    // Position 0..steps as counted from the quiet end.
    long position_of_values() const;
    void remember_balance();
    long relative(long value) const { return value - m_mixer.minimum(); }
    long absolute(double value) const;
    // The loud channel set to `loudest`, the other following the balance.
    std::vector<long> balanced(double loudest) const;

    QPointer<QSlider> m_slider;
    CMixerBase m_mixer;
    int m_sub_type = FADER_BOTH;
    double m_step_size = 1;
    // (right - left) / max(left, right); kept while both are silent.
    double m_balance = 0;
    std::vector<QSocketNotifier*> m_notifiers;
};

}  // namespace dialdeck
