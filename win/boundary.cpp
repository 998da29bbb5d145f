#include "win/boundary.h"

#include <windows.h>

#include "win/module_state.h"

namespace {

struct GuardFrame {
  void* jump[5];  // __builtin_setjmp's buffer
  GuardFrame* outer;
};

thread_local GuardFrame* innermostFrame = nullptr;

bool IsProcessorFault(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_PRIV_INSTRUCTION:
      return true;
    default:
      return false;  // C++ exceptions and everything the system handles itself
  }
}

bool InThisModule(const void* address) {
  HMODULE module = ThisModule();
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const char*>(module) +
                                                       dos->e_lfanew);
  auto start = reinterpret_cast<const char*>(module);
  auto at = static_cast<const char*>(address);
  return at >= start && at < start + nt->OptionalHeader.SizeOfImage;
}

// Faults in the host's or the system's code are theirs to handle: only a fault at an
// instruction of this module, on a thread inside a boundary, is turned back.
LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
  GuardFrame* frame = innermostFrame;
  if (!frame || !IsProcessorFault(info->ExceptionRecord->ExceptionCode) ||
      !InThisModule(info->ExceptionRecord->ExceptionAddress))
    return EXCEPTION_CONTINUE_SEARCH;
  __builtin_longjmp(frame->jump, 1);
}

void InstallHandlerOnce() {
  static PVOID handler = AddVectoredExceptionHandler(1, OnException);
  (void)handler;
}

}  // namespace

bool RunAtBoundary(bool (*call)(void* context), void* context) noexcept {
  InstallHandlerOnce();
  GuardFrame frame;
  frame.outer = innermostFrame;
  if (__builtin_setjmp(frame.jump)) {
    innermostFrame = frame.outer;
    return false;
  }
  innermostFrame = &frame;
  bool finished = call(context);
  innermostFrame = frame.outer;
  return finished;
}
