#include "brushes/BrushLibraryEdits.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r\n\f\v");
    if (a == std::string::npos) return {};
    const size_t b = s.find_last_not_of(" \t\r\n\f\v");
    return s.substr(a, b - a + 1);
}

bool EndsWithBrs(const std::string& s) { return s.size() >= 4 && Lower(s.substr(s.size() - 4)) == ".brs"; }

}  // namespace

std::string ProposeLibraryName(const std::vector<std::string>& existing) {
    std::vector<std::string> taken;
    for (const std::string& f : existing) taken.push_back(Lower(f));
    auto free = [&](const std::string& name) {
        return std::find(taken.begin(), taken.end(), Lower(name + ".brs")) == taken.end();
    };
    if (free("New Set")) return "New Set";
    for (int i = 2; i <= 9999; ++i) {
        const std::string name = "New Set " + std::to_string(i);
        if (free(name)) return name;
    }
    return "New Set";
}

LibraryNameResult CleanLibraryFileName(const std::string& typed, std::string& out) {
    std::string name = Trim(typed);
    if (name.empty()) return LibraryNameResult::EmptyName;
    size_t cut = name.find_last_of('\\');
    if (cut == std::string::npos) cut = name.find_last_of('/');
    if (cut != std::string::npos) name = name.substr(cut + 1);
    static const std::string kInvalid = "<>:\"|?*";
    std::string kept;
    for (char c : name)
        if (kInvalid.find(c) == std::string::npos && static_cast<unsigned char>(c) >= 0x20) kept += c;
    kept = Trim(kept);
    // A bare "." or ".." would name the folder itself or its parent.
    if (kept.empty() || kept == "." || kept == "..") return LibraryNameResult::NoValidCharacters;
    if (!EndsWithBrs(kept)) kept += ".brs";
    // What is left must name a visible file right in the brushes folder: a
    // forward slash after the last backslash would still lead elsewhere, and
    // a leading dot would hide the library or climb out with "..".
    if (kept.find_first_of("/\\") != std::string::npos || kept.front() == '.' || kept.size() > 255)
        return LibraryNameResult::NotAFileName;
    out = kept;
    return LibraryNameResult::Ok;
}

const char* LibraryNameMessage(LibraryNameResult result) {
    switch (result) {
    case LibraryNameResult::Ok: return "";
    case LibraryNameResult::EmptyName: return "Please enter a name for the new brush library.";
    case LibraryNameResult::NoValidCharacters: return "That name contains no valid filename characters.";
    case LibraryNameResult::NotAFileName:
        return "That name cannot be a brush library's file name: it must not begin with a dot, lead into another "
               "folder or be longer than 255 bytes.";
    }
    return "";
}

bool LoadLibraryForAdding(const std::string& path, BrushLibrary& out) {
    out = BrushLibrary{};
    if (out.Load(path)) return true;
    // A dangling link counts as something there: writing would replace it;
    // so does a status that cannot be read (type none).
    std::error_code ec;
    if (std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found) return false;
    out = BrushLibrary{};
    out.path = path;
    return true;
}

BrushEntry MakeBrushEntry(const std::string& name, const BrushSettings& settings) {
    BrushEntry e;
    e.name = name;
    e.settings = settings;
    e.preview = MakeBrushPreviewPng(settings);
    return e;
}

bool AddOrReplaceBrush(BrushLibrary& library, const std::string& name, const BrushSettings& settings,
                       const std::function<bool(const std::string&)>& askReplace) {
    const std::string key = Lower(name);
    for (BrushEntry& e : library.entries) {
        if (Lower(e.name) != key) continue;
        if (!askReplace || !askReplace(name)) return false;
        e = MakeBrushEntry(name, settings);
        return true;
    }
    library.entries.push_back(MakeBrushEntry(name, settings));
    return true;
}

int MoveBrushUp(std::vector<BrushEntry>& entries, int selected, bool& changed) {
    changed = false;
    if (selected < 1 || selected >= int(entries.size())) return selected;
    std::swap(entries[size_t(selected)], entries[size_t(selected) - 1]);
    changed = true;
    return selected - 1;
}

int MoveBrushDown(std::vector<BrushEntry>& entries, int selected, bool& changed) {
    changed = false;
    if (selected < 0 || selected + 1 >= int(entries.size())) return selected;
    std::swap(entries[size_t(selected)], entries[size_t(selected) + 1]);
    changed = true;
    return selected + 1;
}

int DeleteBrush(std::vector<BrushEntry>& entries, int selected, bool& changed) {
    changed = false;
    if (selected < 0 || selected >= int(entries.size())) return selected;
    entries.erase(entries.begin() + selected);
    changed = true;
    if (entries.empty()) return -1;
    return std::min(int(entries.size()) - 1, selected);
}

int PresetListGeometry::MaxOffset() const {
    const int total = count * kRowHeight;
    return total > clientHeight ? total - clientHeight : 0;
}

int PresetListGeometry::ClampOffset(int offset) const { return std::clamp(offset, 0, MaxOffset()); }

int PresetListGeometry::RowAt(int y, int offset) const {
    if (y < 0) return -1;
    const int row = (y + offset) / kRowHeight;
    return row >= 0 && row < count ? row : -1;
}

bool PresetListGeometry::Thumb(int offset, int& top, int& height) const {
    const int total = count * kRowHeight;
    if (total <= clientHeight || clientHeight <= 0) return false;
    height = std::max(kMinThumb, int(int64_t(clientHeight) * clientHeight / total));
    height = std::min(height, clientHeight);
    const int travel = clientHeight - height;
    const int maxOffset = MaxOffset();
    top = maxOffset > 0 ? int(int64_t(travel) * ClampOffset(offset) / maxOffset) : 0;
    return true;
}

int LibraryListGeometry::RowAt(int y, int offset) const {
    if (y < 0) return -1;
    const int row = (y + offset) / kRowHeight;
    return row >= 0 && row < count ? row : -1;
}

std::string LibraryDisplayName(const std::string& file) {
    const size_t dot = file.rfind('.');
    return dot != std::string::npos && dot != 0 ? file.substr(0, dot) : file;
}
