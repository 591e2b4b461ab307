#pragma once
// Command ids the document answers. Menus, accelerators and tool buttons send
// these through the command table.
#include <cstdint>

constexpr uint32_t kCmdEditUndo = 57643;  // "&Undo\tCtrl+Z", Ctrl+Z
constexpr uint32_t kCmdEditRedo = 57644;  // "Redo", Ctrl+Y
