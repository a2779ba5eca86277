// The server entries' icons: 24x17 images cut from one strip, white being
// transparent. Image 0 marks a contact whose status is set, 1 the others.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace dialdeck {

inline constexpr int k_contact_icon_width = 24;
inline constexpr int k_contact_icon_height = 17;

QPixmap contact_icon_strip();
QIcon contact_icon(int index);

}  // namespace dialdeck
