#pragma once
// The plug-in interface between the mail client and Kalvorin.TBP: the nine
// exports and the host's part callback. Arguments are 32-bit on a 32-bit
// build; the host's opaque argument is pointer-sized so that it travels back
// unharmed on a 64-bit one.
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define KALVORIN_STDCALL __stdcall
#else
#define KALVORIN_STDCALL
#endif

#if defined(_WIN32)
// Kalvorin.def exports the undecorated names; dllexport would add the
// decorated stdcall ones of a 32-bit build.
#define KALVORIN_EXPORT
#else
#define KALVORIN_EXPORT __attribute__((visibility("default")))
#endif

namespace kalvorin {

using HostArg = std::intptr_t;

// Called with a null buffer and size 0 it answers the part's length; with a
// buffer and its size it stores the part's bytes and answers how many.
using HostCallback = std::int32_t(KALVORIN_STDCALL*)(HostArg hostarg, std::int32_t part, char* buffer,
                                                     std::int32_t size);

// The host's part numbers.
enum PartNumber : std::int32_t {
    kPartHeader = 100000,
    kPartBody = 100001,
    kPartAttachments = 100002,
    kPartSender = 100003,
    kPartSubject = 100004,
    kPartRawMessage = 100005,
};

// Signatures of the exports, for hosts that resolve them at run time.
using TBP_Initialize_t = void(KALVORIN_STDCALL*)();
using TBP_Finalize_t = void(KALVORIN_STDCALL*)();
using TBP_GetText_t = std::int32_t(KALVORIN_STDCALL*)(char* buffer, std::int32_t size);
using TBP_GetInt_t = std::int32_t(KALVORIN_STDCALL*)();
using TBP_GetSpamScore_t = std::int32_t(KALVORIN_STDCALL*)(HostArg hostarg, HostCallback callback);

}  // namespace kalvorin
