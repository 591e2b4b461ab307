#include "brushes/BrushLibrary.h"

#include "brushes/BrushRecord.h"
#include "brushes/DabRenderer.h"
#include "platform/Codecs.h"
#include "platform/Files.h"
#include "platform/Profile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

bool GetU32(const uint8_t* data, size_t size, size_t& pos, uint32_t& v) {
    if (size - pos < 4) return false;
    v = uint32_t(data[pos]) | uint32_t(data[pos + 1]) << 8 | uint32_t(data[pos + 2]) << 16 |
        uint32_t(data[pos + 3]) << 24;
    pos += 4;
    return true;
}

BrushLibraryPlaces& Places() {
    static BrushLibraryPlaces places;
    return places;
}

BrushLibrary* registeredLibrary = nullptr;
bool currentLoaded = false;

BrushLibrary& OwnLibrary() {
    static BrushLibrary library;
    return library;
}

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

}  // namespace

bool BrushLibrary::Serialize(std::vector<uint8_t>& out, std::string* error) const {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        out.clear();
        return false;
    };
    out.clear();
    if (entries.size() > kBrushLibraryMaxEntries) return fail("The library holds too many brushes.");
    out.reserve(std::min<size_t>(entries.size() * 8192 + 256, size_t(kBrushLibraryMaxFileBytes)));
    for (char c : {'B', 'L', 'I', 'B'}) out.push_back(uint8_t(c));
    PutU32(out, 1);
    PutU32(out, uint32_t(entries.size()));
    for (const BrushEntry& e : entries) {
        if (e.name.size() > kBrushNameMaxBytes) return fail("The brush name \"" + e.name.substr(0, 40) + "...\" is too long.");
        if (e.preview.size() > kBrushPreviewMaxBytes) return fail("The preview of \"" + e.name + "\" is too large.");
        const std::vector<uint8_t> record = SerializeBrushSettings(e.settings);
        if (record.empty()) return fail("The tip or grain image of \"" + e.name + "\" is too large.");
        PutU32(out, uint32_t(e.name.size()));
        out.insert(out.end(), e.name.begin(), e.name.end());
        PutU32(out, uint32_t(record.size()));
        out.insert(out.end(), record.begin(), record.end());
        PutU32(out, uint32_t(e.preview.size()));
        out.insert(out.end(), e.preview.begin(), e.preview.end());
        if (out.size() > kBrushLibraryMaxFileBytes) return fail("The library is too large to be saved.");
    }
    return true;
}

bool BrushLibrary::Save(const std::string& target, std::string* error) const {
    std::vector<uint8_t> bytes;
    if (target.empty()) {
        if (error) *error = "No file name.";
        return false;
    }
    if (!Serialize(bytes, error)) return false;
    return WriteFileAtomic(target, bytes, error);
}

bool BrushLibrary::Parse(const uint8_t* data, size_t size, std::vector<BrushEntry>& result) {
    if (!data || size < 12 || size > kBrushLibraryMaxFileBytes || std::memcmp(data, "BLIB", 4) != 0) return false;
    size_t pos = 4;
    uint32_t version = 0, count = 0;
    if (!GetU32(data, size, pos, version) || version > 1) return false;
    if (!GetU32(data, size, pos, count) || count > kBrushLibraryMaxEntries) return false;
    // Every entry takes at least 12 bytes: a count beyond that is a lie.
    if (uint64_t(count) * 12 > size - pos) return false;
    std::vector<BrushEntry> list;
    list.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        BrushEntry e;
        uint32_t n = 0, r = 0, p = 0;
        if (!GetU32(data, size, pos, n) || n > kBrushNameMaxBytes || n > size - pos) return false;
        e.name.assign(reinterpret_cast<const char*>(data + pos), n);
        pos += n;
        if (!GetU32(data, size, pos, r) || r > size - pos) return false;
        if (!DeserializeBrushSettings(data + pos, r, e.settings)) return false;
        pos += r;
        if (!GetU32(data, size, pos, p) || p > kBrushPreviewMaxBytes || p > size - pos) return false;
        e.preview.assign(data + pos, data + pos + p);
        pos += p;
        list.push_back(std::move(e));
    }
    result = std::move(list);
    return true;
}

bool BrushLibrary::Load(const std::string& file) {
    std::vector<uint8_t> bytes;
    if (file.empty() || !ReadWholeFile(file, bytes, kBrushLibraryMaxFileBytes) || bytes.empty()) return false;
    std::vector<BrushEntry> list;
    if (!Parse(bytes.data(), bytes.size(), list)) return false;
    entries = std::move(list);
    path = file;
    const std::string base = FileNameOf(file);
    if (!base.empty()) name = base;
    return true;
}

void SetBrushLibraryPlaces(const BrushLibraryPlaces& places) { Places() = places; }
const BrushLibraryPlaces& GetBrushLibraryPlaces() { return Places(); }

