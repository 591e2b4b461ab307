#include "brushes/StencilLibraryStore.h"

#include "platform/Codecs.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Profile.h"
#include "platform/Raster.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

StencilPlaces& Places() {
    static StencilPlaces p;
    return p;
}

StencilLibraryStore* registeredStore = nullptr;

std::string WithSlash(std::string s) {
    if (!s.empty() && s.back() != '/') s += '/';
    return s;
}

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

bool LessNoCase(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(FoldCase(a[i])), y = static_cast<unsigned char>(FoldCase(b[i]));
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

const char* const kActiveLibraryValue = "ActiveLibrary";

// The folder of a library under one root: the name as given, else a folder
// whose name matches it without regard to case (the list shows one spelling
// for both roots). Empty when there is none.
std::string FindLibraryFolder(const std::string& root, const std::string& name) {
    const std::string exact = root + name;
    if (DirectoryExists(exact)) return exact;
    std::vector<std::string> names;
    ListStencilLibraryFolders(root, names);
    for (const std::string& n : names)
        if (EqualNoCase(n, name)) return root + n;
    return {};
}

}  // namespace

void SetStencilPlaces(const StencilPlaces& places) { Places() = places; }

std::string EmptyStencilLibraryHint(const std::string& activeName) {
    std::string folder = StencilPaths::GetUserRoot();
    if (IsSafeStencilLibraryName(activeName)) folder += activeName;
    return "Put PNG files into " + folder + " to fill this library.";
}

std::string StencilPaths::GetUserRoot() {
    std::string root = Places().userRoot;
    if (root.empty()) {
        root = GetAppDocumentsPath("", "stencils");
        if (root.empty()) root = "stencils";
    }
    CreateDirectories(root);
    return WithSlash(root);
}

std::string StencilPaths::GetInstalledRoot() {
    std::string root = Places().installedRoot;
    if (root.empty()) {
        const std::string program = GetProgramFolder();
        root = program.empty() ? std::string("stencils") : JoinPath(program, "stencils");
    }
    return WithSlash(root);
}

std::string CleanFolderName(const std::string& typed) {
    size_t b = 0, e = typed.size();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
    while (b < e && blank(typed[b])) ++b;
    while (e > b && blank(typed[e - 1])) --e;
    std::string out;
    for (size_t i = b; i < e; ++i) {
        const char c = typed[i];
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) continue;
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return {};
        out += c;
    }
    if (out.empty() || out.front() == '.') return {};
    return out;
}

bool IsSafeStencilLibraryName(const std::string& name) { return !name.empty() && CleanFolderName(name) == name; }

std::string FileStem(const std::string& path) {
    size_t cut = path.find_last_of('\\');
    if (cut == std::string::npos) cut = path.find_last_of('/');
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

void SetCurrentStencilStore(StencilLibraryStore* store) { registeredStore = store; }

StencilLibraryStore& StencilLibraryStore::Instance() {
    static StencilLibraryStore own;
    StencilLibraryStore& store = registeredStore ? *registeredStore : own;
    if (!store.initialised) {
        store.ChooseStartupLibrary();
        store.initialised = true;
    }
    return store;
}

void ListStencilLibraryFolders(const std::string& root, std::vector<std::string>& names) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code dirEc;
        if (!it->is_directory(dirEc)) continue;
        const std::string name = it->path().filename().string();
        if (name == "." || name == ".." || name == ".thumbs") continue;
        if (std::any_of(names.begin(), names.end(), [&](const std::string& n) { return EqualNoCase(n, name); })) continue;
        names.push_back(name);
    }
}

std::vector<std::string> StencilLibraryStore::ListLibraries() const {
    std::vector<std::string> names;
    ListStencilLibraryFolders(StencilPaths::GetUserRoot(), names);
    ListStencilLibraryFolders(StencilPaths::GetInstalledRoot(), names);
    std::sort(names.begin(), names.end(), LessNoCase);
    return names;
}

void StencilLibraryStore::ScanFolder(const std::string& folder, std::vector<StencilEntry>& out) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code dirEc;
        if (it->is_directory(dirEc)) continue;
        const std::string fileName = it->path().filename().string();
        const size_t dot = fileName.find_last_of('.');
        if (dot == std::string::npos) continue;
        std::string ext = fileName.substr(dot + 1);
        for (char& c : ext) c = FoldCase(c);
        if (ext != "png") continue;
        StencilEntry e;
        e.fileName = fileName;
        e.name = fileName.substr(0, dot);
        e.path = JoinPath(folder, fileName);
        out.push_back(std::move(e));
    }
}

bool StencilLibraryStore::Activate(const std::string& name) {
    activeName = name;
    entries.clear();
    cachedIndex = -1;
    cachedBitmap.reset();
    // A name that could reach outside the roots lists nothing.
    if (!IsSafeFileName(name)) return true;
    const std::string user = FindLibraryFolder(StencilPaths::GetUserRoot(), name);
    if (!user.empty()) ScanFolder(user, entries);
    const std::string installed = FindLibraryFolder(StencilPaths::GetInstalledRoot(), name);
    if (!installed.empty()) {
        std::vector<StencilEntry> more;
        ScanFolder(installed, more);
        const size_t own = entries.size();
        for (StencilEntry& e : more) {
            const bool shadowed = std::any_of(entries.begin(), entries.begin() + ptrdiff_t(own),
                                              [&](const StencilEntry& u) { return EqualNoCase(u.fileName, e.fileName); });
            if (!shadowed) entries.push_back(std::move(e));
        }
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const StencilEntry& a, const StencilEntry& b) { return LessNoCase(a.fileName, b.fileName); });
    return true;
}

