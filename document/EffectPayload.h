#pragma once
// Filter stacks in the project and clipboard byte format: each filter is its
// type byte, enabled flag, payload length and a payload holding the record of
// that type. Readers parse each payload inside exactly its stated length.
#include "filters/EffectInstance.h"
#include "platform/Archive.h"

#include <vector>

// Curves longer than this are cut when read; the surplus points are skipped.
constexpr uint32_t kMaxStoredCurvePoints = 256;

// The payload length written for a type: the record's own when it is of that
// type, else that of the type's defaults. 0 for Invert and unknown types.
uint32_t EffectPayloadLength(uint8_t type, const EffectParams* params);
// Writes the payload of a type from params, or from the type's defaults when
// params is null or holds another type's record.
void WriteEffectParams(ArchiveWriter& ar, uint8_t type, const EffectParams* params);
void WriteEffectInstance(ArchiveWriter& ar, const EffectInstance& instance);
void WriteLevelsChannel(ArchiveWriter& ar, const LevelsChannel& channel);
void WriteEffectStack(ArchiveWriter& ar, const std::vector<EffectInstance>& stack);

LevelsChannel ReadLevelsChannel(ArchiveReader& ar);
// Reads the payload layout of a known type (0..17). The reader should already
// be limited to the payload (ReadEffectInstance does this).
EffectParams ReadEffectParams(ArchiveReader& ar, uint8_t type);
// One filter record. A payload shorter than its type's layout is a format
// error; bytes beyond the layout are skipped. Throws ArchiveError.
EffectInstance ReadEffectInstance(ArchiveReader& ar);
std::vector<EffectInstance> ReadEffectStack(ArchiveReader& ar);
