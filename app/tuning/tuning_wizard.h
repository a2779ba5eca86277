// The audio tuning wizard the main window starts from its menu: speakers and
// microphone checked, and their volumes set, before a call.
#pragma once

#include <cstdint>

class QWidget;
struct IActiveXPhone;

namespace dialdeck {

enum class tuning_outcome { finished, cancelled };

// Runs the wizard modally over parent. control: the phone control whose engine
// measures the microphone; null (or a control not yet set up) leaves the level
// bar idle and the page says why.
tuning_outcome run_tuning_wizard(QWidget* parent, IActiveXPhone* control);

// The main window's event sink passes each MicLevel event on here; it reaches
// the wizard while its microphone page shows and is dropped otherwise. GUI
// thread only.
void tuning_wizard_mic_level(int32_t level);

}  // namespace dialdeck
