#include "codec_tag_table.h"

namespace {

struct CodecTag {
  int codecNumber;
  uint32_t fourcc;
};

constexpr CodecTag kCodecTagTable[] = {
    {1, MakeFourCC("H261")},  {2, MakeFourCC("H263")},  {3, MakeFourCC("H264")},  {3, MakeFourCC("h264")},
    {4, MakeFourCC("MJPG")},  {4, MakeFourCC("jpeg")},  {5, MakeFourCC("MJ2C")},  {6, MakeFourCC("mpg1")},
    {7, MakeFourCC("mpg2")},  {7, MakeFourCC("MPEG")},  {8, MakeFourCC("mp4v")},  {9, MakeFourCC("MPG4")},
    {10, MakeFourCC("MP42")}, {10, MakeFourCC("DIV2")}, {11, MakeFourCC("DIV3")}, {11, MakeFourCC("MP43")},
    {12, MakeFourCC("WMV1")}, {13, MakeFourCC("WMV2")}, {14, MakeFourCC("WMV3")}, {15, MakeFourCC("WVC1")},
};

}  // namespace

uint32_t CodecTagTableLookup(int codecNumber) {
  for (const CodecTag& row : kCodecTagTable) {
    if (row.codecNumber == codecNumber) return row.fourcc;
  }
  return 0;
}
