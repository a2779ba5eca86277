// The "audio device in use" notice. It opens without waiting, so the engine
// event that raised it returns at once and no state change runs inside it.
#pragma once

#include <string>

class QDialog;
class QWidget;

namespace kestrel {

// A window-modal dialog over parent (application-modal without one) that
// deletes itself when closed; font is a face name, empty for the parent's.
QDialog* open_audio_in_use_dialog(QWidget* parent, const std::string& title,
                                  const std::string& text, const std::string& button,
                                  const std::string& font = {});

}  // namespace kestrel
