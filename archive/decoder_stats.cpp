#include "archive/decoder_stats.h"

DecoderStats decoder_stats;

void ResetDecoderStats() { decoder_stats = DecoderStats{}; }
