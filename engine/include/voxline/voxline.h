// Voxline engine: the one public header.
//
// A client loads libvoxline.so, asks VoxlineCreateInstance for "TarnwickVXL",
// configures it with ConfigureCallParameters and drives it through the command
// methods. Every method returns a 32-bit result code; nothing is thrown across
// this surface. Strings are 8-bit, zero-terminated, owned by the caller.
#ifndef VOXLINE_VOXLINE_H
#define VOXLINE_VOXLINE_H

#include <cstdint>

// ---------------------------------------------------------------------------
// Enumerations
// ---------------------------------------------------------------------------

enum ITarnwickVXL_Vocoder_t : int32_t {
    VXL_VOCODER_G723 = 0,
    VXL_VOCODER_G729 = 1,
    VXL_VOCODER_G711U = 2,
    VXL_VOCODER_G711A = 3,
};

enum IVXLCallback_tone_t : int32_t {
    VXL_TONE_NONE = 0,
    VXL_TONE_DIALTONE = 1,
    VXL_TONE_ALERTING = 2,
    VXL_TONE_BUSY = 3,
    VXL_TONE_REORDER = 4,
    VXL_TONE_LOW_BALANCE_WARNING_TONE = 5,
    VXL_TONE_RINGING = 6,
};

// A bit value; every diagnostic line carries one of these as its level.
enum IVXLCallback_message_print_severity_t : int32_t {
    VXL_MESSAGE_PRINT_ERROR = 1,
    VXL_MESSAGE_PRINT_SEVERE_ERROR = 2,
    VXL_MESSAGE_PRINT_INFO = 4,
    VXL_MESSAGE_PRINT_MANDITORY = 8,
    VXL_MESSAGE_PRINT_STATISTICAL = 16,
};

// Reasons passed to IVXLCallback::Disconnected. The value 2 is not used.
enum IVXLCallback_disconnect_reason_t : int32_t {
    VXL_DISCONNECT_NORMAL = 0,
    VXL_DISCONNECT_LINK_DOWN = 1,
    VXL_DISCONNECT_CALL_AGENT = 3,
};

// iStatus values of IVXLCallback::Status.
enum IVXLCallback_status_t : int32_t {
    VXL_STATUS_LDAP_ONE = 1,             // directory status text begins with "1"
    VXL_STATUS_LDAP_OTHER = 2,           // directory status text begins with anything else
    VXL_STATUS_EXTENSION_REJECTED = 3,   // the engine then logs off
    VXL_STATUS_LDAP_TWO = 5,             // directory status text begins with "2"
    VXL_STATUS_SOUND_DEVICE_FAILED = 6,  // parameter: the media engine's result code
    VXL_STATUS_MEDIA_OPEN_FAILED = 7,
    VXL_STATUS_MEDIA_FAILURE_FLAGGED = 8,
};

enum ITarnwickVXL_generic_command_t : int32_t {
    VXL_COMMAND_SEND_DIGITS = 1,
    VXL_COMMAND_BEEP = 2,
    VXL_COMMAND_START_MIC_WIZARD = 3,
    VXL_COMMAND_STOP_MIC_WIZARD = 4,
    VXL_COMMAND_SET_ECHO_CANCELLER_DELAY = 5,
    VXL_COMMAND_SET_PROXY = 6,
    VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_SAMPLE_SIZE_IN_MS = 7,
    VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_BUFFER_POOL_SIZE_IN_MS = 8,
    VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_QUEUE_SIZE_IN_MS = 9,
    VXL_COMMAND_SET_SIGNAL_STRENGTH_INTERVAL = 10,
};

enum IVXLCallback_generic_event_t : int32_t {
    VXL_EVENT_MIC_LEVEL = 1,
    VXL_EVENT_ECHO_DELAY = 2,
    VXL_EVENT_BEHIND_NAT = 3,
    VXL_EVENT_RTP_STATISTICS = 4,
};

