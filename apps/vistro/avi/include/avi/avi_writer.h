// AVI recorder: writes compressed video frames into an OpenDML AVI file that
// stays a plain AVI 1.0 file below 1 GiB and grows "AVIX" pieces beyond it.
//
// Call order: AviOpen, AviAddVideoStream for each stream, AviWriteHeader,
// AviWriteFrame for every frame, AviFinish, AviClose. The file is complete only
// after AviFinish has returned 0.
#pragma once

#include <cstdint>

struct AviWriter;

// Codec number of JPEG frames (FourCC "MJPG") in the codec tag table.
inline constexpr int kAviCodecMjpeg = 4;

// Creates (or truncates) the file at path. Returns null when the file cannot be
// opened or memory runs out.
AviWriter* AviOpen(const char* path);

// Declares a video stream. Returns its stream number, or -1 for a missing
// writer, an unknown codec number, a size outside 1..65535, a frame rate below
// 1, a negative bit rate, all stream slots used, or a header already written.
int AviAddVideoStream(AviWriter* writer, int codecNumber, int width, int height, int framesPerSecond, int bitRate);

// Writes the file header up to the start of the frame data. Returns 0, or -1
// for a missing writer, a second call, or a write error of the file.
int AviWriteHeader(AviWriter* writer);

// Appends one frame of stream streamNumber. Returns 0, or -1 when the frame was
// refused (missing writer, bad stream number or data, header not written,
// already finished, no index memory) or when it did not reach the file whole: a
// write error (a full disk) takes the frame back and refuses every later one.
int AviWriteFrame(AviWriter* writer, int streamNumber, bool keyFrame, const void* data, int32_t length);

// Writes the indexes and counters and closes all lists. Returns 0 when the whole
// recording reached the file, -1 otherwise. After a write error the file is still
// finished so that it holds exactly the frames written whole before the error: the
// part of a frame that got to the disk is cut off, the indexes follow if there is
// room for them (else the header stops claiming one), and the sizes and counters
// are patched in place.
int AviFinish(AviWriter* writer);

// The errno of the first write that failed (ENOSPC, EFBIG, ...), or 0.
int AviWriteErrno(const AviWriter* writer);

// Closes the file and frees the writer. A null writer is ignored.
void AviClose(AviWriter* writer);
