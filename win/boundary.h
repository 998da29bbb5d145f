// Nothing thrown inside the plug-in may reach the host: every export, window procedure
// and thread entry runs its body through AtBoundary.
//
// Only C++ exceptions stop here. Processor faults are not recovered: jumping out of one
// would skip destructors (leaving the clipboard open or the mouse captured) and could
// cross system frames; they are found by fuzzing and sanitizers instead. Nothing here is
// registered process-wide, so nothing outlives the plug-in when the host unloads it.
#pragma once

// Returns body()'s result, or failure when a C++ exception ended it.
template <typename Result, typename Body>
Result AtBoundary(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// For bodies without a result.
template <typename Body>
void AtBoundaryVoid(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}
