#include "vistro/snapshot.h"

#include <memory>
#include <new>
#include <span>

#include "appcommon/snapshot_file.h"
#include "camclient/camclient.h"
#include "vistro/viewer_state.h"

namespace {
constexpr DWORD kSnapshotBufferBytes = 131072;
}

std::string TakeSnapshot(const ViewerState& state) {
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kSnapshotBufferBytes]());
  if (!buffer) return {};
  const int length = GetJpegFrame(state.cameraIndex, buffer.get(), kSnapshotBufferBytes);
  if (length <= 0 || static_cast<DWORD>(length) > kSnapshotBufferBytes) return {};
  return SaveSnapshot(state.snapshotDirectory, std::span<const uint8_t>(buffer.get(), static_cast<size_t>(length)));
}