// iFlags bits of ConfigureCallParameters.
enum ITarnwickVXL_flags_t : int32_t {
    VXL_FLAG_ECHO_CANCELLATION = 0x1,
    VXL_FLAG_FORWARD_DIAGNOSTICS = 0x4,
    VXL_FLAG_MGCP_AUDIT = 0x8,
    VXL_FLAG_NOTCH_WHILE_MEASURING = 0x10,
    VXL_FLAG_SCRAMBLE_ACCOUNT = 0x20,
};

// ---------------------------------------------------------------------------
// Result codes
// ---------------------------------------------------------------------------

constexpr int32_t VXL_S_OK = 0;
constexpr int32_t VXL_S_NOTHING_TO_DO = 1;  // Hangup or Answer without a call thread
constexpr int32_t VXL_E_REQUEST_NOT_ALLOWED = static_cast<int32_t>(0x80040200);
constexpr int32_t VXL_E_UNSUPPORTED_VOCODER = static_cast<int32_t>(0x80040201);
constexpr int32_t VXL_E_SOUND_NO_DEVICE = static_cast<int32_t>(0x80040202);
constexpr int32_t VXL_E_TIMER_RESOLUTION = static_cast<int32_t>(0x80040203);
constexpr int32_t VXL_E_SOUND_DEVICE = static_cast<int32_t>(0x80040204);
constexpr int32_t VXL_E_SOUND_INPUT_IN_USE = static_cast<int32_t>(0x80040205);
constexpr int32_t VXL_E_SOUND_OUTPUT_IN_USE = static_cast<int32_t>(0x80040206);
constexpr int32_t VXL_E_SOUND_DEVICE_ERROR = static_cast<int32_t>(0x80040207);
constexpr int32_t VXL_E_SOUND_BAD_FORMAT = static_cast<int32_t>(0x80040209);
constexpr int32_t VXL_E_SOUND_OUTPUT_BAD_FORMAT = static_cast<int32_t>(0x8004020A);
constexpr int32_t VXL_E_NO_MMX = static_cast<int32_t>(0x8004020B);
constexpr int32_t VXL_E_INVALID_NUMBER = static_cast<int32_t>(0x8004020C);
constexpr int32_t VXL_E_LOCAL_IP = static_cast<int32_t>(0x8004020D);
constexpr int32_t VXL_E_ANOTHER_INSTANCE = static_cast<int32_t>(0x8004020E);
constexpr int32_t VXL_E_INVALIDARG = static_cast<int32_t>(0x80070057);
constexpr int32_t VXL_E_FAIL = static_cast<int32_t>(0x80004005);
constexpr int32_t VXL_E_NOTIMPL = static_cast<int32_t>(0x80004001);
constexpr int32_t VXL_E_POINTER = static_cast<int32_t>(0x80004003);
constexpr int32_t VXL_E_UNEXPECTED = static_cast<int32_t>(0x8000FFFF);
constexpr int32_t VXL_E_CLASS_NOT_REGISTERED = static_cast<int32_t>(0x80040154);
constexpr int32_t VXL_E_CLASS_NOT_AVAILABLE = static_cast<int32_t>(0x80040111);

// ---------------------------------------------------------------------------
// Interfaces (method order is the slot order; do not reorder)
// ---------------------------------------------------------------------------

struct IVXLUnknown {
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
};

// Implemented by the client. The engine ignores every result except PlayTone's:
// 1 asks the engine to play the tone itself.
struct IVXLCallback : IVXLUnknown {
    virtual int32_t ConnectedToCallAgent() = 0;
    virtual int32_t CallAgentRejectedConnection() = 0;
    virtual int32_t CallAgentRollover(const char* szCallAgentIP) = 0;
    virtual int32_t PlayTone(int32_t eTone) = 0;
    virtual int32_t Ringing(const char* szCallerNumber) = 0;
    virtual int32_t Answered() = 0;
    virtual int32_t Disconnected(int32_t iReason) = 0;
    virtual int32_t Status(int32_t iStatus, int32_t iStatusParameter) = 0;
    virtual int32_t MessagePrint(int32_t iMessageType, int32_t iUnusedMessageFlags,
                                 const char* szMessageSource, const char* szMessage) = 0;
    // A string returned in *szOutParam2 must be allocated with malloc; the engine frees it.
    virtual int32_t GenericEvent(int32_t iEvent, int32_t iParam1, int32_t iParam2,
                                 const char* szParam3, const char* szParam4, int32_t* iOutParam1,
                                 char** szOutParam2) = 0;
};

