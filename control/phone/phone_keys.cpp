// The phone's keys: keyboard and mouse presses, what each key does, redial
// browsing and the diagnostic keys.
#include <QApplication>
#include <QKeyEvent>

#include "keys/key_mapping.h"
#include "keys/qt_keys.h"
#include "keys/virtual_keys.h"
#include "parameters/text_lists.h"
#include "phone/active_x_phone.h"
#include "state/error_states.h"

namespace kestrel {

namespace {

constexpr size_t k_max_dialled_digits = 20;
constexpr int k_button_call = 0;
constexpr int k_button_hangup = 2;
constexpr int k_button_answer = 3;

}  // namespace

bool active_x_phone::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_widget && event->type() == QEvent::Resize) m_render.layout().mark_stale();
    if (watched == m_widget && mouse_event(event)) return true;
    if (watched != m_widget ||
        (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease))
        return QObject::eventFilter(watched, event);
    auto* key_event = static_cast<QKeyEvent*>(event);
    const bool down = event->type() == QEvent::KeyPress;
    // A held key repeats its press only; the one release comes at the end.
    if (!down && key_event->isAutoRepeat()) return true;
    const int32_t key = virtual_key_of(
        key_event->key(), key_event->modifiers().testFlag(Qt::KeypadModifier), key_event->text());
    if (key < 0) return false;
    if (down)
        OnKeyDown(key);
    else
        OnKeyUp(key);
    return true;
}

void active_x_phone::OnKeyDown(int32_t key) {
    if (m_closed) return;
    log().LogFormat(LOG_INFO, "K_OnKeyDown(%d) called.", key);
    const int32_t vk = key & 0xFF;
    const bool shift = m_shift || (key & KEY_SHIFT_STATE);
    if (vk == VK_SHIFT) {
        m_shift = true;
        return;
    }
    if (vk == VK_CONTROL) {
        m_ctrl = true;
        return;
    }
    if (shift && vk >= VK_F6 && vk <= VK_F9) {
        diagnostic_key(vk, m_ctrl || (key & KEY_CTRL_STATE));
        return;
    }
    switch (vk) {
        case VK_DOWN:
        case VK_RIGHT:
        case VK_PRIOR:
            SetDisplayText(m_redial.back());
            InvalidateRect(control_area::display);
            return;
        case VK_UP:
        case VK_LEFT:
        case VK_NEXT:
            SetDisplayText(m_redial.forward());
            InvalidateRect(control_area::display);
            return;
        default:
            break;
    }
    int index = key_index_of_key(vk, shift);
    if (index < 0) return;
    if (index == KEY_CALL && settings().two_button &&
        button_entry_of(call_state()) == k_button_hangup)
        index = KEY_HANGUP;
    // The release finds the key pressed, whatever Shift did in between.
    m_key_index_down[vk] = static_cast<int8_t>(index);
    if (m_shift) m_shifted_keys.push_back(index);
    PushButton(index, false);
}

void active_x_phone::OnKeyUp(int32_t key) {
    if (m_closed) return;
    const int32_t vk = key & 0xFF;
    if (vk == VK_SHIFT) {
        m_shift = false;
        while (!m_shifted_keys.empty()) {
            const int index = m_shifted_keys.back();
            m_shifted_keys.pop_back();
            ReleaseButton(index, false);
        }
        return;
    }
    if (vk == VK_CONTROL) {
        m_ctrl = false;
        return;
    }
    const int index = m_key_index_down[vk];
    if (index < 0) return;
    m_key_index_down[vk] = -1;
    ReleaseButton(index, false);
}

void active_x_phone::PushButton(int index, bool by_mouse) {
    if (index < 0 || index >= KEY_COUNT) return;
    if (index == KEY_HANGUP && !settings().two_button) return;
    if (by_mouse) {
        m_mouse_key = index;
    } else {
        m_held_keys[index] = true;
        ClickButton(index);
    }
    invalidate_layout_rect(index);
}

