// The conversion paths: the portable scalar reference and the vector paths, all
// bit-exact with each other. A converter takes the fastest one the processor runs;
// tests and benchmarks choose one to compare them.
#pragma once

#include "image/colour_converter.h"

enum class ConvertPath { Scalar, Sse2, Avx2, Avx512 };

// The fastest path this processor runs.
ConvertPath BestConvertPath();

// True when this processor can run the path.
bool ConvertPathSupported(ConvertPath path);

// Makes `converter` convert on `path` from now on. False, with nothing changed, for a
// null converter or a path this processor cannot run.
bool SetConvertPath(ColourConverter* converter, ConvertPath path);
