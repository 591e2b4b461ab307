#pragma once
// Icons of the toolbars and the tool strip: decoded once from a PNG file in
// the icon folder (or drawn from a built-in polygon table), optionally
// inverted for a dark background, and kept scaled per pixel height. An icon
// whose file cannot be read falls back to its polygon table when it has one;
// a failure is remembered until the icon folder changes, so painting never
// reads a missing file again and again.
#include "platform/Bitmap.h"
#include "platform/PolygonIcon.h"

#include <map>
#include <set>
#include <string>

struct IconRequest {
    int imageSource = 1;  // 1 file in the icon folder, 0 program resource (none here), 2 polygon
    std::string name;     // file name; ".png" is added when it has no dot
    const PolygonTable* polygon = nullptr;  // source 2, and the stand-in for a file that fails
    uint32_t tint = 0;    // 0xRRGGBB of polygon icons
    uint32_t commandId = 0;
};

class IconStore {
public:
    // folder relative to the program's folder unless absolute.
    explicit IconStore(std::string folder = "resources", bool relative = true);

    std::string Folder() const;
    // Changing the folder forgets every icon and every failure.
    void SetFolder(const std::string& folder, bool relative);
    // File icons are inverted (R, G, B complemented, alpha kept) when on.
    void SetInvertFiles(bool invert);
    bool InvertFiles() const { return invert_; }

    // The unscaled icon, or null when there is none.
    BitmapPtr Base(const IconRequest& icon);
    // The icon scaled to height pixels (aspect kept), or null.
    BitmapPtr Scaled(const IconRequest& icon, int height);
    void ClearScaled() { scaled_.clear(); }
    void Clear();
    // How many files were read (for tests: failures are not retried).
    int FileReads() const { return fileReads_; }

    // The path a file icon is read from: the folder, '/', the trimmed name
    // with ".png" added when it has no dot.
    static std::string IconPath(const std::string& folder, const std::string& name);

private:
    std::string BaseKey(const IconRequest& s) const;
    std::string folder_;
    bool relative_;
    bool invert_ = false;
    std::map<std::string, BitmapPtr> base_;
    std::set<std::string> failed_;
    std::map<std::string, std::map<int, BitmapPtr>> scaled_;
    int fileReads_ = 0;
};

// A colour is dark when its luma (R x 299 + G x 587 + B x 114) / 1000 is below 140.
bool IsDarkColor(uint32_t rgb);
