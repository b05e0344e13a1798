#include "avi_index.h"

#include <new>

AviIndexEntry* AviAllocateIndexCluster() { return new (std::nothrow) AviIndexEntry[kAviIndexClusterEntries]; }

bool AviIndexAppend(AviStreamIndex& index, const AviIndexEntry& entry, AviClusterAllocator allocate) {
  const int32_t n = index.entryCount;
  if (n == index.entriesAllocated) {
    std::unique_ptr<AviIndexEntry[]> cluster(allocate());
    if (!cluster) return false;
    try {
      index.clusters.push_back(std::move(cluster));
    } catch (const std::bad_alloc&) {
      return false;
    }
    index.entriesAllocated += kAviIndexClusterEntries;
  }
  index.clusters[n / kAviIndexClusterEntries][n % kAviIndexClusterEntries] = entry;
  index.entryCount = n + 1;
  return true;
}

const AviIndexEntry& AviIndexAt(const AviStreamIndex& index, int32_t n) {
  return index.clusters[n / kAviIndexClusterEntries][n % kAviIndexClusterEntries];
}

AviIndexEntry& AviIndexAt(AviStreamIndex& index, int32_t n) {
  return index.clusters[n / kAviIndexClusterEntries][n % kAviIndexClusterEntries];
}

void AviIndexRelease(AviStreamIndex& index) {
  index.clusters.clear();
  index.clusters.shrink_to_fit();
  index.entryCount = 0;
  index.entriesAllocated = 0;
}
