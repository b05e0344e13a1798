#include "image/decoder_settings.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

void ApplyDecoderSettings(AVCodecContext* context) {
  context->thread_count = 1;
  context->idct_algo = FF_IDCT_XVID;
}
