#pragma once
// Brush libraries: ".brs" files ("BLIB", version 1) of named brushes with a
// preview picture each, in the user's brushes folder. One library is
// current for the whole run; it is loaded on first use, and the choice of
// library is remembered in the profile.
#include "brushes/BrushSettings.h"
#include "platform/Bitmap.h"
#include "platform/Codecs.h"

#include <cstdint>
#include <string>
#include <vector>

class Profile;

struct BrushEntry {
    std::string name;
    BrushSettings settings;
    std::vector<uint8_t> preview;  // PNG of a stroke; may be empty
    BitmapPtr decodedPreview;      // cache of the library list, never stored
};

// Reading and writing limits of a library file. The writer enforces the
// same limits as the reader, so a saved library always loads again.
constexpr uint64_t kBrushLibraryMaxFileBytes = 0x10000000;
constexpr uint32_t kBrushLibraryMaxEntries = 100000;
constexpr uint32_t kBrushNameMaxBytes = 1024;
constexpr uint32_t kBrushPreviewMaxBytes = 0x2000000;

class BrushLibrary {
public:
    std::string name = "default.brs";  // file name with extension
    std::string path;                   // where it was loaded from
    std::vector<BrushEntry> entries;    // index = a slot's presetIndex

    // Writes the library atomically (temporary file, checked write, fsync,
    // rename). False, touching no file, when an entry breaks a limit; error
    // (when given) then says why. The library in memory never changes.
    bool Save(const std::string& path, std::string* error = nullptr) const;
    // Replaces the entries by the file's, or changes nothing and returns false.
    bool Load(const std::string& path);

    // The file's bytes, or false with a reason when a limit is broken.
    bool Serialize(std::vector<uint8_t>& out, std::string* error = nullptr) const;
    // Parses a whole file; false leaves entries untouched.
    static bool Parse(const uint8_t* data, size_t size, std::vector<BrushEntry>& entries);
};

// Where libraries live and where the choice is remembered; set once at
// start-up by the application (tests point them at folders of their own).
struct BrushLibraryPlaces {
    std::string userFolder;       // the user's brushes folder
    std::string installedFolder;  // the libraries that come with the program
    Profile* profile = nullptr;
};
void SetBrushLibraryPlaces(const BrushLibraryPlaces& places);
const BrushLibraryPlaces& GetBrushLibraryPlaces();

// The current library: the one registered by the application for the run
// (null: a library of this file's own), loaded on the first call.
void SetCurrentBrushLibrary(BrushLibrary* library);
BrushLibrary& GetBrushLibrary();
// Loads the named file of the user's folder and remembers it; false for an
// empty or unsafe name or a file that does not load.
bool SelectBrushLibrary(const std::string& fileName);
std::string ReadLastSelectedBrushLibrary();
std::string GetBrushesFolder();
std::string GetInstalledBrushesFolder();
// "*.brs" files of the user's folder, sorted without regard to case.
std::vector<std::string> ListBrushLibraries();

// A preview stroke (one sine period, white dabs of the brush's tip) drawn
// into a cleared bitmap; false for a bitmap without pixels.
bool RenderBrushPreview(Bitmap& bitmap, const BrushSettings& settings);
// The preview a new brush is stored with: 400 x 130, PNG; empty on failure.
std::vector<uint8_t> MakeBrushPreviewPng(const BrushSettings& settings);

// The library list shows a preview as a strip a few dozen pixels high, so a
// stored preview of more than this many pixels (a 2048 x 512 picture) is
// refused from its header, before any pixel is decoded; the list then draws
// a preview stroke of the brush instead.
constexpr int64_t kBrushPreviewMaxPixels = int64_t(1) << 20;
BitmapPtr DecodeBrushPreview(const std::vector<uint8_t>& bytes, DecodeError* why = nullptr);
