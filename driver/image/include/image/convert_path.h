// The conversion paths: the portable scalar reference and the vector paths, all
// bit-exact with each other. A converter takes the fastest one the processor runs, or
// the one named by $VELMAR_CONVERT_PATH (scalar, sse2, ssse3, avx2, avx512) when the
// processor runs it; tests and benchmarks choose one to compare them.
#pragma once

#include <optional>
#include <string_view>

#include "image/colour_converter.h"

enum class ConvertPath { Scalar, Sse2, Ssse3, Avx2, Avx512 };

inline constexpr ConvertPath kAllConvertPaths[] = {ConvertPath::Scalar, ConvertPath::Sse2, ConvertPath::Ssse3,
                                                   ConvertPath::Avx2, ConvertPath::Avx512};

// "scalar", "sse2", "ssse3", "avx2", "avx512".
std::string_view ConvertPathName(ConvertPath path);
std::optional<ConvertPath> ConvertPathNamed(std::string_view name);

// The fastest path this processor runs.
ConvertPath BestConvertPath();

// The path new converters take: $VELMAR_CONVERT_PATH's when it names one this
// processor runs, otherwise the fastest.
ConvertPath ChosenConvertPath();

// True when this processor can run the path.
bool ConvertPathSupported(ConvertPath path);

// Makes `converter` convert on `path` from now on. False, with nothing changed, for a
// null converter or a path this processor cannot run.
bool SetConvertPath(ColourConverter* converter, ConvertPath path);