struct ITarnwickVXL : IVXLUnknown {
    virtual int32_t ConfigureCallParameters(
        const char* szLocalIP, const char* szCallerIDNumber, const char* szCallerIDName,
        const char* szCallAgentIP, int32_t iCallAgentMGCPPort, int32_t iLocalMGCPPort,
        int32_t vocoderType, int32_t iSamplesPerRtpPacket, int32_t iMinimumAudioInputSampleSizeInMs,
        int32_t iMinimumJittterBufferSizeInMs, int32_t iMinimumJitterBufferThresholdInMs,
        IVXLCallback* pStatusCallback, int32_t iCallAgentMGCPXmitPort,
        int32_t iCallAgentNATInfoPort, const char* szExtension, const char* szAccount,
        const char* szPin, int32_t iFlags, int32_t iMGCPAuditTimeout, int32_t iReserved1,
        int32_t iReserved2, const char* szReserved1, const char* szReserved2) = 0;
    virtual int32_t LogonToCallAgent() = 0;
    virtual int32_t Call(const char* szPhoneNumber) = 0;
    virtual int32_t SendDigits(const char* szDigits) = 0;
    virtual int32_t Hangup() = 0;
    virtual int32_t LogoffFromCallAgent(int32_t iProvideStatus) = 0;
    virtual int32_t Answer() = 0;
    // szStatistics must hold 1024 bytes.
    virtual int32_t GetStatistics(int32_t iStatisticsType, int32_t iUnusedFlags,
                                  char* szStatistics) = 0;
    virtual int32_t GenericCommand(int32_t iCommand, int32_t iParam1, int32_t iParam2,
                                   const char* szParam3, const char* szParam4,
                                   int32_t* iInOutParam1, char* szInOutParam2) = 0;
};

// Class names known to the factory. Only the first is creatable.
#define VOXLINE_CLASS_TARNWICK_VXL "TarnwickVXL"
#define VOXLINE_CLASS_TARNWICK_VXL_G723 "TarnwickVXLG723"
#define VOXLINE_CLASS_TARNWICK_VXL_G729 "TarnwickVXLG729"
#define VOXLINE_CLASS_TARNWICK_VXL_G711U "TarnwickVXLG711u"
#define VOXLINE_CLASS_TARNWICK_VXL_G711A "TarnwickVXLG711a"

// The statistics text needs this many bytes in the caller's buffer.
#define VOXLINE_STATISTICS_BUFFER_SIZE 1024

extern "C" {
// Creates an engine object with one reference. Returns VXL_S_OK, or
// VXL_E_CLASS_NOT_REGISTERED / VXL_E_CLASS_NOT_AVAILABLE / VXL_E_POINTER.
int32_t VoxlineCreateInstance(const char* szClassName, ITarnwickVXL** ppEngine);

// The sound devices of the backend VOXLINE_AUDIO selects, for device pickers:
// one line per device, fields separated by tabs: "in" or "out", the name, the
// rate in Hz, and "default" on the default device. Returns the bytes the
// whole text needs with its terminator; the text is written only when
// iBufferSize is at least that. VXL_E_SOUND_NO_DEVICE (negative) when no
// backend is usable.
int32_t VoxlineListSoundDevices(char* szDevices, int32_t iBufferSize);
}

// The factory's type, for clients that dlopen the engine.
typedef int32_t (*VoxlineCreateInstanceFn)(const char* szClassName, ITarnwickVXL** ppEngine);
typedef int32_t (*VoxlineListSoundDevicesFn)(char* szDevices, int32_t iBufferSize);

#endif  // VOXLINE_VOXLINE_H
