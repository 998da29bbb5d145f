// Stand-ins for irun.dll, one DLL per behaviour (chosen by a FAKE_* definition). They
// record what happened in environment variables of the process, which outlive the DLL
// after it is freed: loads and unloads, sessions opened and closed, and the arguments
// of the conversion call.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "irun/irun.h"

namespace {

void Count(const char* name) {
  char value[32] = "0";
  GetEnvironmentVariableA(name, value, sizeof value);
  char next[32];
  std::snprintf(next, sizeof next, "%d", std::atoi(value) + 1);
  SetEnvironmentVariableA(name, next);
}

constexpr IrunSession kSession = 4711;

#if defined(FAKE_EMPTY_BODY)
const char kDocument[] = "";
#else
// Bytes of code page 1252: 0xE9 is e with acute accent. The zero byte ends the text.
const char kDocument[] = "<html><body bgcolor=red>caf\xE9</body></html>\0tail";
#endif

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) Count("FAKE_IRUN_LOADS");
  if (reason == DLL_PROCESS_DETACH) Count("FAKE_IRUN_UNLOADS");
  return TRUE;
}

extern "C" {

#if !defined(FAKE_NO_OPEN)
__declspec(dllexport) IrunSession IRUN_CALL EXBufferOpenSession(void) {
  Count("FAKE_IRUN_OPENED");
  return kSession;
}
#endif

#if !defined(FAKE_NO_CONVERT)
__declspec(dllexport) int32_t IRUN_CALL EXBufferConvert(IrunSession session, const char* rtf,
                                                        int32_t rtfLength, int32_t* bodySize,
                                                        int32_t* objectCount,
                                                        int32_t baseFontPixels,
                                                        const char* backgroundColor,
                                                        int32_t flags, int32_t dotsPerInch) {
  char call[512];
  std::snprintf(call, sizeof call, "%d|%.*s|%d|%d|%d|%d|%s|%d|%d", static_cast<int>(session),
                static_cast<int>(rtfLength), rtf, static_cast<int>(rtfLength),
                static_cast<int>(*bodySize), static_cast<int>(*objectCount),
                static_cast<int>(baseFontPixels), backgroundColor, static_cast<int>(flags),
                static_cast<int>(dotsPerInch));
  SetEnvironmentVariableA("FAKE_IRUN_CONVERT", call);
#if defined(FAKE_CONVERT_FAILS)
  return 2;
#else
  *bodySize = static_cast<int32_t>(sizeof kDocument - 1);
  *objectCount = 3;
  return 0;
#endif
}
#endif

#if !defined(FAKE_NO_GETBODY)
__declspec(dllexport) int32_t IRUN_CALL EXBufferGetBody(IrunSession session, char* body) {
  if (session != kSession) return 1;
  Count("FAKE_IRUN_GETBODY");
  std::memcpy(body, kDocument, sizeof kDocument - 1);
  return 0;
}
#endif

#if !defined(FAKE_NO_CLOSE)
__declspec(dllexport) int32_t IRUN_CALL EXBufferCloseSession(IrunSession session) {
  if (session == kSession) Count("FAKE_IRUN_CLOSED");
  return 0;
}
#endif

}  // extern "C"
