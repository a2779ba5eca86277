// Qt key events to the virtual keys the control speaks.
#pragma once

#include <QString>
#include <cstdint>

namespace kestrel {

// The virtual key of a Qt key (with the keypad flag and the event's text);
// -1 when it names none. A character typed with Shift keeps that state in
// the high byte (KEY_SHIFT_STATE).
int32_t virtual_key_of(int qt_key, bool keypad, const QString& text);

}  // namespace kestrel