void SetCurrentBrushLibrary(BrushLibrary* library) {
    registeredLibrary = library;
    currentLoaded = false;
}

std::string GetBrushesFolder() {
    const std::string& folder = Places().userFolder;
    if (!folder.empty()) CreateDirectories(folder);
    return WithSlash(folder);
}

std::string GetInstalledBrushesFolder() { return WithSlash(Places().installedFolder); }

std::string ReadLastSelectedBrushLibrary() {
    const Profile* profile = Places().profile;
    if (!profile) return {};
    return profile->ReadString(kBrushesProfileKey, "LastSelectedLibrary").value_or(std::string());
}

std::vector<std::string> ListBrushLibraries() {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    const std::string folder = GetBrushesFolder();
    if (folder.empty()) return names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fe;
        if (!it->is_regular_file(fe)) continue;
        const std::string file = it->path().filename().string();
        if (file.size() > 4 && Lower(file.substr(file.size() - 4)) == ".brs") names.push_back(file);
    }
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
    return names;
}

BrushLibrary& GetBrushLibrary() {
    BrushLibrary& library = registeredLibrary ? *registeredLibrary : OwnLibrary();
    if (currentLoaded) return library;
    currentLoaded = true;
    const std::string folder = GetBrushesFolder();
    if (folder.empty()) return library;
    const std::string last = ReadLastSelectedBrushLibrary();
    if (!last.empty() && IsSafeFileName(last) && library.Load(folder + last)) return library;
    const std::string d = folder + "default.brs";
    const std::string installed = GetInstalledBrushesFolder();
    if (!FileExists(d) && !installed.empty() && FileExists(installed + "default.brs")) {
        std::error_code ec;
        std::filesystem::copy_file(installed + "default.brs", d, std::filesystem::copy_options::skip_existing, ec);
    }
    if (library.Load(d)) return library;
    const std::vector<std::string> all = ListBrushLibraries();
    if (!all.empty()) library.Load(folder + all.front());
    return library;
}

bool SelectBrushLibrary(const std::string& fileName) {
    if (fileName.empty() || !IsSafeFileName(fileName)) return false;
    BrushLibrary& library = GetBrushLibrary();
    const std::string folder = GetBrushesFolder();
    if (folder.empty() || !library.Load(folder + fileName)) return false;
    if (Profile* profile = Places().profile) profile->WriteString(kBrushesProfileKey, "LastSelectedLibrary", fileName);
    return true;
}

BitmapPtr DecodeBrushPreview(const std::vector<uint8_t>& bytes, DecodeError* why) {
    return DecodeImage(bytes, why, kBrushPreviewMaxPixels);
}

bool RenderBrushPreview(Bitmap& bitmap, const BrushSettings& settings) {
    const int W = bitmap.Width(), H = bitmap.Height();
    if (W < 1 || H < 1 || !bitmap.Data()) return false;
    BrushSettings s = settings;
    if (!(s.size >= 3.0f)) s.size = 3.0f;
    const int n = TipSizeFor(s.size);
    DabRenderer renderer;
    const std::vector<float>& tip = renderer.BuildTip(s).Tip();
    if (tip.empty()) return false;
    bitmap.Clear(0);
    const float half = float(n) / 2.0f;
    const float margin = std::max(half + 2.0f, 4.0f);
    const float end = float(W) - margin;
    if (margin >= end) return true;
    const float middle = float(H) / 2.0f;
    const float amplitude = std::max(middle - half - 4.0f, 1.0f);
    const float step = std::max(SpacingFactor(s) * s.size, 0.5f);
    const float k = 2.0f * 3.14159265f / (end - margin);
    const int c = n / 2;
    const float opacity = std::clamp(s.opacity, 0.0f, 1.0f);
    for (float x = margin; x + step <= end; x += step) {
        const float y = std::sin((x - margin) * k) * amplitude + middle;
        const int x0 = int(std::floor(x)) - c, y0 = int(std::floor(y)) - c;
        for (int i = 0; i < n; ++i) {
            const int py = y0 + i;
            if (py < 0 || py >= H) continue;
            uint8_t* row = bitmap.Row(py);
            for (int j = 0; j < n; ++j) {
                const int px = x0 + j;
                const float t = tip[size_t(i) * n + j];
                if (px < 0 || px >= W || t == 0.0f) continue;
                uint8_t* p = row + size_t(px) * 4;
                const float g = t * opacity;
                const float a = std::min(p[3] / 255.0f * (1.0f - g) + g, 1.0f);
                p[0] = p[1] = p[2] = 255;
                p[3] = uint8_t(a * 255.0f + 0.5f);
            }
        }
    }
    return true;
}

std::vector<uint8_t> MakeBrushPreviewPng(const BrushSettings& settings) {
    std::vector<uint8_t> png;
    BitmapPtr bitmap = Bitmap::Create(400, 130);
    if (!bitmap || !RenderBrushPreview(*bitmap, settings) || !EncodePng(*bitmap, png)) png.clear();
    return png;
}
