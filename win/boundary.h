// Nothing raised inside the plug-in may reach the host: every export, window procedure
// and thread entry runs its body through AtBoundary.
#pragma once

#include <utility>

// Runs call(context) and returns true, or false when a C++ exception or a processor fault
// in this module's code (an access violation, say) ended it. After a fault the frames
// between the boundary and the fault are abandoned without their destructors: a leak is
// the price of keeping the host alive.
bool RunAtBoundary(bool (*call)(void* context), void* context) noexcept;

// Returns body()'s result, or failure when body did not finish.
template <typename Result, typename Body>
Result AtBoundary(Result failure, Body&& body) noexcept {
  struct Frame {
    Body* body;
    Result result;
  } frame{&body, failure};
  auto call = [](void* context) -> bool {
    auto* f = static_cast<Frame*>(context);
    try {
      f->result = (*f->body)();
      return true;
    } catch (...) {
      return false;
    }
  };
  return RunAtBoundary(call, &frame) ? frame.result : failure;
}

// For bodies without a result.
template <typename Body>
void AtBoundaryVoid(Body&& body) noexcept {
  AtBoundary(0, [&] {
    body();
    return 0;
  });
}