void active_x_phone::ReleaseButton(int index, bool by_mouse) {
    if (by_mouse) {
        const int key = m_mouse_key;
        if (key < 0) return;
        ClickButton(key);
        m_mouse_key = -1;
        invalidate_layout_rect(key);
    } else if (index < 0) {
        m_held_keys.fill(false);
        InvalidateRect(control_area::whole);
    } else if (index < KEY_COUNT) {
        m_held_keys[index] = false;
        invalidate_layout_rect(index);
    }
}

void active_x_phone::ClickButton(int index) {
    if (m_closed) return;
    const bool two_button = settings().two_button;
    if (index == KEY_CALL || (index == KEY_HANGUP && two_button)) {
        const int button = button_entry_of(call_state());
        const bool may_call = !two_button || index == KEY_CALL;
        const bool may_hang_up = !two_button || index == KEY_HANGUP;
        if (button == k_button_call && may_call)
            PlaceCall();
        else if (button == k_button_answer && may_call)
            AnswerRingingCall();
        else if (button == k_button_hangup && may_hang_up)
            CVXLControl::Hangup();
        return;
    }
    const char c = char_of_key_index(index);
    if (index >= 1 && index <= 12) {
        const std::string digit(1, c);
        if (call_state() == CALLSTATE_CONNECTED) {
            SetDisplayText(display_text() + digit);
            if (ITarnwickVXL* vxl = engine()) {
                const int32_t hr = vxl->SendDigits(digit.c_str());
                if (hr < 0) SetErrorState(TranslateErrorCode(hr, "SendDigits"));
            }
        } else if (call_state() == CALLSTATE_IDLE && browser_mode()) {
            if (dialable_digits(display_text()).size() < k_max_dialled_digits) {
                SetDisplayText(display_text() + digit);
                if (ITarnwickVXL* vxl = engine()) {
                    int32_t in_out = 0;
                    char buffer[1024] = {};
                    vxl->GenericCommand(VXL_COMMAND_SEND_DIGITS, 0, 0, digit.c_str(), nullptr,
                                        &in_out, buffer);
                }
            } else {
                QApplication::beep();
            }
        }
    } else if (index == KEY_DELETE) {
        std::string text = display_text();
        if (!text.empty()) text.pop_back();
        SetDisplayText(text);
    } else if (index == KEY_CLEAR) {
        SetDisplayText({});
    } else if (index >= 16 && index < KEY_COUNT && call_state() == CALLSTATE_IDLE) {
        SetDisplayText(display_text() + c);
    }
    InvalidateRect(control_area::display);
}

void active_x_phone::RecordDialledNumber(const std::string& number) {
    m_redial.record(number);
}

void active_x_phone::diagnostic_key(int32_t vk, bool ctrl) {
    switch (vk) {
        case VK_F6:
            PrepareDialogSettings();
            break;
        case VK_F7:
            for (const auto& row : parameters().entries())
                WriteJavaConsoleMessage(
                    LOG_ALWAYS, DEFAULT_LOG_SOURCE,
                    row.name + " = " + control_parameters::loggable_value(row.name, row.value));
            DumpDebugVariables();
            if (ITarnwickVXL* vxl = engine()) {
                char statistics[1024] = {};
                if (vxl->GetStatistics(0, 0, statistics) >= 0) {
                    statistics[sizeof statistics - 1] = 0;
                    WriteJavaConsoleMessage(LOG_ALWAYS, "Voxline.dll", statistics);
                }
            }
            break;
        case VK_F8:
            load_adapter_texts();
            m_adapters->GetLocalIpAddress(ctrl, [this](bool, const std::string& address) {
                SetLocalIP(address);
                log().LogMessage(LOG_INFO, "Local IP Address returned " + address);
            });
            break;
        case VK_F9:
            if (log().diagnostics()) {
                log().LogMessage(LOG_ALWAYS, "Turning DiagInfo OFF (user pressed <Shift>-F9)");
                log().set_diagnostics(false);
            } else {
                log().set_diagnostics(true);
                log().LogMessage(LOG_ALWAYS, "Turning DiagInfo ON (user pressed <Shift>-F9)");
            }
            break;
        default:
            break;
    }
}

}  // namespace kestrel
