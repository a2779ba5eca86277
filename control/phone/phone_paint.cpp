// The phone's look: reading it from the parameters, the layout passes and
// drawing.
#include <QMessageBox>
#include <QPainter>

#include "phone/active_x_phone.h"
#include "render/phone_painter.h"
#include "state/call_states.h"

namespace kestrel {

namespace {

constexpr int BUTTON_HANGUP = 2;

QString text_of(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

void active_x_phone::read_look(const QRect& client) {
    RefreshLocationRects(client);
    UpdateAudioLevels();
    read_skin_and_colours();
}

void active_x_phone::read_skin_and_colours() {
    const control_parameters& table = parameters();
    m_render.load_skin(m_skin_loader, skin_folder(),
                       text_of(table.GetHTMLParameter("BackgroundBMP")),
                       text_of(table.GetHTMLParameter("BackgroundDownBMP")));
    m_render.read_colours(table);
}

void active_x_phone::ReadHTMLParameters() {
    ReadHTMLParameters(m_widget ? m_widget->rect() : QRect());
}

void active_x_phone::ReadHTMLParameters(const QRect& client) {
    read_look(client);
    CVXLControl::ReadHTMLParameters();
    m_render.read_fonts(parameters());
    if (m_widget) m_widget->update();
}

void active_x_phone::RefreshLocationRects(const QRect& client) {
    const layout_rect bounds{client.left(), client.top(), client.left() + client.width(),
                             client.top() + client.height()};
    const unsigned builds = m_render.layout().builds();
    const bool first =
        m_render.layout().refresh(bounds, parameters().GetHTMLParameter("Layout"),
                                  parameters().GetHTMLParameter("SliderOrientation"));
    // A new layout has its thumbs at level 0; they keep showing the levels,
    // also while dragging and without a mixer.
    if (m_render.layout().builds() != builds) place_thumbs();
    if (!first || m_setup_queued) return;
    // The set-up may open dialogs and reach the engine: never inside a paint.
    m_setup_queued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_closed) InitialSetup();
        },
        Qt::QueuedConnection);
}

void active_x_phone::OnDraw(QPainter& painter, const QRect& bounds, const QRect& dirty) {
    if (m_closed) return;
    // Until the set-up has read the parameters, each paint reads the look
    // (the images only when their names change).
    if (!initial_setup_complete()) {
        read_skin_and_colours();
        m_render.read_fonts(parameters());
    }
    if (bounds != m_last_bounds) {
        m_render.layout().mark_stale();
        m_last_bounds = bounds;
    }
    if (m_render.layout().stale()) RefreshLocationRects(bounds);
    if (bounds.isEmpty()) return;

    phone_picture picture;
    picture.layout = &m_render.current();
    picture.background = m_render.scaled_background(bounds.size());
    picture.down = m_render.scaled_down(bounds.size());
    picture.colours = m_render.colours();
    picture.fonts = m_render.fonts();
    picture.status_label = text_of(entry(settings().misc_messages, 0));
    picture.status = text_of(GetStatusMessage());
    picture.longest_status = static_cast<int>(settings().longest_status);
    picture.browser_mode = browser_mode();
    picture.custom_message = text_of(custom_message());
    picture.display_text = text_of(display_text());
    picture.caption = text_of(GetButtonMessage());
    picture.caption_on_hangup =
        settings().two_button && button_entry_of(call_state()) == BUTTON_HANGUP;
    for (int i = 0; i < DRAWN_KEYS; ++i) picture.pressed[i] = m_held_keys[i] || m_mouse_key == i;
    paint_phone(painter, bounds, picture, dirty);
}

void active_x_phone::show_skin_error(const QString& text) {
    // Queued and without waiting: the skin is read during paints and
    // parameter changes, which a modal box would re-enter.
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            if (m_closed || !m_widget) return;
            auto* box =
                new QMessageBox(QMessageBox::Warning, QString(), text, QMessageBox::Ok, m_widget);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        },
        Qt::QueuedConnection);
}

}  // namespace kestrel
