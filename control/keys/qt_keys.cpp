#include "keys/qt_keys.h"

#include <Qt>
#include <array>

#include "keys/virtual_keys.h"

namespace kestrel {

namespace {

struct qt_key_row {
    int qt_key;
    int32_t key;
};

constexpr std::array<qt_key_row, 19> k_named_keys{{
    {Qt::Key_Return, VK_RETURN},
    {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_Backspace, VK_BACK},
    {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Clear, VK_CLEAR},
    {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR},
    {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},
    {Qt::Key_Down, VK_DOWN},
    {Qt::Key_F6, VK_F6},
    {Qt::Key_F7, VK_F7},
    {Qt::Key_F8, VK_F8},
    {Qt::Key_F9, VK_F9},
    {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},
    {Qt::Key_Period, VK_OEM_PERIOD},
}};

}  // namespace

int32_t virtual_key_of(int qt_key, bool keypad, const QString& text) {
    if (keypad) {
        if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return VK_NUMPAD0 + (qt_key - Qt::Key_0);
        if (qt_key == Qt::Key_Asterisk) return VK_MULTIPLY;
        if (qt_key == Qt::Key_Enter || qt_key == Qt::Key_Return) return VK_RETURN;
    } else {
        if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return '0' + (qt_key - Qt::Key_0);
        if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) return 'A' + (qt_key - Qt::Key_A);
        if (qt_key == Qt::Key_Minus) return VK_OEM_MINUS;
        if (qt_key == Qt::Key_Equal) return VK_OEM_PLUS;
        for (const qt_key_row& row : k_named_keys)
            if (row.qt_key == qt_key) return row.key;
    }
    // Shifted characters and the keypad's "-", "+", ".": by what they type.
    if (text.size() == 1 && text.at(0).unicode() < 0x80) {
        const int32_t scan = key_scan_of_char(static_cast<char>(text.at(0).unicode()));
        if (scan >= 0) return scan;
    }
    return -1;
}

}  // namespace kestrel
