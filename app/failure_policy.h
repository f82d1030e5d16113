#pragma once

#include <utility>

namespace koron {

// The window's one rule for a step that fails (out of memory, or a Qt call that throws): the step
// is skipped and the window goes on as it stands, so that one failing part never takes the
// window, or the user's text in it, down with it. Returns whether the step ran to its end; a
// caller with a fallback of its own uses that.
template <typename Step>
bool RunOrSkip(Step&& step) noexcept {
  try {
    std::forward<Step>(step)();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace koron
