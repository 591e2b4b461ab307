#pragma once
// The "BRPS" byte record of a BrushSettings (version 1, little-endian,
// packed): what a brush library stores per brush.
#include "brushes/BrushSettings.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Largest tip or grain image a record may hold.
constexpr uint32_t kBrushRecordMaxImageBytes = 0x8000000;

// The whole record, 114 bytes plus the two images. Values are written as
// they are; images above kBrushRecordMaxImageBytes make the record empty
// (the reader would refuse it).
std::vector<uint8_t> SerializeBrushSettings(const BrushSettings& settings);

// Reads a record into out. False, with out untouched, for a short or damaged
// record, an unknown version or tip kind, oversized images, or a float that
// is not finite. Accepted values are limited to what the brush controls can
// set (size 1..500, fractions 0..1, spacing 0.01..2, scales 0.01..100, angle
// -360..360), so a damaged library never asks for an absurd tip.
bool DeserializeBrushSettings(const uint8_t* data, size_t size, BrushSettings& out);

// Limits every value of the settings to the ranges above.
void ClampBrushSettings(BrushSettings& s);
