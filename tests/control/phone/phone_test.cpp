// The phone under keys and the mouse: a control on a fake engine, logged on
// and idle in browser mode, with the initial Layout (B) on a 275x190 window:
// key 6 spans 218..267 x 81..110, the speaker track 119..167 x 31..43, the
// microphone track 37..85 x 31..43.
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <cstdlib>

#include "keys/virtual_keys.h"
#include "mixer/control_mixer.h"
#include "state/state_fixture.h"

namespace voxline::test {
namespace {

using namespace kestrel;

class phone : public ::testing::Test {
  protected:
    void start(bool with_mixer = false, const char* orientation = "Horizontal") {
        if (!with_mixer) setenv("KESTREL_MIXER", "none", 1);
        m_control = make_phone(m_pool);  // virtual sound too
        m_control->SetParameter("ParametersToExpect", "0");
        m_control->SetParameter("SliderOrientation", orientation);
        m_control->InitialSetup();
        unsetenv("KESTREL_MIXER");
        log_on(engine());
        ASSERT_EQ(m_control->call_state(), CALLSTATE_IDLE);
    }
    fake_engine& engine() { return m_pool->engine(); }
    std::string text() { return m_control->display_text(); }
    std::string dial(const char* typed) {
        m_control->DialNumber(typed);
        return text();
    }
    std::string press(int key) {
        m_control->OnKeyDown(key);
        return text();
    }
    std::string execute(const char* command, const char* p1 = "", const char* p2 = "") {
        char* result = nullptr;
        EXPECT_EQ(m_control->ExecuteCommand(command, p1, p2, &result), KESTREL_S_OK);
        return take(result);
    }
    void send_key(QEvent::Type type, int key, const QString& text, bool repeat = false) {
        QKeyEvent event(type, key, Qt::NoModifier, text, repeat);
        QCoreApplication::sendEvent(m_control->Widget(), &event);
    }
    void mouse(QEvent::Type type, int x, int y, Qt::MouseButton button = Qt::LeftButton) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
        QMouseEvent event(type, QPointF(x, y), QPointF(x, y),
                          type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(m_control->Widget(), &event);
    }
    layout_point speaker() { return m_control->current_layout().speaker_thumb; }
    layout_point mic() { return m_control->current_layout().mic_thumb; }

