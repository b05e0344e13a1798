// The real folder behind the device's "\residentflash".
#pragma once

#include <string>

namespace platform_internal {

// VELMAR_FLASH_DIR when set (made with mode 0700 where missing, otherwise taken as the
// user chose it). Otherwise a folder of this user's alone: $XDG_RUNTIME_DIR/velmar-flash,
// or velmar-flash-<uid> in $TMPDIR (default /tmp), made with mode 0700. An existing one
// must be a real folder owned by this user (loose permissions are tightened to 0700);
// one that is a link, not a folder or another user's is refused: empty then.
std::string FlashFolder();

}  // namespace platform_internal
