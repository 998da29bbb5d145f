// Calls a DLL's __stdcall function the way a 32-bit host does, and records what a host
// would suffer from a callee with another calling convention: arguments left on the
// stack (a __cdecl callee leaves them, a register convention reads garbage) and
// callee-saved registers that come back changed.
#pragma once

#include <cstdint>
#include <initializer_list>

struct CallRecord {
  int32_t stackLeft = 0;       // bytes of arguments the callee did not take off the stack
  bool registersKept = false;  // EBX, ESI and EDI came back as they went in
};

// Calls function(args...) with each argument pushed as one 32-bit stack slot, the first
// argument last; returns EAX.
int32_t CallChecked(const void* function, std::initializer_list<uint32_t> args,
                    CallRecord& record);

template <typename T>
uint32_t Slot(T* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}
