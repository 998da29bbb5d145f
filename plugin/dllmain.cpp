#include <windows.h>

#include "win/module_state.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      DisableThreadLibraryCalls(instance);
      CreateModuleState(instance);
      break;
    case DLL_PROCESS_DETACH:
      ReleaseModuleState();
      break;
  }
  return TRUE;
}
