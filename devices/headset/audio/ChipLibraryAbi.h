// The calls the headset's audio-chip library exports, as C declarations: the program loads the
// library by these names at run time, and a library (or a test stand-in) implements them.
#pragma once

#include <stdint.h>

extern "C" {

// A device of the library's list, passed back by value exactly as received. Word 1 is the device
// type (1, 12, 7, 4: outputs in order of preference; 2: a microphone), word 3 is 1 for a usable
// device; words 0 and 2 belong to the library.
struct NkAudioDeviceId {
    int32_t words[4];
};

// 0 on success.
typedef int32_t (*NkConfLibInitFn)(void);
typedef int32_t (*NkCreateDeviceListFn)(void);
// `direction`: 0 output devices, 1 input devices. Stores the number of devices in `*count`.
typedef int32_t (*NkGetDeviceCountFn)(int32_t direction, int32_t* count);
typedef int32_t (*NkGetDeviceByIdFn)(int32_t direction, int32_t index, struct NkAudioDeviceId* id);
// Reads (`set` 0) or writes (`set` 1) the property named by the NUL-terminated 16-bit text.
// A write takes the value in the first 4 bytes of `value` (a 32-bit integer, or a 32-bit float
// 0.0-1.0 for the two scalar volumes). A read fills `value` with the value as NUL-terminated 16-bit
// decimal text ("GetSupportFeature": 8-bit text, numbers separated by commas). `parameter` may be
// null; otherwise it holds 32-bit words (the channel; three words for the surround effect). The
// library never touches more than `valueSize` / `parameterSize` bytes. Returns 0 on success.
typedef int32_t (*NkPropertyControlFn)(struct NkAudioDeviceId device, const char16_t* property, int32_t set,
                                       void* value, uint32_t valueSize, void* parameter,
                                       uint32_t parameterSize);

} // extern "C"

// The exported names. The first five are the ones the program calls; the rest belong to the
// library's interface and are looked up, never called.
inline constexpr const char* kNkConfLibInit = "ConfLibInit";
inline constexpr const char* kNkCreateDeviceList = "CreateDeviceList";
inline constexpr const char* kNkGetDeviceCount = "GetDeviceCount";
inline constexpr const char* kNkGetDeviceById = "GetDeviceById";
inline constexpr const char* kNkPropertyControl = "PropertyControl";
inline constexpr const char* kNkUncalledExports[] = {"RegisterCallbackFunction",
                                                     "ConfLibUnInit",
                                                     "ShowAsioPanel",
                                                     "PlayTestSound",
                                                     "StopTestSound",
                                                     "CloseTestSound"};
