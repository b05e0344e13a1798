// Chunk framing helpers: a chunk's size field is written as 0 and patched when
// the chunk ends.
#pragma once

#include <cstdint>

#include "byte_stream.h"

// Puts fourcc and a zero size; returns the chunk's data start.
int64_t AviStartChunk(ByteStream& stream, const char* fourcc);
// Patches the size of the chunk whose data starts at dataStart.
void AviEndChunk(ByteStream& stream, int64_t dataStart);

// "00dc" for stream 0: the two-digit stream number, then "dc" (video).
uint32_t AviChunkId(int streamNumber);
// "ix00" for stream 0: the standard index chunk of a stream.
uint32_t AviStandardIndexId(int streamNumber);
