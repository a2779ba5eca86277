// The phone's speaker and microphone levels: the sound mixer of the engine's
// platform layer, with its change notices brought to the GUI thread.
#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;

namespace voxline {
class sound_mixer;
}

namespace kestrel {

class control_log;

class control_mixer : public QObject {
    Q_OBJECT
  public:
    // Takes a mixer that is available.
    explicit control_mixer(std::unique_ptr<voxline::sound_mixer> mixer);
    ~control_mixer() override;

    // The mixer of the selected sound backend, which sets its mutes as it
    // opens; null with KESTREL_MIXER=none or when no mixer opens. What the
    // opening notes goes to log.
    static std::unique_ptr<control_mixer> open(control_log* log);

    std::optional<double> speaker_level();
    std::optional<double> microphone_level();
    bool set_speaker_level(double level);
    bool set_microphone_level(double level);

  signals:
    // A level changed, by this process or another.
    void levels_changed();

  private:
    void take_notices();

    std::unique_ptr<voxline::sound_mixer> m_mixer;
    std::vector<QSocketNotifier*> m_notifiers;
};

}  // namespace kestrel
