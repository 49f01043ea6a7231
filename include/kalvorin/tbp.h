/*
 * The plug-in interface between a mail client and Kalvorin.TBP: the nine
 * exports and the host's part callback. Plain C, so that a client written in
 * C or C++ can include it.
 *
 * Every export with arguments uses the standard Windows calling convention
 * (stdcall: the callee removes its arguments). Arguments and results are
 * 32-bit; the host's opaque argument is pointer-sized, which is 32 bits on a
 * 32-bit build and lets a 64-bit host hand a pointer that travels back whole.
 */
#ifndef KALVORIN_TBP_H
#define KALVORIN_TBP_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define KALVORIN_STDCALL __stdcall
#else
#define KALVORIN_STDCALL
#endif

/* The undecorated names come from Kalvorin.def on Windows; dllexport would add
   the decorated stdcall names of a 32-bit build. Elsewhere only these nine
   symbols are visible. */
#if defined(_WIN32) || !defined(__GNUC__)
#define KALVORIN_EXPORT
#else
#define KALVORIN_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef intptr_t TBP_HostArg;

/* Called with a null buffer and size 0 it answers the part's length; with a
   buffer and its size it stores the part's bytes and answers how many. */
typedef int32_t(KALVORIN_STDCALL* TBP_HostCallback)(TBP_HostArg hostarg, int32_t part, char* buffer,
                                                    int32_t size);

/* The host's part numbers. */
enum {
    TBP_PART_HEADER = 100000,
    TBP_PART_BODY = 100001,
    TBP_PART_ATTACHMENTS = 100002,
    TBP_PART_SENDER = 100003,
    TBP_PART_SUBJECT = 100004,
    TBP_PART_RAWMESSAGE = 100005
};

/* Signatures of the exports, for hosts that resolve them at run time. */
typedef void(KALVORIN_STDCALL* TBP_Initialize_t)(void);
typedef void(KALVORIN_STDCALL* TBP_Finalize_t)(void);
typedef int32_t(KALVORIN_STDCALL* TBP_GetText_t)(char* buffer, int32_t size);
typedef int32_t(KALVORIN_STDCALL* TBP_GetInt_t)(void);
typedef int32_t(KALVORIN_STDCALL* TBP_GetSpamScore_t)(TBP_HostArg hostarg, TBP_HostCallback hostcallback);

KALVORIN_EXPORT void KALVORIN_STDCALL TBP_Initialize(void);
KALVORIN_EXPORT void KALVORIN_STDCALL TBP_Finalize(void);
KALVORIN_EXPORT int32_t KALVORIN_STDCALL TBP_GetName(char* buffer, int32_t size);
KALVORIN_EXPORT int32_t KALVORIN_STDCALL TBP_GetVersion(char* buffer, int32_t size);
KALVORIN_EXPORT int32_t KALVORIN_STDCALL TBP_GetStatus(void);
KALVORIN_EXPORT int32_t KALVORIN_STDCALL TBP_NeedConfig(void);
KALVORIN_EXPORT int32_t KALVORIN_STDCALL TBP_NeedCOM(void);
KALVORIN_EXPORT int32_t KALVORIN_STDCALL TBP_Setup(void);
KALVORIN_EXPORT int32_t KALVORIN_STDCALL TBP_GetSpamScore(TBP_HostArg hostarg, TBP_HostCallback hostcallback);

#ifdef __cplusplus
}

namespace kalvorin {
using HostArg = TBP_HostArg;
using HostCallback = TBP_HostCallback;
enum PartNumber : int32_t {
    kPartHeader = TBP_PART_HEADER,
    kPartBody = TBP_PART_BODY,
    kPartAttachments = TBP_PART_ATTACHMENTS,
    kPartSender = TBP_PART_SENDER,
    kPartSubject = TBP_PART_SUBJECT,
    kPartRawMessage = TBP_PART_RAWMESSAGE,
};
}  // namespace kalvorin
#endif

#endif /* KALVORIN_TBP_H */