    std::shared_ptr<engine_pool> m_pool = std::make_shared<engine_pool>();
    phone_ptr m_control;
};

TEST_F(phone, dialled_characters_then_enter_and_redial) {
    start();
    EXPECT_EQ(m_control->DialNumber("(600)"), KESTREL_S_OK);
    // Only the digits reach the engine, each as it is typed.
    EXPECT_EQ(std::tuple(text(), engine().count("GenericCommand 1 0")), std::tuple("(600)", 3u));
    EXPECT_EQ(dial("a#!"), "(600)2#");
    EXPECT_EQ(press(VK_ESCAPE), "");
    // Dialling stops at twenty digits.
    EXPECT_EQ(dial("123456789012345678901234"), "12345678901234567890");
    EXPECT_EQ(engine().count("GenericCommand 1 0"), 25u);

    m_control->OnKeyDown(VK_RETURN);
    m_control->OnKeyUp(VK_RETURN);
    EXPECT_EQ(engine().count("Call 12345678901234567890"), 1u);
    EXPECT_EQ(press(VK_DOWN), "12345678901234567890");
    EXPECT_EQ(press(VK_UP), "");
}

TEST_F(phone, shift_auto_repeat_and_commands) {
    start();
    // Shift types shifted characters and releases its keys.
    m_control->OnKeyDown(VK_SHIFT);
    m_control->OnKeyDown('3');
    EXPECT_EQ(press('9'), "#(");
    EXPECT_TRUE(m_control->held_keys()[12] && m_control->held_keys()[20]);
    m_control->OnKeyUp(VK_SHIFT);
    EXPECT_FALSE(m_control->held_keys()[12] || m_control->held_keys()[20]);
    // Without Shift the same key is a digit again.
    EXPECT_EQ(press('3'), "#(3");
    m_control->OnKeyDown(VK_ESCAPE);

    // Auto-repeat presses again and drops its releases.
    send_key(QEvent::KeyPress, Qt::Key_5, "5");
    send_key(QEvent::KeyRelease, Qt::Key_5, "5", true);
    send_key(QEvent::KeyPress, Qt::Key_5, "5", true);
    EXPECT_EQ(std::tuple(text(), m_control->held_keys()[5]), std::tuple("55", true));
    send_key(QEvent::KeyRelease, Qt::Key_5, "5");
    EXPECT_FALSE(m_control->held_keys()[5]);
    send_key(QEvent::KeyPress, Qt::Key_Backspace, "");
    EXPECT_EQ(text(), "5");

    m_control->OnKeyDown(VK_ESCAPE);
    // 'A' on the keypad's 2.
    EXPECT_EQ((std::tuple{execute("onchar", "#"), execute("OnKeyDown", "65", "TRUE"),
                          execute("BEEP"), text(), engine().count("GenericCommand 2 0")}),
              std::tuple("OK", "OK", "OK", "#2", 1u));
    EXPECT_EQ((std::tuple{execute("x", "1", "2"), m_control->custom_message()}),
              std::tuple("Failure, command 'x' unknown", "Cmd(x,1,2)"));
    EXPECT_EQ((std::tuple{execute("CallNumber", "600"), engine().count("Call 600"),
                          execute("hangup"), engine().count("Hangup")}),
              std::tuple("OK", 1u, "OK", 1u));
}

TEST_F(phone, diagnostic_keys_take_the_dialog_texts_as_they_are_now) {
    start();
    // The misc list has 11 entries; entry 6 is the caption, 9 and 10 the
    // audio-device dialog's title and text.
    auto misc = [](const char* caption) {
        return std::string("m0|m1|m2|m3|m4|m5|") + caption + "|m7|m8|Busy audio|Stop the other";
    };
    // Prepared when the first configuration succeeded, and not again by itself.
    m_control->SetParameter("MiscMessages", misc("Sure").c_str());
    m_control->SetParameter("DisplayFonts", "Verdana|Tahoma");
    EXPECT_EQ(m_control->dialog_texts().button, "OK");
    EXPECT_EQ(m_control->dialog_texts().font, "Arial");
    m_control->OnKeyDown(VK_F6);  // no Shift: no diagnostic key
    EXPECT_EQ(m_control->dialog_texts().button, "OK");
    m_control->OnKeyDown(VK_SHIFT);
    m_control->OnKeyDown(VK_F6);
    m_control->OnKeyUp(VK_SHIFT);
    EXPECT_EQ(m_control->dialog_texts().button, "Sure");
    EXPECT_EQ(m_control->dialog_texts().font, "Verdana");

    // The audio-device dialog of a ringing call wears the prepared caption,
    // not a later one, with the current title and text.
    m_control->SetParameter("MiscMessages", misc("Later").c_str());
    engine().raise([](IVXLCallback* s) { return s->Ringing("5550100"); });
    deliver();
    m_control->AnswerRingingCall();
    engine().raise([](IVXLCallback* s) { return s->Status(6, VXL_E_SOUND_INPUT_IN_USE); });
    deliver();
    auto* dialog = m_control->Widget()->findChild<QDialog*>("audio_in_use");
    ASSERT_NE(dialog, nullptr);
    auto* button = dialog->findChild<QPushButton*>();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Sure");
    EXPECT_EQ(dialog->windowTitle(), "Busy audio");
    EXPECT_EQ(dialog->font().family(), "Verdana");
    dialog->close();
}

TEST_F(phone, keys_click_at_the_release_or_when_the_mouse_leaves_them) {
    start(true);
    // Leaving across the right edge (x 268 is outside) clicks; the release then does nothing.
    mouse(QEvent::MouseButtonPress, 240, 90);
    EXPECT_EQ(m_control->display_text(), "");
    mouse(QEvent::MouseMove, 267, 110);
    EXPECT_EQ(m_control->mouse_key(), 6);
    mouse(QEvent::MouseMove, 268, 90);
    EXPECT_EQ(std::tuple(m_control->mouse_key(), m_control->display_text()), std::tuple(-1, "6"));
    mouse(QEvent::MouseButtonRelease, 268, 90);
    EXPECT_EQ(m_control->display_text(), "6");

    // A double-click on 0 (161..210 x 154..183) is two clicks; the right button none.
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
        mouse(type, 170, 160);
    mouse(QEvent::MouseButtonPress, 170, 160, Qt::RightButton);
    mouse(QEvent::MouseButtonRelease, 170, 160, Qt::RightButton);
    EXPECT_EQ(m_control->display_text(), "600");
}

TEST_F(phone, a_drag_moves_one_slider_and_the_thumbs_follow_the_mixer_otherwise) {
    const auto levels = control_mixer::open(nullptr);  // as another program
    ASSERT_TRUE(levels);
    levels->set_speaker_level(0.5);
    levels->set_microphone_level(0.5);
    start(true);
    // Mixer levels 0.5: thumbs at the middle of the 48-pixel tracks.
    EXPECT_EQ(std::pair(speaker(), mic()), std::pair(layout_point{143, 37}, layout_point{61, 37}));

    mouse(QEvent::MouseButtonPress, 131, 33);
    EXPECT_DOUBLE_EQ(*levels->speaker_level(), 0.25);
    EXPECT_EQ(std::pair(m_control->dragged_slider(), speaker()),
              std::pair(slider_kind::speaker, layout_point{131, 37}));
    // Onto the microphone track: neither slider moves.
    mouse(QEvent::MouseMove, 60, 37);
    EXPECT_EQ(speaker(), (layout_point{131, 37}));
    EXPECT_DOUBLE_EQ(*levels->microphone_level(), 0.5);
    mouse(QEvent::MouseMove, 167, 43);
    EXPECT_DOUBLE_EQ(*levels->speaker_level(), 1.0);
    EXPECT_EQ(speaker(), (layout_point{167, 37}));

    // A change from elsewhere during the drag leaves the thumbs alone...
    levels->set_microphone_level(0.75);
    m_control->UpdateAudioLevels();
    EXPECT_EQ(mic(), (layout_point{61, 37}));
    mouse(QEvent::MouseButtonRelease, 167, 43);
    EXPECT_EQ(m_control->dragged_slider(), slider_kind::none);
    // ...and after it the mixer's notice moves them.
    levels->set_microphone_level(0.25);
    for (int i = 0; i < 100 && mic().x != 49; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(mic(), (layout_point{49, 37}));
}

TEST_F(phone, without_a_mixer_thumbs_start_at_level_zero_and_keep_a_dragged_level) {
    start(false, "Vertical");
    // Vertical: full level at the top, so level 0 sits on the bottom edge.
    EXPECT_EQ(mic(), (layout_point{61, 43}));
    mouse(QEvent::MouseButtonPress, 50, 34);  // a quarter down the track: level 0.75
    mouse(QEvent::MouseButtonRelease, 50, 34);
    EXPECT_EQ(mic(), (layout_point{61, 34}));
    // A new layout pass keeps the level shown.
    m_control->Widget()->resize(300, 200);
    m_control->RefreshLocationRects(QRect(0, 0, 300, 200));
    EXPECT_EQ(std::pair(mic(), speaker()), std::pair(layout_point{61, 34}, layout_point{143, 43}));
}

}  // namespace
}  // namespace voxline::test
