#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <memory>

#include "keys/virtual_keys.h"
#include "phone/active_x_phone.h"
#include "state/state_fixture.h"

namespace voxline::test {
namespace {

using kestrel::active_x_phone;

// A control on a fake engine, logged on and idle in browser mode.
class phone_keys : public ::testing::Test {
  protected:
    void SetUp() override {
        m_control =
            new active_x_phone(fake_environment(m_pool, "keys"), std::make_unique<one_adapter>());
        m_control->SetParameter("ParametersToExpect", "0");
        m_control->InitialSetup();
        engine().raise([](IVXLCallback* s) { return s->ConnectedToCallAgent(); });
        test_control::deliver();
        ASSERT_EQ(m_control->call_state(), kestrel::CALLSTATE_IDLE);
    }
    void TearDown() override { m_control->Release(); }

    fake_engine& engine() { return *m_pool->created.back(); }
    std::string execute(const char* command, const char* p1 = "", const char* p2 = "") {
        char* result = nullptr;
        EXPECT_EQ(m_control->ExecuteCommand(command, p1, p2, &result), KESTREL_S_OK);
        std::string text = result ? result : "";
        std::free(result);
        return text;
    }
    std::string last_ten() {
        char* result = nullptr;
        m_control->GetLastTenDialed(&result);
        std::string text = result ? result : "";
        std::free(result);
        return text;
    }
    void send_key(QEvent::Type type, int key, const QString& text, bool repeat = false) {
        QKeyEvent event(type, key, Qt::NoModifier, text, repeat);
        QCoreApplication::sendEvent(m_control->Widget(), &event);
    }

