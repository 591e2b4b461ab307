#include "platform/IconStore.h"

#include "platform/Codecs.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/MulDiv.h"
#include "platform/Raster.h"

#include <algorithm>
#include <cstdio>

namespace {
std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    const size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}
}  // namespace

bool IsDarkColor(uint32_t rgb) {
    const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return (r * 299 + g * 587 + b * 114) / 1000 < 140;
}

IconStore::IconStore(std::string folder, bool relative) : folder_(std::move(folder)), relative_(relative) {}

std::string IconStore::Folder() const {
    if (!relative_ || folder_.empty() || folder_[0] == '/') return folder_;
    std::string dir = GetProgramFolder();
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir + folder_;
}

void IconStore::SetFolder(const std::string& folder, bool relative) {
    if (folder == folder_ && relative == relative_) return;
    folder_ = folder;
    relative_ = relative;
    Clear();
}

void IconStore::SetInvertFiles(bool invert) {
    if (invert == invert_) return;
    invert_ = invert;
    Clear();
}

void IconStore::Clear() {
    base_.clear();
    scaled_.clear();
    failed_.clear();
}

std::string IconStore::IconPath(const std::string& folder, const std::string& name) {
    std::string n = Trim(name);
    if (n.find('.') == std::string::npos) n += ".png";
    if (folder.empty()) return n;
    return folder.back() == '/' ? folder + n : folder + "/" + n;
}

std::string IconStore::BaseKey(const IconRequest& s) const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d|%p|%u|", s.imageSource, static_cast<const void*>(s.polygon), s.tint);
    return buf + s.name;
}

BitmapPtr IconStore::Base(const IconRequest& s) {
    if (s.imageSource != 2 && s.name.empty()) return nullptr;
    const std::string key = BaseKey(s);
    if (auto it = base_.find(key); it != base_.end()) return it->second;
    if (failed_.count(key)) return nullptr;
    BitmapPtr bmp;
    if (s.imageSource == 1) {
        std::vector<uint8_t> bytes;
        ++fileReads_;
        if (ReadWholeFile(IconPath(Folder(), s.name), bytes, 16u << 20)) bmp = DecodeImage(bytes);
        if (bmp && invert_) {
            for (int y = 0; y < bmp->Height(); ++y) {
                uint32_t* row = bmp->Row32(y);
                for (int x = 0; x < bmp->Width(); ++x) row[x] ^= 0x00FFFFFFu;
            }
        }
    }
    // Polygon icons, and the stand-in for a file or resource that gave nothing.
    if (!bmp && s.polygon) bmp = RasterizePolygonMask(s.polygon, 128, 128, s.tint);
    if (!bmp || bmp->Height() <= 0) {
        failed_.insert(key);
        return nullptr;
    }
    base_[key] = bmp;
    return bmp;
}

BitmapPtr IconStore::Scaled(const IconRequest& s, int height) {
    if (height <= 0) return nullptr;
    BitmapPtr base = Base(s);
    if (!base || base->Height() <= 0) return nullptr;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u|", s.commandId);
    auto& sizes = scaled_[buf + BaseKey(s)];
    if (auto it = sizes.find(height); it != sizes.end()) return it->second;
    const int w = std::max(1, MulDiv(base->Width(), height, base->Height()));
    BitmapPtr out = Bitmap::Create(w, height);
    if (!out) return nullptr;
    RasterTarget target = RasterTarget::Of(*out);
    ClearTarget(target, 0);
    ImageDrawOptions o;
    o.compositing = Compositing::SourceCopy;
    DrawBitmapRect(target, *base, {0, 0, float(w), float(height)}, o);
    sizes[height] = out;
    return out;
}
