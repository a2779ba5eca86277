#include "render/render_state.h"

#include "parameters/control_parameters.h"
#include "parameters/text_lists.h"

namespace kestrel {

namespace {

QColor colour_parameter(const control_parameters& parameters, const char* name) {
    return colour_of(ConvertTextToRGB(parameters.GetHTMLParameter(name)));
}

QStringList face_list(const control_parameters& parameters, const char* name) {
    QStringList faces;
    for (const std::string& face : split(parameters.GetHTMLParameter(name), '|'))
        faces << QString::fromStdString(face);
    return faces;
}

size_t image_bytes(const QImage& image) {
    return static_cast<size_t>(image.sizeInBytes());
}

size_t pixmap_bytes(const QPixmap& pixmap) {
    return static_cast<size_t>(pixmap.width()) * pixmap.height() * pixmap.depth() / 8;
}

}  // namespace

QColor colour_of(uint32_t colorref) {
    return QColor(colorref & 0xFF, colorref >> 8 & 0xFF, colorref >> 16 & 0xFF);
}

bool render_state::load_skin(const skin_loader& loader, const QString& folder,
                             const QString& background, const QString& down) {
    if (m_skin_read && folder == m_folder && background == m_background_name && down == m_down_name)
        return false;
    m_skin = loader.load(folder, background, down);
    m_folder = folder;
    m_background_name = background;
    m_down_name = down;
    m_skin_read = true;
    m_scaled_background = {};
    m_scaled_down = {};
    return true;
}

const QPixmap& render_state::scale(const QImage& image, QSize size, scaled& cache) {
    if (cache.size == size) return cache.pixmap;
    cache.size = size;
    cache.pixmap =
        image.isNull() || size.isEmpty()
            ? QPixmap()
            : QPixmap::fromImage(image.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    return cache.pixmap;
}

const QPixmap& render_state::scaled_background(QSize size) {
    return scale(m_skin.background, size, m_scaled_background);
}

const QPixmap& render_state::scaled_down(QSize size) {
    return scale(m_skin.down, size, m_scaled_down);
}

void render_state::read_colours(const control_parameters& parameters) {
    m_colours.status = colour_parameter(parameters, "StatusTextColor");
    m_colours.display = colour_parameter(parameters, "DisplayTextColor");
    m_colours.button = colour_parameter(parameters, "ButtonTextColor");
    m_colours.flash = colour_parameter(parameters, "FlashColor");
    m_colours.slider_body = colour_parameter(parameters, "SliderBodyColor");
    m_colours.slider_hilite = colour_parameter(parameters, "SliderHiLiteColor");
    m_colours.slider_shadow = colour_parameter(parameters, "SliderShadowColor");
}

void render_state::read_fonts(const control_parameters& parameters) {
    m_fonts.status = face_list(parameters, "StatusFonts");
    m_fonts.display = face_list(parameters, "DisplayFonts");
    m_fonts.button = face_list(parameters, "ButtonFonts");
}

size_t render_state::cache_bytes() const {
    return image_bytes(m_skin.background) + image_bytes(m_skin.down) +
           pixmap_bytes(m_scaled_background.pixmap) + pixmap_bytes(m_scaled_down.pixmap);
}

}  // namespace kestrel
