// Kestrel phone control: the one public header.
//
// A container loads libkestrel.so, asks KestrelCreateInstance for one of the
// three control classes, shows Widget(), connects its IActiveXPhoneEvents
// sink with Advise and drives the control through properties (by dispatch
// id) and methods. Every method returns a 32-bit result code; nothing is
// thrown across this surface. All calls belong on the GUI thread.
//
// Strings are UTF-8; a null text reads as empty. A string the control returns
// through a char** is allocated with malloc and the receiver frees it; so is
// a string the sink returns to the control.
#ifndef KESTREL_KESTREL_H
#define KESTREL_KESTREL_H

#include <cstdint>

class QWidget;

// ---------------------------------------------------------------------------
// Dispatch ids
// ---------------------------------------------------------------------------

// Properties, each a text: put with PutProperty, read with GetProperty.
enum IActiveXPhone_property_t : int32_t {
    KESTREL_DISPID_MODE = 2,
    KESTREL_DISPID_PHONE_NUMBER = 3,
    KESTREL_DISPID_CALL_MANAGER = 4,
    KESTREL_DISPID_CALLER_ID_NAME = 5,
    KESTREL_DISPID_CALLER_ID_NUMBER = 6,
    KESTREL_DISPID_PORT = 7,
    KESTREL_DISPID_MGCP_PORT = 8,
    KESTREL_DISPID_SAMPLE_SIZE = 9,
    KESTREL_DISPID_AUDIO_INPUT_SAMPLE_SIZE = 10,
    KESTREL_DISPID_AUDIO_OUTPUT_SAMPLE_SIZE = 11,
    KESTREL_DISPID_AUDIO_OUTPUT_BUF_POOL_SIZE = 12,
    KESTREL_DISPID_AUDIO_OUTPUT_QUEUE_SIZE = 13,
    KESTREL_DISPID_JITTER_BUFFER_SIZE = 14,
    KESTREL_DISPID_JITTER_BUFFER_THRESHOLD = 15,
    KESTREL_DISPID_IP_PHONE_NUMBER = 16,
    KESTREL_DISPID_CAS_ACCOUNT = 17,
    KESTREL_DISPID_CAS_PIN = 18,
    KESTREL_DISPID_VXL_CONFIG_FLAGS = 19,
    KESTREL_DISPID_AUDIT_ENDPOINT_TIMEOUT = 20,
    KESTREL_DISPID_NAT_PROXY_ADDRESS = 21,
    KESTREL_DISPID_NAT_PROXY_PORT = 22,
    KESTREL_DISPID_PARAMETERS_TO_EXPECT = 23,
    KESTREL_DISPID_BACKGROUND_BMP = 24,
    KESTREL_DISPID_BACKGROUND_DOWN_BMP = 25,
    KESTREL_DISPID_STATUS_MESSAGES = 26,
    KESTREL_DISPID_BUTTON_MESSAGES = 27,
    KESTREL_DISPID_ERROR_MESSAGES = 28,
    KESTREL_DISPID_MISC_MESSAGES = 29,
    KESTREL_DISPID_STATUS_TEXT_COLOR = 30,
    KESTREL_DISPID_DISPLAY_TEXT_COLOR = 31,
    KESTREL_DISPID_BUTTON_TEXT_COLOR = 32,
    KESTREL_DISPID_FLASH_COLOR = 33,
    KESTREL_DISPID_STATUS_FONTS = 34,
    KESTREL_DISPID_DISPLAY_FONTS = 35,
    KESTREL_DISPID_BUTTON_FONTS = 36,
    KESTREL_DISPID_CODE_PAGE = 37,
    KESTREL_DISPID_LAYOUT = 38,
    KESTREL_DISPID_SLIDER_ORIENTATION = 39,
    KESTREL_DISPID_SLIDER_BODY_COLOR = 40,
    KESTREL_DISPID_SLIDER_HILITE_COLOR = 41,
    KESTREL_DISPID_SLIDER_SHADOW_COLOR = 42,
    KESTREL_DISPID_ALLOW_SIMULTANEOUS = 43,
    KESTREL_DISPID_ENABLE_PREFIX = 44,
    KESTREL_DISPID_PREFIX_DIGITS = 45,
    KESTREL_DISPID_OVERRIDE_ANI = 46,
    KESTREL_DISPID_ANI_DIGITS = 47,
    KESTREL_DISPID_QOS_SETTING = 48,
    KESTREL_DISPID_ENABLE_TWO_BUTTON = 49,
};

