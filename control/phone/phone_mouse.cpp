// The phone under the mouse: keys pressed and clicked at the release, the two
// level sliders dragged, and the thumbs following the mixer.
#include <QMouseEvent>
#include <QWidget>

#include "phone/active_x_phone.h"

namespace kestrel {

namespace {

int area_of(slider_kind slider) {
    return slider == slider_kind::speaker ? RECT_SPEAKER_AREA : RECT_MIC_AREA;
}

}  // namespace

void active_x_phone::OnLButtonDown(int x, int y) {
    if (m_closed) return;
    if (m_widget) m_widget->setFocus(Qt::MouseFocusReason);
    m_dragging = slider_kind::none;
    const layout_point point{x, y};
    const control_layout& layout = current_layout();
    const int key = key_at(layout, point, browser_mode());
    if (key >= 0) {
        PushButton(key, true);
        return;
    }
    const slider_kind slider = slider_at(layout, point);
    if (slider == slider_kind::none) return;
    m_dragging = slider;
    drag_slider(slider, point);
}

void active_x_phone::OnMouseMove(int x, int y) {
    if (m_closed) return;
    const layout_point point{x, y};
    if (m_mouse_key >= 0) {
        if (!key_contains(current_layout().rects[m_mouse_key], point))
            ReleaseButton(m_mouse_key, true);
        return;
    }
    if (m_dragging != slider_kind::none) drag_slider(m_dragging, point);
}

void active_x_phone::OnLButtonUp() {
    if (m_closed) return;
    if (m_mouse_key >= 0) ReleaseButton(m_mouse_key, true);
    m_dragging = slider_kind::none;
}

bool active_x_phone::mouse_event(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::MouseButtonRelease && type != QEvent::MouseMove)
        return false;
    // A click can come before the first paint or right after a resize: hit
    // the rectangles of the window as it is.
    if (m_widget && m_render.layout().stale()) RefreshLocationRects(m_widget->rect());
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->position().toPoint();
    if (type == QEvent::MouseMove) {
        OnMouseMove(at.x(), at.y());
    } else if (mouse->button() != Qt::LeftButton) {
        return false;
    } else if (type == QEvent::MouseButtonRelease) {
        OnLButtonUp();
    } else {
        OnLButtonDown(at.x(), at.y());
    }
    return true;
}

void active_x_phone::drag_slider(slider_kind slider, layout_point point) {
    control_layout& layout = current_layout();
    const std::optional<slider_position> position = slider_position_at(layout, slider, point);
    if (!position) return;
    if (slider == slider_kind::speaker) {
        m_speaker_level = position->level;
        layout.speaker_thumb = position->thumb;
        if (m_mixer) m_mixer->set_speaker_level(position->level);
    } else {
        m_mic_level = position->level;
        layout.mic_thumb = position->thumb;
        if (m_mixer) m_mixer->set_microphone_level(position->level);
    }
    invalidate_layout_rect(area_of(slider));
}

void active_x_phone::place_thumbs() {
    control_layout& layout = current_layout();
    layout.speaker_thumb =
        thumb_centre(layout.rects[RECT_SPEAKER_TRACK], layout.horizontal, m_speaker_level);
    layout.mic_thumb = thumb_centre(layout.rects[RECT_MIC_TRACK], layout.horizontal, m_mic_level);
}

void active_x_phone::UpdateAudioLevels() {
    if (m_dragging != slider_kind::none || !m_mixer) return;
    // A level the mixer cannot read leaves its thumb where it is.
    m_speaker_level = m_mixer->speaker_level().value_or(m_speaker_level);
    m_mic_level = m_mixer->microphone_level().value_or(m_mic_level);
    place_thumbs();
    invalidate_layout_rect(RECT_SPEAKER_AREA);
    invalidate_layout_rect(RECT_MIC_AREA);
}

void active_x_phone::open_mixer() {
    if (m_mixer) return;
    m_mixer = control_mixer::open(&log());
    if (m_mixer)
        connect(m_mixer.get(), &control_mixer::levels_changed, this, [this] {
            if (!m_closed) UpdateAudioLevels();
        });
    UpdateAudioLevels();
}

void active_x_phone::invalidate_layout_rect(int index) {
    const layout_rect& r = current_layout().rects[index];
    if (m_widget && !r.empty()) m_widget->update(r.left, r.top, r.width(), r.height());
}

}  // namespace kestrel
