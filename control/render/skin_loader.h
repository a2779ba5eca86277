// The skin: background and pressed-state (down) bitmaps from the skins folder.
#pragma once

#include <QImage>
#include <QString>
#include <functional>

namespace kestrel {

class control_log;

// Sides beyond this are refused: a few header bytes could otherwise ask for
// gigabytes.
inline constexpr int SKIN_MAX_SIDE = 4096;
inline constexpr char SKIN_TOO_LARGE[] = "The DIB is too large!";

// $KESTREL_SKINS, else ../share/dialdeck/skins/ beside the library holding
// this code; always ends with "/".
QString skin_folder();

struct skin_images {
    QImage background;  // RGB32, null when missing
    QImage down;        // RGB32, null when there is none
    bool flash = true;  // pressed keys drawn as ellipses
};

class skin_loader {
  public:
    // Shows a message to the user without waiting for an answer.
    using message_hook = std::function<void(const QString&)>;

    explicit skin_loader(control_log* log = nullptr, message_hook too_large = {})
        : m_log(log), m_too_large(std::move(too_large)) {}

    // The down bitmap is read only when its name differs from the
    // background's without regard to case; loading it with pixels clears
    // the flash flag.
    skin_images load(const QString& folder, const QString& background_name,
                     const QString& down_name) const;

    // One file, converted to RGB32; null when missing, unreadable, refused.
    QImage load_image(const QString& folder, const QString& name) const;

  private:
    void log(int level, const QString& text) const;

    control_log* m_log;
    message_hook m_too_large;
};

}  // namespace kestrel