enum IActiveXPhone_method_t : int32_t {
    KESTREL_DISPID_CALL_NUMBER = 0x32,
    KESTREL_DISPID_HANGUP = 0x33,
    KESTREL_DISPID_EXECUTE_COMMAND = 0x34,
    KESTREL_DISPID_SET_PARAMETER = 0x35,
    KESTREL_DISPID_GET_PARAMETER = 0x36,
    KESTREL_DISPID_GET_LAST_TEN_DIALED = 0x309,
    KESTREL_DISPID_DIAL_NUMBER = 0x30A,
    KESTREL_DISPID_UPDATE_CALL_MANAGER = 0x30B,
    KESTREL_DISPID_START_MIC_LEVEL = 0x30C,
    KESTREL_DISPID_STOP_MIC_LEVEL = 0x30D,
};

enum IActiveXPhoneEvents_dispid_t : int32_t {
    KESTREL_EVENT_GET_CURRENT_LOAD_PERCENTAGES = 1,
    KESTREL_EVENT_GET_CALLER_ID_NAME_FROM_NUMBER = 2,
    KESTREL_EVENT_CHANGE_QUILLON_STATE = 3,
    KESTREL_EVENT_WRITE_JAVA_CONSOLE_MESSAGE = 4,
    KESTREL_EVENT_MIC_LEVEL = 5,
};

// nState of ChangeQuillonState.
enum IActiveXPhone_call_state_t : int32_t {
    KESTREL_STATE_NO_SERVER_CONNECTION = 0,
    KESTREL_STATE_CONNECTING = 1,
    KESTREL_STATE_IDLE = 2,
    KESTREL_STATE_DIALING = 3,
    KESTREL_STATE_CONNECTED = 4,
    KESTREL_STATE_DISCONNECTING = 5,
    KESTREL_STATE_INCOMING_CALL = 6,
    KESTREL_STATE_NUMBER_BUSY = 7,
    KESTREL_STATE_INVALID_NUMBER = 8,
    KESTREL_STATE_ANSWERING = 9,
};

// ---------------------------------------------------------------------------
// Result codes
// ---------------------------------------------------------------------------

constexpr int32_t KESTREL_S_OK = 0;
constexpr int32_t KESTREL_S_FALSE = 1;  // refused: unknown dispid, edit refused
constexpr int32_t KESTREL_E_NOTIMPL = static_cast<int32_t>(0x80004001);
constexpr int32_t KESTREL_E_POINTER = static_cast<int32_t>(0x80004003);
constexpr int32_t KESTREL_E_FAIL = static_cast<int32_t>(0x80004005);  // control destroyed
constexpr int32_t KESTREL_E_OUTOFMEMORY = static_cast<int32_t>(0x8007000E);
constexpr int32_t KESTREL_E_INVALIDARG = static_cast<int32_t>(0x80070057);
constexpr int32_t KESTREL_E_CLASS_NOT_REGISTERED = static_cast<int32_t>(0x80040154);

// ---------------------------------------------------------------------------
// Interfaces (method order is the slot order; do not reorder)
// ---------------------------------------------------------------------------

struct IKestrelUnknown {
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
};

