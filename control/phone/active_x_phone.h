// The control object the container holds: IActiveXPhone over CVXLControl.
// It keeps the window, the container's sink, property access and
// persistence, the keys and the redial list.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "kestrel/kestrel.h"
#include "keys/key_mapping.h"
#include "keys/redial_list.h"
#include "mixer/control_mixer.h"
#include "network/adapter_detection.h"
#include "render/hit_test.h"
#include "render/render_state.h"
#include "state/vxl_control.h"

class QPainter;

namespace kestrel {

class active_x_phone : public QObject, public CVXLControl, public IActiveXPhone {
    Q_OBJECT
  public:
    // interfaces: what adapter detection reads; null: the system's.
    explicit active_x_phone(control_environment environment = {},
                            std::unique_ptr<interface_source> interfaces = nullptr);
    ~active_x_phone() override;

    uint32_t AddRef() override;
    uint32_t Release() override;

    int32_t PutProperty(int32_t dispid, const char* szValue) override;
    int32_t GetProperty(int32_t dispid, char** pszValue) override;
    int32_t CallNumber(const char* szNumberToCall) override;
    int32_t Hangup() override;
    int32_t ExecuteCommand(const char* szCommand, const char* szParam1, const char* szParam2,
                           char** pszRetVal) override;
    int32_t SetParameter(const char* szParamName, const char* szParamValue) override;
    int32_t GetParameter(const char* szParamName, char** pszRetVal) override;
    int32_t GetLastTenDialed(char** pszLastTenDialed) override;
    int32_t DialNumber(const char* szNumberToCall) override;
    int32_t UpdateCallManager() override;
    int32_t Advise(IActiveXPhoneEvents* pSink) override;
    int32_t Unadvise() override;
    int32_t LoadPropertyBag(const char* szBag) override;
    int32_t SavePropertyBag(char** pszBag) override;
    int32_t IsDirty() override;
    QWidget* Widget() override;
    int32_t GetDiagnosticState(char** pszJson) override;
    int32_t StartMicLevel() override;
    int32_t StopMicLevel() override;

    // Keys by virtual-key number; a high byte KEY_SHIFT_STATE types shifted.
    void OnKeyDown(int32_t key);
    void OnKeyUp(int32_t key);
    // index 0..21; by mouse the action follows at the release.
    void PushButton(int index, bool by_mouse);
    // By keyboard, index -1 releases every key.
    void ReleaseButton(int index, bool by_mouse);
    void ClickButton(int index);
    // The left mouse button at client coordinates; a double-click is a down.
    void OnLButtonDown(int x, int y);
    void OnLButtonUp();
    void OnMouseMove(int x, int y);
    // Moves the thumbs to the mixer's levels, unless a slider is being dragged.
    void UpdateAudioLevels();
    // The slider being dragged, if any.
    slider_kind dragged_slider() const { return m_dragging; }
    // The key the mouse holds, -1 for none.
    int mouse_key() const { return m_mouse_key; }
    std::string ExecuteGenericCommand(const std::string& command, const std::string& p1,
                                      const std::string& p2);
    void DumpDebugVariables();
    // Keys held down by the keyboard, for drawing.
    const std::array<bool, KEY_COUNT>& held_keys() const { return m_held_keys; }

    // The rectangles, slider orientation and thumb centres of the last
    // layout pass, for hit-testing and the sliders.
    control_layout& current_layout() { return m_render.current(); }

    // Draws the phone over bounds; dirty (when not null) is the part that
    // needs drawing again.
    void OnDraw(QPainter& painter, const QRect& bounds, const QRect& dirty = {});
    // Recomputes a stale layout for the bounds; the first computation also
    // queues the initial set-up.
    void RefreshLocationRects(const QRect& client);
    // The settings and the look for the client rectangle.
    void ReadHTMLParameters(const QRect& client);
    void ReadHTMLParameters() override;
    const render_state& render() const { return m_render; }

    bool eventFilter(QObject* watched, QEvent* event) override;

  protected:
    void InvalidateRect(control_area area) override;
    QWidget* GetHwnd() override;
    std::optional<std::string> GetCurrentLoadPercentagesOfCallManagers(
        const std::string& list) override;
    std::string GetCallerIDNameFromNumber(const std::string& number) override;
    void ChangeQuillonState(int32_t state, const std::string& parameter1,
                            const std::string& parameter2) override;
    void WriteJavaConsoleMessage(int32_t type, const std::string& source,
                                 const std::string& message) override;
    std::string ExecuteJavaScriptCommand(const std::string& command) override;
    void PrepareInitialSetup() override;
    void RecordDialledNumber(const std::string& number) override;
    void MicLevelChanged(int32_t level) override;

  private:
    // Runs once, on the last Release or when the container deletes the window.
    void close_control();
    void diagnostic_key(int32_t vk, bool ctrl);
    // The adapter dialog's texts as the settings have them now.
    void load_adapter_texts();
    void open_mixer();
    // Left-button presses, double-clicks, moves and releases; true when taken.
    bool mouse_event(QEvent* event);
    void drag_slider(slider_kind slider, layout_point point);
    // Puts the thumbs at the levels they show, on the current layout.
    void place_thumbs();
    void invalidate_layout_rect(int index);
    // The look up to the colours: layout, thumbs, skin.
    void read_look(const QRect& client);
    void read_skin_and_colours();
    void show_skin_error(const QString& text);

    std::atomic<uint32_t> m_refs{1};
    bool m_closed = false;
    bool m_dirty = false;
    IActiveXPhoneEvents* m_sink = nullptr;
    QPointer<QWidget> m_widget;
    std::unique_ptr<adapter_chooser> m_adapters;

    bool m_setup_queued = false;  // the initial set-up follows the first layout pass
    render_state m_render;
    skin_loader m_skin_loader;
    QRect m_last_bounds;
    redial_list m_redial;
    bool m_shift = false;
    bool m_ctrl = false;
    std::vector<int> m_shifted_keys;  // pressed while Shift was held, in order
    std::array<bool, KEY_COUNT> m_held_keys{};
    int m_mouse_key = -1;
    slider_kind m_dragging = slider_kind::none;
    std::unique_ptr<control_mixer> m_mixer;  // null: no mixer
    // The levels the thumbs show, kept across layout passes.
    double m_speaker_level = 0;
    double m_mic_level = 0;
    std::array<int8_t, 256> m_key_index_down = filled_key_table();

    static std::array<int8_t, 256> filled_key_table() {
        std::array<int8_t, 256> table;
        table.fill(-1);
        return table;
    }
};

// The factory behind KestrelCreateInstance.
int32_t create_control(const char* class_name, IActiveXPhone** control);

// Copies text into a malloc'ed string for the container.
int32_t return_text(const std::string& text, char** out);

}  // namespace kestrel