    std::shared_ptr<engine_pool> m_pool = std::make_shared<engine_pool>();
    active_x_phone* m_control = nullptr;
};

TEST_F(phone_keys, dial_number_types_each_character_as_itself) {
    EXPECT_EQ(m_control->DialNumber("(600)"), KESTREL_S_OK);
    EXPECT_EQ(m_control->display_text(), "(600)");
    // Only the digits reach the engine, each as it is typed.
    EXPECT_EQ(engine().count("GenericCommand 1 0"), 3u);
    m_control->DialNumber("a#!");
    EXPECT_EQ(m_control->display_text(), "(600)2#");
    EXPECT_EQ(last_ten(), ";;;;;;;;;;");
}

TEST_F(phone_keys, dialling_stops_at_twenty_digits) {
    m_control->DialNumber("123456789012345678901234");
    EXPECT_EQ(m_control->display_text(), "12345678901234567890");
    EXPECT_EQ(engine().count("GenericCommand 1 0"), 20u);
}

TEST_F(phone_keys, enter_places_the_call_and_redial_browses_it_back) {
    m_control->DialNumber("601");
    m_control->OnKeyDown(kestrel::VK_RETURN);
    m_control->OnKeyUp(kestrel::VK_RETURN);
    EXPECT_EQ(engine().count("Call 601"), 1u);
    EXPECT_EQ(last_ten(), "601;;;;;;;;;;");
    m_control->OnKeyDown(kestrel::VK_DOWN);
    EXPECT_EQ(m_control->display_text(), "601");
    m_control->OnKeyDown(kestrel::VK_UP);
    EXPECT_EQ(m_control->display_text(), "");
}

TEST_F(phone_keys, shift_types_shifted_characters_and_releases_its_keys) {
    m_control->OnKeyDown(kestrel::VK_SHIFT);
    m_control->OnKeyDown('3');
    m_control->OnKeyDown('9');
    EXPECT_EQ(m_control->display_text(), "#(");
    EXPECT_TRUE(m_control->held_keys()[12]);
    EXPECT_TRUE(m_control->held_keys()[20]);
    m_control->OnKeyUp(kestrel::VK_SHIFT);
    EXPECT_FALSE(m_control->held_keys()[12]);
    EXPECT_FALSE(m_control->held_keys()[20]);
    // Without Shift the same key is a digit again.
    m_control->OnKeyDown('3');
    EXPECT_EQ(m_control->display_text(), "#(3");
}

TEST_F(phone_keys, auto_repeat_presses_again_and_drops_its_releases) {
    send_key(QEvent::KeyPress, Qt::Key_5, "5");
    send_key(QEvent::KeyRelease, Qt::Key_5, "5", true);
    send_key(QEvent::KeyPress, Qt::Key_5, "5", true);
    EXPECT_EQ(m_control->display_text(), "55");
    EXPECT_TRUE(m_control->held_keys()[5]);
    send_key(QEvent::KeyRelease, Qt::Key_5, "5");
    EXPECT_FALSE(m_control->held_keys()[5]);
    send_key(QEvent::KeyPress, Qt::Key_Backspace, "");
    EXPECT_EQ(m_control->display_text(), "5");
}

TEST_F(phone_keys, execute_command_runs_the_generic_commands) {
    EXPECT_EQ(execute("onchar", "#"), "OK");
    EXPECT_EQ(execute("OnKeyDown", "65", "TRUE"), "OK");  // 'A' on the keypad's 2
    EXPECT_EQ(m_control->display_text(), "#2");
    EXPECT_EQ(execute("BEEP"), "OK");
    EXPECT_EQ(engine().count("GenericCommand 2 0"), 1u);
    EXPECT_EQ(execute("x", "1", "2"), "Failure, command 'x' unknown");
    EXPECT_EQ(m_control->custom_message(), "Cmd(x,1,2)");
    EXPECT_EQ(execute("CallNumber", "600"), "OK");
    EXPECT_EQ(engine().count("Call 600"), 1u);
    EXPECT_EQ(execute("hangup"), "OK");
    EXPECT_EQ(engine().count("Hangup"), 1u);
}

TEST_F(phone_keys, shift_f6_takes_the_dialog_caption_and_font_as_they_are_now) {
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
    m_control->OnKeyDown(kestrel::VK_F6);  // no Shift: no diagnostic key
    EXPECT_EQ(m_control->dialog_texts().button, "OK");
    m_control->OnKeyDown(kestrel::VK_SHIFT);
    m_control->OnKeyDown(kestrel::VK_F6);
    m_control->OnKeyUp(kestrel::VK_SHIFT);
    EXPECT_EQ(m_control->dialog_texts().button, "Sure");
    EXPECT_EQ(m_control->dialog_texts().font, "Verdana");

    // The audio-device dialog of a ringing call wears the prepared caption,
    // not a later one, with the current title and text.
    m_control->SetParameter("MiscMessages", misc("Later").c_str());
    engine().raise([](IVXLCallback* s) { return s->Ringing("5550100"); });
    test_control::deliver();
    m_control->AnswerRingingCall();
    engine().raise([](IVXLCallback* s) { return s->Status(6, VXL_E_SOUND_INPUT_IN_USE); });
    test_control::deliver();
    auto* dialog = m_control->Widget()->findChild<QDialog*>("audio_in_use");
    ASSERT_NE(dialog, nullptr);
    auto* button = dialog->findChild<QPushButton*>();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Sure");
    EXPECT_EQ(dialog->windowTitle(), "Busy audio");
    EXPECT_EQ(dialog->font().family(), "Verdana");
    dialog->close();
}

TEST_F(phone_keys, shift_ctrl_f8_asks_for_the_adapter_with_the_texts_as_they_are_now) {
    // Misc entries 4..6: title, prompt, caption; 7: the LAN label.
    m_control->SetParameter("MiscMessages",
                            "m0|m1|m2|m3|Which one?|Pick it|Use it|LAN %1|Modem %1|m9|m10");
    for (int key : {kestrel::VK_SHIFT, kestrel::VK_CONTROL, kestrel::VK_F8})
        m_control->OnKeyDown(key);
    m_control->OnKeyUp(kestrel::VK_CONTROL);
    m_control->OnKeyUp(kestrel::VK_SHIFT);
    auto* dialog = m_control->Widget()->findChild<QDialog*>("adapterDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Which one?");
    EXPECT_EQ(dialog->findChild<QPushButton*>()->text(), "Use it");
    EXPECT_TRUE(dialog->findChild<QComboBox*>("adapters")->itemText(0).startsWith("LAN eth0"));
    dialog->reject();
}

TEST(phone_commands, beep_without_an_engine_fails) {
    auto* control = new active_x_phone(fake_environment(std::make_shared<engine_pool>(), "beep"),
                                       std::make_unique<one_adapter>());
    char* result = nullptr;
    control->ExecuteCommand("beep", "", "", &result);
    EXPECT_STREQ(result, "Failure, no Vocoder");
    std::free(result);
    control->Release();
}

}  // namespace
}  // namespace voxline::test