// Implemented by the container. A negative result means the handler failed
// ("threw"); the control then goes on as documented for each event.
struct IActiveXPhoneEvents : IKestrelUnknown {
    // Loads of the call managers, "," separated, into *pszLoads (malloc'ed).
    virtual int32_t GetCurrentLoadPercentagesOfCallManagers(const char* szCallManagers,
                                                            char** pszLoads) = 0;
    // Caller name of a number into *pszName (malloc'ed).
    virtual int32_t GetCallerIDNameFromNumber(const char* szNumber, char** pszName) = 0;
    virtual int32_t ChangeQuillonState(int32_t nState, const char* szParameter1,
                                       const char* szParameter2) = 0;
    virtual int32_t WriteJavaConsoleMessage(int32_t nType, const char* szSource,
                                            const char* szMessage) = 0;
    // Property notification: 1 refuses the edit.
    virtual int32_t OnRequestEdit(int32_t dispid) = 0;
    virtual int32_t OnChanged(int32_t dispid) = 0;
    // The hosting page's script; result into *pszResult (malloc'ed).
    virtual int32_t ExecuteJavaScriptCommand(const char* szStatement, char** pszResult) = 0;
    // The microphone level, 0..100, while StartMicLevel runs; sent when it changes. A container
    // that shows no level need not implement it.
    virtual int32_t MicLevel(int32_t nLevel) {
        (void)nLevel;
        return KESTREL_S_OK;
    }
};

struct IActiveXPhone : IKestrelUnknown {
    // The 48 properties, dispids 2..49; anything else gives KESTREL_S_FALSE.
    virtual int32_t PutProperty(int32_t dispid, const char* szValue) = 0;
    virtual int32_t GetProperty(int32_t dispid, char** pszValue) = 0;

    virtual int32_t CallNumber(const char* szNumberToCall) = 0;
    virtual int32_t Hangup() = 0;
    virtual int32_t ExecuteCommand(const char* szCommand, const char* szParam1,
                                   const char* szParam2, char** pszRetVal) = 0;
    virtual int32_t SetParameter(const char* szParamName, const char* szParamValue) = 0;
    virtual int32_t GetParameter(const char* szParamName, char** pszRetVal) = 0;
    virtual int32_t GetLastTenDialed(char** pszLastTenDialed) = 0;
    virtual int32_t DialNumber(const char* szNumberToCall) = 0;
    virtual int32_t UpdateCallManager() = 0;

    // One sink at a time; Advise replaces it, Unadvise drops it.
    virtual int32_t Advise(IActiveXPhoneEvents* pSink) = 0;
    virtual int32_t Unadvise() = 0;

    // Persistence: "Name=Value" lines, "\\", "\n", "\r" escaped with a
    // backslash; loading applies each line as a property put in order.
    virtual int32_t LoadPropertyBag(const char* szBag) = 0;
    virtual int32_t SavePropertyBag(char** pszBag) = 0;
    // KESTREL_S_OK when changed since the last save or load, else KESTREL_S_FALSE.
    virtual int32_t IsDirty() = 0;

    // The control's window; the container may re-parent it. Null once destroyed.
    virtual QWidget* Widget() = 0;
    // A JSON object of the control's state, for tools and tests.
    virtual int32_t GetDiagnosticState(char** pszJson) = 0;

    // Measures the microphone without a call, on the engine the control has configured; the
    // levels arrive as MicLevel events. KESTREL_S_OK when measuring, KESTREL_S_FALSE when it
    // already was; without a configured engine KESTREL_E_FAIL; when the microphone does not
    // open, the engine's sound-device code (0x80040202 no device, 0x80040205 in use, ...).
    virtual int32_t StartMicLevel() { return KESTREL_E_NOTIMPL; }
    // Always KESTREL_S_OK, measuring or not (KESTREL_E_FAIL once destroyed).
    virtual int32_t StopMicLevel() { return KESTREL_E_NOTIMPL; }
};

// Class names known to the factory; all three behave alike.
#define KESTREL_CLASS_DUAL "ActiveXPhoneDual"
#define KESTREL_CLASS_723 "ActiveXPhone723"
#define KESTREL_CLASS_729 "ActiveXPhone729"

extern "C" {
// Creates a control with one reference (needs a QApplication). Returns
// KESTREL_S_OK, KESTREL_E_CLASS_NOT_REGISTERED or KESTREL_E_POINTER.
int32_t KestrelCreateInstance(const char* szClassName, IActiveXPhone** ppControl);
}

typedef int32_t (*KestrelCreateInstanceFn)(const char* szClassName, IActiveXPhone** ppControl);

#endif  // KESTREL_KESTREL_H
