#include "plugin/module_state.h"

#include <memory>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {
std::unique_ptr<ModuleState> state;
}

HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

void CreateModuleState(HINSTANCE instance) {
  state = std::make_unique<ModuleState>();
  state->instanceHandle = instance;
}

void ReleaseModuleState() { state.reset(); }

ModuleState& Module() {
  if (!state) CreateModuleState(ThisModule());
  return *state;
}
