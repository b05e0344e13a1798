// How the decoder sets up libavcodec's MJPEG decoder. A reference decoder that tests or
// benchmarks set up with the same call decodes to the same samples.
#pragma once

struct AVCodecContext;

// One thread, the library's default error handling (a damaged scan gives the frame the
// library makes of it; only what the library reports as an error fails) and its XVID
// inverse DCT, which meets the IEEE 1180 accuracy limits (the default one misses the
// overall mean error) and is the faster of the two.
void ApplyDecoderSettings(AVCodecContext* context);
