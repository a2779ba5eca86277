// Wave-style sound devices: a queue of caller-owned buffer headers per open device, each handed
// back through a done callback once recorded or played.
//
// Threads: every call may come from any thread. Done callbacks run on the backend's driver thread,
// one at a time per device, in the order the headers were queued. A callback may call any wave_*
// function, including reset and close of its own device (they then complete inline).
//
// Ownership: headers and their data belong to the caller. From add_buffer/write until the header
// comes back (done callback, or reset) the device owns it: the caller must not touch it, nor
// unprepare it (33). After wave_*_reset returns, every header queued before it has come back and
// its callback has returned. After wave_*_close returns 0 no callback for that handle runs again.
//
// Waits: reset and close wait for the driver thread at most k_wave_driver_wait_ms; when the driver
// does not answer in time (a callback that never returns) they fail with 1 and leave the handle
// open and its headers queued, so nothing blocks without bound and no header is freed under the
// driver; the reset itself still happens once the driver answers.
#pragma once

#include <cstdint>

namespace voxline {

// Device error numbers, as the wave API numbers them.
enum wave_result : int32_t {
    WAVE_OK = 0,
    WAVE_ERROR = 1,           // unspecified failure, or the driver did not answer in time
    WAVE_BAD_DEVICE_ID = 2,   // no such device (or its file cannot be read)
    WAVE_ALLOCATED = 4,       // device busy
    WAVE_INVALID_HANDLE = 5,  // not an open handle of that direction
    WAVE_NO_DRIVER = 6,       // no usable backend (unknown or unparsable VOXLINE_AUDIO)
    WAVE_INVALID_PARAM = 11,  // null pointer or a header without data
    WAVE_BAD_FORMAT = 32,     // only 8000 Hz, mono, 16-bit linear PCM is taken
    WAVE_STILL_PLAYING = 33,  // the header is still queued on the device
    WAVE_UNPREPARED = 34,     // the header was not prepared
};

// Header flags, with the wave API's values.
enum wave_header_flag : uint32_t {
    WAVE_HDR_DONE = 0x01,       // set when the device hands the header back
    WAVE_HDR_PREPARED = 0x02,   // set by prepare, cleared by unprepare
    WAVE_HDR_BEGINLOOP = 0x04,  // output: first header of a loop
    WAVE_HDR_ENDLOOP = 0x08,    // output: last header of a loop (may be the same header)
    WAVE_HDR_INQUEUE = 0x10,    // owned by the device
};

struct wave_header {
    uint8_t* data = nullptr;
    uint32_t buffer_length = 0;   // bytes
    uint32_t bytes_recorded = 0;  // input: bytes captured so far
    uintptr_t user = 0;           // the caller's word, never touched by the device
    uint32_t flags = 0;
    uint32_t loops = 0;  // output, on the BEGINLOOP header: times the loop plays (0 plays once)
    // Monotonic time (platform/clock.h monotonic_us) of the header's first sample: captured
    // (input) or played (output); 0 when no sample was captured or played before it came back.
    int64_t first_sample_us = 0;
    uintptr_t spare = 0;  // the caller's second word, never touched by the device
    // Device's own link while the header is queued.
    wave_header* next = nullptr;
};

struct wave_format {
    uint16_t format_tag = 1;  // linear PCM
    uint16_t channels = 1;
    uint32_t samples_per_sec = 8000;
    uint16_t bits_per_sample = 16;
};

// Small positive integers; 0 is never a handle.
using wave_handle = int32_t;

// The system's default device; a backend may number its devices 0, 1, ...
constexpr uint32_t k_wave_mapper = 0xFFFFFFFFu;

constexpr int k_wave_driver_wait_ms = 1000;

// Called on the driver thread for each header the device hands back (DONE set, INQUEUE clear).
using wave_callback = void (*)(wave_handle handle, wave_header* header, void* context);

// Diagnostic lines of the sound layer go to one process-wide sink (none by default). Levels are
// the engine log's: 1 error, 4 information. The sink must not call the wave layer.
using wave_log_sink = void (*)(int level, const char* line);
void wave_set_log_sink(wave_log_sink sink);

// Chooses the backend: "virtual:..." or "portaudio[:...]"; nullptr reads VOXLINE_AUDIO again
// (unset: "portaudio"). Until called, the first open reads VOXLINE_AUDIO. An unparsable value is
// logged and every open then fails with 6; the call returns 6 too. Fails with 4 while a device is
// open.
int32_t wave_select_backend(const char* selection);

int32_t wave_in_open(wave_handle* handle, uint32_t device_id, const wave_format* format,
                     wave_callback callback, void* context);
int32_t wave_in_prepare(wave_handle handle, wave_header* header);
int32_t wave_in_unprepare(wave_handle handle, wave_header* header);
int32_t wave_in_add_buffer(wave_handle handle, wave_header* header);
int32_t wave_in_start(wave_handle handle);
// Stops recording and hands back every queued header (the partly filled one with its bytes).
int32_t wave_in_reset(wave_handle handle);
// Resets, then closes.
int32_t wave_in_close(wave_handle handle);

int32_t wave_out_open(wave_handle* handle, uint32_t device_id, const wave_format* format,
                      wave_callback callback, void* context);
int32_t wave_out_prepare(wave_handle handle, wave_header* header);
int32_t wave_out_unprepare(wave_handle handle, wave_header* header);
// Queues a header for playing; playing starts at once.
int32_t wave_out_write(wave_handle handle, wave_header* header);
// Stops playing and hands back every queued header.
int32_t wave_out_reset(wave_handle handle);
// The playing loop ends after its current pass; playing goes on with the header after it.
int32_t wave_out_break_loop(wave_handle handle);
// Resets, then closes.
int32_t wave_out_close(wave_handle handle);

}  // namespace voxline
