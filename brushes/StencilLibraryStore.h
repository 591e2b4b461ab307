#pragma once
// Stencil ("Kitbash") libraries: folders of PNG files under two roots, the
// user's (Documents/Plindrow/stencils) and the one beside the program. A
// library is the union of the same-named folder under both roots, a user file
// shadowing an installed one of the same name. One library is active; its
// stencils are listed without decoding, the active stencil's image is decoded
// on demand (one cached at a time) and thumbnails are built on first use and
// kept in memory only.
#include "platform/Bitmap.h"

#include <cstdint>
#include <string>
#include <vector>

class Profile;

struct StencilEntry {
    std::string fileName;  // as listed, extension included ("rock.png")
    std::string name;      // up to the last '.' ("rock")
    std::string path;      // library folder under the root it was found in + '/' + fileName
    int32_t width = 0, height = 0;  // 0 until decoded once
    BitmapPtr thumbnail;            // 192 x 192, built on first request
};

// Decoded stencils and the images a thumbnail is made from are refused above
// these caps (checked on the file's header before decoding where possible).
constexpr int64_t kMaxStencilPixels = int64_t(1) << 26;
constexpr uint64_t kMaxStencilFileBytes = uint64_t(1) << 28;
constexpr int kStencilThumbnailSide = 192;

// Where the roots are and where the active library is remembered; set once
// at start-up by the application (tests point them at folders of their own).
// Empty roots fall back to Documents/Plindrow/stencils and the program's
// folder + "/stencils".
struct StencilPlaces {
    std::string userRoot;
    std::string installedRoot;
    Profile* profile = nullptr;
};
void SetStencilPlaces(const StencilPlaces& places);

namespace StencilPaths {
// Both end in '/'. The user root is created when missing.
std::string GetUserRoot();
std::string GetInstalledRoot();
}  // namespace StencilPaths

// A library name typed by the user, trimmed and stripped of \ / : * ? " < > |.
// Empty when nothing usable is left or the result could leave the stencils
// folder or hide itself: ".", "..", a leading '.', or a control character.
std::string CleanFolderName(const std::string& typed);
// True when a name from anywhere (profile, list, typed) is a bare folder name
// that CleanFolderName leaves unchanged.
bool IsSafeStencilLibraryName(const std::string& name);
// What an empty library shows: the full path of the user's folder for the
// library (the stencils root itself for an unsafe name) to put PNG files into.
std::string EmptyStencilLibraryHint(const std::string& activeName);
// The file's base name: after the last '\\' (or '/'), up to the last '.'.
std::string FileStem(const std::string& path);

class StencilLibraryStore {
public:
    std::string activeName;
    std::vector<StencilEntry> entries;  // sorted by fileName without regard to case
    int32_t cachedIndex = -1;
    BitmapPtr cachedBitmap;
    bool initialised = false;

    // The store registered by the application (or one of this file's own);
    // the first call chooses the active library from the profile.
    static StencilLibraryStore& Instance();

    // Makes `name` active and re-reads its folders. An unsafe name is active
    // with no entries: nothing outside the roots is ever listed.
    bool Activate(const std::string& name);
    // Remembers the name in the profile, then activates it.
    bool SaveActiveLibrary(const std::string& name);
    // The library folders of both roots, unique without regard to case (the
    // user root's spelling wins), sorted without regard to case. ".thumbs" is
    // never a library.
    std::vector<std::string> ListLibraries() const;
    // The decoded image of an entry (shared, stays valid after the store moves
    // on), or null for a bad index or a file that does not decode.
    BitmapPtr LoadEntryBitmap(int index);
    // The entry's 192 x 192 thumbnail, built once; null when it cannot be made.
    BitmapPtr GetThumbnail(int index);

    // Appends the PNG files of one folder (not decoded).
    static void ScanFolder(const std::string& folder, std::vector<StencilEntry>& out);
    // Runs the start-up choice: the profile's library when it still exists,
    // else the first listed one; with no library at all "default" is created.
    void ChooseStartupLibrary();

    // Number of files decoded so far (images and thumbnails), for tests and benchmarks.
    int decodeCount = 0;
};

// The store that Instance() returns (null: a store of this file's own).
void SetCurrentStencilStore(StencilLibraryStore* store);

// Appends the library folders of one root, skipping names already listed
// (compared without regard to case).
void ListStencilLibraryFolders(const std::string& root, std::vector<std::string>& names);
// The side x side thumbnail of a decoded image (192 x 192 in the library
// list): scaled to fit, centred, on transparent. Null for an empty image.
BitmapPtr MakeStencilThumbnail(const Bitmap& image, int side = kStencilThumbnailSide);
// Reads and decodes a stencil file within the caps; null when it cannot.
BitmapPtr DecodeStencilFile(const std::string& path);
// Decodes a stencil file's bytes within the pixel cap; null when they do not.
BitmapPtr DecodeStencilBytes(const std::vector<uint8_t>& bytes);

// Writing a new stencil into a library folder under the user root.
enum class StencilSaveResult { kSaved, kBadName, kNoFreeName, kEncodeFailed, kWriteFailed };
// Writes `image` as PNG into userRoot/library/ as base.png, or "base N.png"
// with the first N from 2 that is free. The file is written under a temporary
// name and linked into place without ever replacing a file, so a file made
// meanwhile is never overwritten; the temporary file is removed on failure.
// `written` receives the path on success.
StencilSaveResult SaveStencilPng(const std::string& userRoot, const std::string& library, const std::string& base,
                                 const Bitmap& image, std::string* written = nullptr);
