#pragma once
// What the document makes of the command ids it answers (the ids themselves
// are in document/CommandIds.h).
#include "document/CommandIds.h"

#include <cstdint>

// The tool a tool command chooses, or -1 for another id.
int ToolForCommand(uint32_t commandId);
