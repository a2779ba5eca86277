#include <gtest/gtest.h>

#include <QMouseEvent>
#include <cstdlib>
#include <memory>

#include "mixer/control_mixer.h"
#include "phone/active_x_phone.h"
#include "state/state_fixture.h"

namespace voxline::test {
namespace {

using kestrel::active_x_phone;
using kestrel::layout_point;
using kestrel::slider_kind;

// A control on a fake engine, logged on and idle in browser mode, with the
// initial Layout (B) on a 275x190 window: key 6 spans 218..267 x 81..110,
// the speaker track 119..167 x 31..43, the microphone track 37..85 x 31..43.
class phone_mouse : public ::testing::Test {
  protected:
    void start(bool with_mixer, const char* orientation = "Horizontal") {
        if (!with_mixer) setenv("KESTREL_MIXER", "none", 1);
        m_control = new active_x_phone(fake_environment(m_pool, "mouse"),  // virtual sound too
                                       std::make_unique<one_adapter>());
        m_control->SetParameter("ParametersToExpect", "0");
        m_control->SetParameter("SliderOrientation", orientation);
        m_control->InitialSetup();
        unsetenv("KESTREL_MIXER");
        m_pool->created.back()->raise([](IVXLCallback* s) { return s->ConnectedToCallAgent(); });
        test_control::deliver();
    }
    void TearDown() override { m_control->Release(); }

    void mouse(QEvent::Type type, int x, int y, Qt::MouseButton button = Qt::LeftButton) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
        QMouseEvent event(type, QPointF(x, y), QPointF(x, y),
                          type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(m_control->Widget(), &event);
    }
    layout_point speaker() { return m_control->current_layout().speaker_thumb; }
    layout_point mic() { return m_control->current_layout().mic_thumb; }

    std::shared_ptr<engine_pool> m_pool = std::make_shared<engine_pool>();
    std::unique_ptr<kestrel::control_mixer> m_levels;  // the same levels, as another program
    active_x_phone* m_control = nullptr;
};

TEST_F(phone_mouse, keys_click_at_the_release_or_when_the_mouse_leaves_them) {
    start(true);
    mouse(QEvent::MouseButtonPress, 218, 81);
    EXPECT_EQ(m_control->mouse_key(), 6);
    EXPECT_EQ(m_control->display_text(), "");  // nothing until the release
    mouse(QEvent::MouseButtonRelease, 218, 81);
    EXPECT_EQ(m_control->display_text(), "6");

    // Leaving across the right edge (x 268 is outside) clicks; the release then does nothing.
    mouse(QEvent::MouseButtonPress, 240, 90);
    mouse(QEvent::MouseMove, 267, 110);
    EXPECT_EQ(m_control->mouse_key(), 6);
    mouse(QEvent::MouseMove, 268, 90);
    EXPECT_EQ(m_control->mouse_key(), -1);
    EXPECT_EQ(m_control->display_text(), "66");
    mouse(QEvent::MouseButtonRelease, 268, 90);
    EXPECT_EQ(m_control->display_text(), "66");

    // A double-click on 0 (161..210 x 154..183) is two clicks; the right button none.
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
        mouse(type, 170, 160);
    mouse(QEvent::MouseButtonPress, 170, 160, Qt::RightButton);
    mouse(QEvent::MouseButtonRelease, 170, 160, Qt::RightButton);
    EXPECT_EQ(m_control->display_text(), "6600");
}

TEST_F(phone_mouse, a_drag_moves_one_slider_and_the_thumbs_follow_the_mixer_otherwise) {
    m_levels = kestrel::control_mixer::open(nullptr);
    ASSERT_TRUE(m_levels);
    m_levels->set_speaker_level(0.5);
    m_levels->set_microphone_level(0.5);
    start(true);
    // Mixer levels 0.5: thumbs at the middle of the 48-pixel tracks.
    EXPECT_EQ(speaker(), (layout_point{143, 37}));
    EXPECT_EQ(mic(), (layout_point{61, 37}));

    mouse(QEvent::MouseButtonPress, 131, 33);
    EXPECT_EQ(m_control->dragged_slider(), slider_kind::speaker);
    EXPECT_DOUBLE_EQ(*m_levels->speaker_level(), 0.25);
    EXPECT_EQ(speaker(), (layout_point{131, 37}));
    // Onto the microphone track: neither slider moves.
    mouse(QEvent::MouseMove, 60, 37);
    EXPECT_EQ(speaker(), (layout_point{131, 37}));
    EXPECT_DOUBLE_EQ(*m_levels->microphone_level(), 0.5);
    mouse(QEvent::MouseMove, 167, 43);
    EXPECT_DOUBLE_EQ(*m_levels->speaker_level(), 1.0);
    EXPECT_EQ(speaker(), (layout_point{167, 37}));

    // A change from elsewhere during the drag leaves the thumbs alone...
    m_levels->set_microphone_level(0.75);
    m_control->UpdateAudioLevels();
    EXPECT_EQ(mic(), (layout_point{61, 37}));
    mouse(QEvent::MouseButtonRelease, 167, 43);
    EXPECT_EQ(m_control->dragged_slider(), slider_kind::none);
    // ...and after it the mixer's notice moves them.
    m_levels->set_microphone_level(0.25);
    for (int i = 0; i < 100 && mic().x != 49; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(mic(), (layout_point{49, 37}));
}

TEST_F(phone_mouse, without_a_mixer_thumbs_start_at_level_zero_and_keep_a_dragged_level) {
    start(false, "Vertical");
    // Vertical: full level at the top, so level 0 sits on the bottom edge.
    EXPECT_EQ(mic(), (layout_point{61, 43}));
    mouse(QEvent::MouseButtonPress, 50, 34);  // a quarter down the track: level 0.75
    mouse(QEvent::MouseButtonRelease, 50, 34);
    EXPECT_EQ(mic(), (layout_point{61, 34}));
    // A new layout pass keeps the level shown.
    m_control->Widget()->resize(300, 200);
    m_control->RefreshLocationRects(QRect(0, 0, 300, 200));
    EXPECT_EQ(mic(), (layout_point{61, 34}));
    EXPECT_EQ(speaker(), (layout_point{143, 43}));
}

}  // namespace
}  // namespace voxline::test
