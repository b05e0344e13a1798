// In-memory index of the chunks of one stream in the current RIFF piece. Entries
// live in fixed clusters, so growing the index never moves an entry.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct AviIndexEntry {
  uint32_t flags;     // kAviKeyFrameFlag or 0
  uint32_t position;  // chunk start minus the "movi" FourCC position of its piece
  uint32_t length;    // data bytes, without the pad byte
};
static_assert(sizeof(AviIndexEntry) == 12);

inline constexpr uint32_t kAviKeyFrameFlag = 0x10;
inline constexpr int32_t kAviIndexClusterEntries = 16384;

// Returns a new cluster of kAviIndexClusterEntries entries, or null.
using AviClusterAllocator = AviIndexEntry* (*)();
AviIndexEntry* AviAllocateIndexCluster();

struct AviStreamIndex {
  int64_t superIndexStart = 0;  // data start of the super-index placeholder
  int32_t entryCount = 0;       // entries of the current piece
  int32_t entriesAllocated = 0;
  std::vector<std::unique_ptr<AviIndexEntry[]>> clusters;  // kept across pieces
};

// Appends entry, growing by one cluster when full. False when memory runs out;
// the index is then unchanged.
bool AviIndexAppend(AviStreamIndex& index, const AviIndexEntry& entry, AviClusterAllocator allocate);

const AviIndexEntry& AviIndexAt(const AviStreamIndex& index, int32_t n);
AviIndexEntry& AviIndexAt(AviStreamIndex& index, int32_t n);

void AviIndexRelease(AviStreamIndex& index);
