#include "phone/active_x_phone.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "callmanager/call_manager_list.h"
#include "network/adapter_dialog.h"
#include "parameters/property_bag.h"
#include "phone/phone_widget.h"

namespace kestrel {

namespace {

std::string text_of(const char* text) {
    return text ? std::string(text) : std::string();
}

// Takes over a string the sink allocated.
std::string take_text(char* text) {
    std::string out = text ? text : "";
    std::free(text);
    return out;
}

}  // namespace

int32_t return_text(const std::string& text, char** out) {
    if (!out) return KESTREL_E_POINTER;
    *out = static_cast<char*>(std::malloc(text.size() + 1));
    if (!*out) return KESTREL_E_OUTOFMEMORY;
    std::memcpy(*out, text.c_str(), text.size() + 1);
    return KESTREL_S_OK;
}

int32_t create_control(const char* class_name, IActiveXPhone** control) {
    if (!control) return KESTREL_E_POINTER;
    *control = nullptr;
    if (!class_name) return KESTREL_E_CLASS_NOT_REGISTERED;
    for (const char* known : {KESTREL_CLASS_DUAL, KESTREL_CLASS_723, KESTREL_CLASS_729}) {
        if (std::strcmp(class_name, known) != 0) continue;
        // A window needs the container's application object.
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return KESTREL_E_FAIL;
        try {
            *control = new active_x_phone();
            return KESTREL_S_OK;
        } catch (...) {
            return KESTREL_E_OUTOFMEMORY;
        }
    }
    return KESTREL_E_CLASS_NOT_REGISTERED;
}

active_x_phone::active_x_phone(control_environment environment,
                               std::unique_ptr<interface_source> interfaces)
    : CVXLControl(std::move(environment)),
      m_skin_loader(&log(), [this](const QString& text) { show_skin_error(text); }) {
    m_widget = new phone_widget([this](QPainter& painter, const QRect& bounds, const QRect& dirty) {
        OnDraw(painter, bounds, dirty);
    });
    m_widget->setObjectName("kestrelPhone");
    m_widget->resize(275, 190);
    m_widget->setFocusPolicy(Qt::StrongFocus);
    m_widget->installEventFilter(this);
    connect(m_widget, &QObject::destroyed, this, [this] {
        m_widget = nullptr;
        close_control();
    });
    if (!interfaces) interfaces = std::make_unique<system_interface_source>();
    m_adapters = std::make_unique<adapter_chooser>(&log(), std::move(interfaces),
                                                   std::make_unique<adapter_dialog>(m_widget));
}

active_x_phone::~active_x_phone() {
    close_control();
}

void active_x_phone::close_control() {
    if (m_closed) return;
    m_closed = true;
    m_adapters.reset();  // an open adapter dialog goes without answering
    // Still the whole object here, so the hang-up reaches the container.
    CVXLControl::Destroy();
    if (m_sink) m_sink->Release();
    m_sink = nullptr;
    if (m_widget) {
        QWidget* widget = m_widget;
        m_widget = nullptr;
        widget->disconnect(this);
        delete widget;
    }
}

uint32_t active_x_phone::AddRef() {
    return ++m_refs;
}

uint32_t active_x_phone::Release() {
    const uint32_t left = --m_refs;
    if (left == 0) delete this;
    return left;
}

// ---------------------------------------------------------------------------
// Properties and parameters
// ---------------------------------------------------------------------------

int32_t active_x_phone::PutProperty(int32_t dispid, const char* szValue) {
    if (m_closed) return KESTREL_E_FAIL;
    const char* name = control_parameters::property_name(dispid);
    if (!name) return KESTREL_S_FALSE;
    if (m_sink && m_sink->OnRequestEdit(dispid) == 1) return KESTREL_S_FALSE;
    SetParameterValue(name, text_of(szValue));
    m_dirty = true;
    if (m_sink) m_sink->OnChanged(dispid);
    if (m_widget) m_widget->update();
    return KESTREL_S_OK;
}

int32_t active_x_phone::GetProperty(int32_t dispid, char** pszValue) {
    if (m_closed) return KESTREL_E_FAIL;
    const char* name = control_parameters::property_name(dispid);
    if (!name) return KESTREL_S_FALSE;
    return return_text(parameters().GetHTMLParameter(name), pszValue);
}

int32_t active_x_phone::SetParameter(const char* szParamName, const char* szParamValue) {
    if (m_closed) return KESTREL_E_FAIL;
    log().LogMessage(LOG_ALWAYS, "Setting ========================================");
    SetParameterValue(text_of(szParamName), text_of(szParamValue));
    return KESTREL_S_OK;
}

int32_t active_x_phone::GetParameter(const char* szParamName, char** pszRetVal) {
    if (m_closed) return KESTREL_E_FAIL;
    return return_text(parameters().GetHTMLParameter(text_of(szParamName)), pszRetVal);
}

int32_t active_x_phone::LoadPropertyBag(const char* szBag) {
    if (m_closed) return KESTREL_E_FAIL;
    if (!szBag) return KESTREL_E_POINTER;
    const property_bag bag = parse_property_bag(szBag);
    bool dropped = !bag.errors.empty();
    for (const auto& error : bag.errors)
        log().LogFormat(LOG_ERROR, "Property bag %s: dropped", error.c_str());
    for (const auto& [name, value] : bag.entries) {
        const int32_t dispid = parameters().property_dispid(name);
        if (!control_parameters::property_name(dispid)) {
            log().LogFormat(LOG_ERROR, "Property bag entry '%s' names no property: dropped",
                            name.c_str());
            dropped = true;
            continue;
        }
        PutProperty(dispid, value.c_str());
    }
    m_dirty = false;
    return dropped ? KESTREL_S_FALSE : KESTREL_S_OK;
}

int32_t active_x_phone::SavePropertyBag(char** pszBag) {
    if (m_closed) return KESTREL_E_FAIL;
    if (!pszBag) return KESTREL_E_POINTER;
    std::vector<std::pair<std::string, std::string>> entries;
    for (int32_t dispid = FIRST_PROPERTY_DISPID; dispid <= LAST_PROPERTY_DISPID; ++dispid) {
        const char* name = control_parameters::property_name(dispid);
        entries.emplace_back(name, parameters().GetHTMLParameter(name));
    }
    const int32_t result = return_text(format_property_bag(entries), pszBag);
    if (result == KESTREL_S_OK) m_dirty = false;
    return result;
}

int32_t active_x_phone::IsDirty() {
    if (m_closed) return KESTREL_E_FAIL;
    return m_dirty ? KESTREL_S_OK : KESTREL_S_FALSE;
}

// ---------------------------------------------------------------------------
// The container's sink
// ---------------------------------------------------------------------------

int32_t active_x_phone::Advise(IActiveXPhoneEvents* pSink) {
    if (m_closed) return KESTREL_E_FAIL;
    if (pSink) pSink->AddRef();
    if (m_sink) m_sink->Release();
    m_sink = pSink;
    return KESTREL_S_OK;
}

int32_t active_x_phone::Unadvise() {
    return Advise(nullptr);
}

void active_x_phone::WriteJavaConsoleMessage(int32_t type, const std::string& source,
                                             const std::string& message) {
    if (QThread::currentThread() != thread()) {
        // A line logged on another thread reaches the sink on the GUI thread.
        QMetaObject::invokeMethod(
            this, [this, type, source, message] { WriteJavaConsoleMessage(type, source, message); },
            Qt::QueuedConnection);
        return;
    }
    if (m_sink) m_sink->WriteJavaConsoleMessage(type, source.c_str(), message.c_str());
}

std::optional<std::string> active_x_phone::GetCurrentLoadPercentagesOfCallManagers(
    const std::string& list) {
    return kestrel::GetCurrentLoadPercentagesOfCallManagers(m_sink, list, &log());
}

std::string active_x_phone::GetCallerIDNameFromNumber(const std::string& number) {
    if (!m_sink) return number;
    char* answer = nullptr;
    const int32_t result = m_sink->GetCallerIDNameFromNumber(number.c_str(), &answer);
    std::string name = take_text(answer);
    if (result < 0) {
        log().LogFormat(LOG_ERROR, "GetCallerIDNameFromNumber(%s) Threw an Exception! returning %s",
                        number.c_str(), number.c_str());
        return number;
    }
    log().LogFormat(LOG_INFO, "GetCallerIDNameFromNumber(%s) returned %s", number.c_str(),
                    name.c_str());
    return name;
}

void active_x_phone::ChangeQuillonState(int32_t state, const std::string& parameter1,
                                        const std::string& parameter2) {
    if (m_sink) m_sink->ChangeQuillonState(state, parameter1.c_str(), parameter2.c_str());
}

std::string active_x_phone::ExecuteJavaScriptCommand(const std::string& command) {
    if (!m_sink) return {};
    char* answer = nullptr;
    const int32_t result = m_sink->ExecuteJavaScriptCommand(command.c_str(), &answer);
    std::string text = take_text(answer);
    if (result < 0) {
        log().LogFormat(LOG_ERROR, "ExecuteJavaScriptCommand(%s) threw an Exception!",
                        command.c_str());
        return {};
    }
    return text;
}

void active_x_phone::PrepareInitialSetup() {
    if (m_widget) {
        read_look(m_widget->rect());
        m_render.read_fonts(parameters());
        // The texts come with the settings just read.
        m_widget->update();
    }
    open_mixer();
    load_adapter_texts();
    auto answered_now = std::make_shared<bool>(true);
    m_adapters->GetLocalIpAddress(false, [this, answered_now](bool, const std::string& address) {
        SetLocalIP(address);
        // A choice made after the log-on started takes effect by logging on again.
        if (!*answered_now && has_engine()) DisconnectFromCallManager(0);
    });
    *answered_now = false;
}

void active_x_phone::load_adapter_texts() {
    const std::string fonts = parameters().GetHTMLParameter("DisplayFonts");
    m_adapters->set_texts(settings().misc_messages, fonts.substr(0, fonts.find('|')));
}

// ---------------------------------------------------------------------------
// Window
// ---------------------------------------------------------------------------

QWidget* active_x_phone::Widget() {
    return m_closed ? nullptr : m_widget.data();
}

QWidget* active_x_phone::GetHwnd() {
    return m_widget.data();
}

void active_x_phone::InvalidateRect(control_area area) {
    if (!m_widget) return;
    if (!m_render.layout().built()) {
        m_widget->update();
        return;
    }
    switch (area) {
        case control_area::whole:
            m_widget->update();
            break;
        case control_area::display:
            invalidate_layout_rect(RECT_DISPLAY);
            break;
        case control_area::status:
            invalidate_layout_rect(RECT_STATUS);
            invalidate_layout_rect(RECT_STATUS_LABEL);
            break;
        case control_area::button:
            invalidate_layout_rect(RECT_MAIN_BUTTON);
            invalidate_layout_rect(RECT_HANGUP_BUTTON);
            break;
    }
}

// ---------------------------------------------------------------------------
// Methods
// ---------------------------------------------------------------------------

int32_t active_x_phone::CallNumber(const char* szNumberToCall) {
    if (m_closed) return KESTREL_E_FAIL;
    const std::string number = text_of(szNumberToCall);
    if (!number.empty()) {
        SetParameterValue("PhoneNumber", number);
        SetDisplayText(number);
    }
    PlaceCall();
    return KESTREL_S_OK;
}

int32_t active_x_phone::Hangup() {
    if (m_closed) return KESTREL_E_FAIL;
    WriteJavaConsoleMessage(LOG_ALWAYS, DEFAULT_LOG_SOURCE, "Hanging up call in ActiveXPhone");
    CVXLControl::Hangup();
    return KESTREL_S_OK;
}

int32_t active_x_phone::UpdateCallManager() {
    if (m_closed) return KESTREL_E_FAIL;
    DisconnectFromCallManager(0);
    return KESTREL_S_OK;
}

int32_t active_x_phone::StartMicLevel() {
    if (m_closed) return KESTREL_E_FAIL;
    return CVXLControl::StartMicLevel();
}

int32_t active_x_phone::StopMicLevel() {
    if (m_closed) return KESTREL_E_FAIL;
    return CVXLControl::StopMicLevel();
}

void active_x_phone::MicLevelChanged(int32_t level) {
    if (m_sink) m_sink->MicLevel(level);
}

int32_t active_x_phone::GetDiagnosticState(char** pszJson) {
    if (m_closed) return KESTREL_E_FAIL;
    QJsonObject state;
    state["callState"] = call_state();
    state["callManagerState"] = call_manager_state();
    state["error"] = error();
    state["status"] = QString::fromStdString(GetStatusMessage());
    state["button"] = QString::fromStdString(GetButtonMessage());
    state["display"] = QString::fromStdString(display_text());
    state["customMessage"] = QString::fromStdString(custom_message());
    state["currentCallManager"] = QString::fromStdString(current_call_manager());
    state["localIP"] = QString::fromStdString(local_ip());
    state["reconnectMs"] = reconnect_timeout();
    return return_text(QJsonDocument(state).toJson(QJsonDocument::Compact).toStdString(), pszJson);
}

}  // namespace kestrel