bool StencilLibraryStore::SaveActiveLibrary(const std::string& name) {
    if (Profile* profile = Places().profile) profile->WriteString(kStencilsProfileKey, kActiveLibraryValue, name);
    const bool ok = Activate(name);
    initialised = true;
    return ok;
}

void StencilLibraryStore::ChooseStartupLibrary() {
    std::string saved;
    if (const Profile* profile = Places().profile)
        saved = profile->ReadString(kStencilsProfileKey, kActiveLibraryValue).value_or(std::string());
    std::vector<std::string> names = ListLibraries();
    if (names.empty()) {
        CreateDirectories(StencilPaths::GetUserRoot() + "default");
        names = {"default"};
    }
    if (!saved.empty())
        for (const std::string& n : names)
            if (EqualNoCase(n, saved)) {
                Activate(n);
                return;
            }
    Activate(names.front());
}

BitmapPtr DecodeStencilBytes(const std::vector<uint8_t>& bytes) {
    // The cap is checked on the header, before the pixels are decoded.
    return DecodeImage(bytes, nullptr, kMaxStencilPixels);
}

BitmapPtr DecodeStencilFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, kMaxStencilFileBytes)) return nullptr;
    return DecodeStencilBytes(bytes);
}

BitmapPtr StencilLibraryStore::LoadEntryBitmap(int index) {
    if (index < 0 || size_t(index) >= entries.size()) return nullptr;
    if (index == cachedIndex && cachedBitmap) return cachedBitmap;
    StencilEntry& e = entries[size_t(index)];
    ++decodeCount;
    BitmapPtr image = DecodeStencilFile(e.path);
    if (!image) return nullptr;
    e.width = image->Width();
    e.height = image->Height();
    cachedIndex = index;
    cachedBitmap = image;
    return image;
}

BitmapPtr MakeStencilThumbnail(const Bitmap& image, int thumbnailSide) {
    if (image.Width() < 1 || image.Height() < 1) return nullptr;
    BitmapPtr thumb = Bitmap::Create(thumbnailSide, thumbnailSide);
    if (!thumb) return nullptr;
    const float side = float(thumbnailSide);
    const float s = std::min(side / float(image.Width()), side / float(image.Height()));
    const float w = s * float(image.Width()), h = s * float(image.Height());
    ImageDrawOptions o;
    o.interpolation = Interpolation::Bicubic;
    o.compositing = Compositing::SourceCopy;
    DrawBitmapRect(RasterTarget::Of(*thumb), image, RectF{(side - w) / 2, (side - h) / 2, w, h}, o);
    return thumb;
}

BitmapPtr StencilLibraryStore::GetThumbnail(int index) {
    if (index < 0 || size_t(index) >= entries.size()) return nullptr;
    StencilEntry& e = entries[size_t(index)];
    if (e.thumbnail) return e.thumbnail;
    ++decodeCount;
    BitmapPtr image = DecodeStencilFile(e.path);
    if (!image) return nullptr;
    e.width = image->Width();
    e.height = image->Height();
    e.thumbnail = MakeStencilThumbnail(*image);
    return e.thumbnail;
}

namespace {

// Writes the whole buffer to a new file and syncs it; false on any failure.
bool WriteNewFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += size_t(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    return ok;
}

}  // namespace

StencilSaveResult SaveStencilPng(const std::string& userRoot, const std::string& library, const std::string& base,
                                 const Bitmap& image, std::string* written) {
    if (!IsSafeStencilLibraryName(library) || base.empty() || !IsSafeFileName(base + ".png"))
        return StencilSaveResult::kBadName;
    std::vector<uint8_t> png;
    if (!EncodePng(image, png)) return StencilSaveResult::kEncodeFailed;
    const std::string folder = JoinPath(userRoot, library);
    CreateDirectories(folder);
    if (!DirectoryExists(folder)) return StencilSaveResult::kWriteFailed;

    // A temporary file of our own, then a hard link to each candidate name:
    // link() fails on an existing name, so nothing is ever replaced, even a
    // file that appears between the check and the write.
    std::string temp;
    for (int k = 0; k < 100 && temp.empty(); ++k) {
        const std::string candidate = JoinPath(folder, ".stencil-" + std::to_string(::getpid()) + "-" + std::to_string(k) + ".tmp");
        if (WriteNewFile(candidate, png)) temp = candidate;
        else if (errno != EEXIST) {
            ::unlink(candidate.c_str());
            return StencilSaveResult::kWriteFailed;
        }
    }
    if (temp.empty()) return StencilSaveResult::kWriteFailed;
    StencilSaveResult result = StencilSaveResult::kNoFreeName;
    for (int n = 1; n <= 9999; ++n) {
        const std::string target = JoinPath(folder, n == 1 ? base + ".png" : base + " " + std::to_string(n) + ".png");
        if (::link(temp.c_str(), target.c_str()) == 0) {
            if (written) *written = target;
            result = StencilSaveResult::kSaved;
            break;
        }
        if (errno != EEXIST) {
            result = StencilSaveResult::kWriteFailed;
            break;
        }
    }
    ::unlink(temp.c_str());
    if (result == StencilSaveResult::kSaved) {
        // Make the new name durable before reporting success.
        const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dfd >= 0) {
            ::fsync(dfd);
            ::close(dfd);
        }
    }
    return result;
}
