// The file under a recording: a stdio file that seeks with 64-bit offsets.
#pragma once

#include <cstdio>

#include "byte_stream.h"

// Creates or truncates path for reading and writing. The stream does its own
// buffering, so stdio's buffer is turned off: a write error then shows up at
// the write that caused it, not at fclose where nobody could report it.
FILE* OpenRecordingFile(const char* path);

ByteStreamSink RecordingFileSink(FILE* file);
