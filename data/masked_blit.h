// A masked bit-block transfer built only from plain BitBlt calls.
//
// MaskedBlit takes MaskBlt's parameters and four-operand raster code: the low
// 24 bits are the foreground operation (a full ternary code) applied where the
// mask bits are 1, the high byte the index of the background operation applied
// where they are 0. The mask may be any bitmap; its pixel bits select between
// the two results bit by bit:  destination := (F AND M) OR (B AND NOT M).
#pragma once

#include <cstdint>

#include "platform/win32.h"

// Every ternary raster operation by index: entry i carries i in bits 16-23 and
// the platform's encoding of the operation in bits 0-15.
extern const uint32_t TernaryRopTable[256];

// The index of the same operation with the roles of source and destination
// exchanged (only the low 8 bits of `index` count).
uint32_t SwapRopSourceDest(uint32_t index);

// Returns nonzero when done. With a null mask this is one BitBlt with the
// foreground operation.
int32_t MaskedBlit(HDC destination, int32_t x, int32_t y, int32_t width, int32_t height,
                   HDC source, int32_t source_x, int32_t source_y, HBITMAP mask,
                   int32_t mask_x, int32_t mask_y, uint32_t rop4);
