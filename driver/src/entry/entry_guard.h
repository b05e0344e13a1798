// Entry points are called from C; no exception may cross one.
#pragma once

#include <exception>

template <typename Result, typename Body>
Result GuardEntry(Result onFault, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return onFault;
  }
}
