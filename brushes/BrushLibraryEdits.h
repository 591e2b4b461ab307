#pragma once
// What the brush dialogs and tabs decide without a window: names for new
// libraries and brushes, adding or replacing a brush, the Brush Manager's
// list edits, and the geometry of the preset and library lists.
#include "brushes/BrushLibrary.h"

#include <functional>
#include <string>
#include <vector>

// "New Set", then "New Set 2" ... "New Set 9999": the first whose ".brs" file
// is not among the existing names (compared without regard to case).
std::string ProposeLibraryName(const std::vector<std::string>& existingFiles);

// Turns what the user typed for a new library into a file name: the part
// after the last separator, without <>:"|?* and surrounding blanks, with
// ".brs" appended unless it ends so. Empty input gives EmptyName, a name
// with nothing valid NoValidCharacters, and one that would still not be a
// plain file of the brushes folder (a path left after the last backslash,
// such as "x\../../evil", a leading dot, more than 255 bytes)
// NotAFileName; out is set only on success.
enum class LibraryNameResult { Ok, EmptyName, NoValidCharacters, NotAFileName };
// What the user is told for each refusal ("" for Ok).
const char* LibraryNameMessage(LibraryNameResult result);
LibraryNameResult CleanLibraryFileName(const std::string& typed, std::string& out);

// Reads the library a brush is about to be saved into. Nothing at path gives
// an empty library for that path (a new file); false when something is there
// that does not load as a library (cut short, damaged, a folder): saving
// would write over it, so the caller must refuse.
bool LoadLibraryForAdding(const std::string& path, BrushLibrary& out);

// The entry saved for a slot's brush, its preview rendered.
BrushEntry MakeBrushEntry(const std::string& name, const BrushSettings& settings);

// Adds the brush, or replaces one of the same name (ignoring case) when
// askReplace(name) says yes. True when the library changed.
bool AddOrReplaceBrush(BrushLibrary& library, const std::string& name, const BrushSettings& settings,
                       const std::function<bool(const std::string&)>& askReplace);

// Brush Manager list edits on the entries; each returns the new selection
// (-1 for none) and sets changed when the list changed.
int MoveBrushUp(std::vector<BrushEntry>& entries, int selected, bool& changed);
int MoveBrushDown(std::vector<BrushEntry>& entries, int selected, bool& changed);
int DeleteBrush(std::vector<BrushEntry>& entries, int selected, bool& changed);

// The preset list: 52-pixel rows, a 14-pixel scroll strip.
struct PresetListGeometry {
    static constexpr int kRowHeight = 52;
    static constexpr int kPreviewHeight = 34;
    static constexpr int kStripWidth = 14;
    static constexpr int kMinThumb = 16;
    int count = 0;
    int clientHeight = 0;
    int MaxOffset() const;
    int ClampOffset(int offset) const;
    // Row under client y at the scroll offset, -1 outside the rows.
    int RowAt(int y, int offset) const;
    // Thumb height and top in the strip; false when the rows fit without one.
    bool Thumb(int offset, int& top, int& height) const;
};

// The library file list: 22-pixel rows.
struct LibraryListGeometry {
    static constexpr int kRowHeight = 22;
    int count = 0;
    int clientHeight = 0;
    int MaxOffset() const { return count * kRowHeight > clientHeight ? count * kRowHeight - clientHeight : 0; }
    int ClampOffset(int offset) const { return offset < 0 ? 0 : (offset > MaxOffset() ? MaxOffset() : offset); }
    int RowAt(int y, int offset) const;
};

// A library file name as the list shows it: without its extension, unless
// the dot is the first character.
std::string LibraryDisplayName(const std::string& file);
