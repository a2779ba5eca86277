// What the phone keeps between paints: the layout, the skin images and their
// scaled copies, colours and font lists read from the parameters.
#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

#include "render/layout.h"
#include "render/skin_loader.h"

namespace kestrel {

class control_parameters;

struct look_colours {
    QColor status{Qt::black};
    QColor display{Qt::black};
    QColor button{Qt::black};
    QColor flash{Qt::black};
    QColor slider_body{Qt::black};
    QColor slider_hilite{Qt::black};
    QColor slider_shadow{Qt::black};
};

struct look_fonts {
    QStringList status;
    QStringList display;
    QStringList button;
};

// A red-in-low-byte colour value as a QColor.
QColor colour_of(uint32_t colorref);

class render_state {
  public:
    layout_cache& layout() { return m_layout; }
    const control_layout& current() const { return m_layout.layout(); }
    control_layout& current() { return m_layout.layout(); }

    // The skin files are read again only when a name or the folder changed.
    // Returns true when they were.
    bool load_skin(const skin_loader& loader, const QString& folder, const QString& background,
                   const QString& down);
    const skin_images& skin() const { return m_skin; }

    // The skin images stretched to the size (nearest neighbour), made again
    // only when the size or the images change. Null pixmaps when missing or
    // the size is empty.
    const QPixmap& scaled_background(QSize size);
    const QPixmap& scaled_down(QSize size);

    // Colours and font lists from the parameter table.
    void read_colours(const control_parameters& parameters);
    void read_fonts(const control_parameters& parameters);
    const look_colours& colours() const { return m_colours; }
    const look_fonts& fonts() const { return m_fonts; }

    // Bytes held by the images and pixmaps.
    size_t cache_bytes() const;

  private:
    struct scaled {
        QSize size;
        QPixmap pixmap;
    };
    static const QPixmap& scale(const QImage& image, QSize size, scaled& cache);

    layout_cache m_layout;
    QString m_folder, m_background_name, m_down_name;
    bool m_skin_read = false;
    skin_images m_skin;
    scaled m_scaled_background, m_scaled_down;
    look_colours m_colours;
    look_fonts m_fonts;
};

}  // namespace kestrel
