#include "vistro/viewer_state.h"

#include <utility>

void PostNotice(ViewerState& state, std::string text) {
  const std::lock_guard hold(state.noticeLock);
  state.pendingNotice = std::move(text);
}

std::string TakeNotice(ViewerState& state) {
  const std::lock_guard hold(state.noticeLock);
  return std::exchange(state.pendingNotice, std::string());
}
