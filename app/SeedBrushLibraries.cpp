#include "app/SeedBrushLibraries.h"

#include "platform/Files.h"
#include "platform/Profile.h"

#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

// Anything at the path, a dangling link included, is the user's.
bool Taken(const std::filesystem::path& p) {
    // A status that cannot be read at all (type none) counts as taken too.
    std::error_code ec;
    return std::filesystem::symlink_status(p, ec).type() != std::filesystem::file_type::not_found;
}

// Publishes a whole copy of source at target, never replacing what is there:
// the bytes go to a synced temporary file first, which is then linked in
// under the target's name (a link fails when the name is taken). A copy
// that fails half-way leaves no partial library behind.
bool CopyWithoutReplacing(const std::filesystem::path& source, const std::filesystem::path& target) {
    namespace fs = std::filesystem;
    if (Taken(target)) return false;
    std::vector<uint8_t> bytes;
    const ReadFileResult read = ReadWholeFileChecked(source.string(), bytes, 0x10000000);
    if (read != kReadOk && read != kReadEmpty) return false;
    const fs::path temp = fs::path(target).concat(".seed");
    if (!WriteFileAtomic(temp.string(), bytes)) return false;
    std::error_code ec;
    fs::create_hard_link(temp, target, ec);
    if (ec && !Taken(target)) {
        // A folder on a file system without hard links: rename, still only
        // where nothing is.
        ec.clear();
        fs::rename(temp, target, ec);
    }
    std::error_code ignored;
    fs::remove(temp, ignored);
    return !ec;
}

}  // namespace

int SeedUserBrushLibraries(Profile& profile, const std::string& source, const std::string& target) {
    auto done = profile.ReadDword(kBrushesProfileKey, "BrushSeedVersion");
    if (done && *done != 0) return 0;
    namespace fs = std::filesystem;
    int copied = 0;
    std::error_code ec;
    if (!source.empty() && !target.empty() && fs::is_directory(source, ec)) {
        CreateDirectories(target);
        for (const fs::directory_entry& e : fs::directory_iterator(source, ec)) {
            std::error_code fe;
            if (e.is_directory(fe)) continue;
            const fs::path& p = e.path();
            if (p.extension() != ".brs") continue;
            if (CopyWithoutReplacing(p, fs::path(target) / p.filename())) ++copied;
        }
    }
    profile.WriteDword(kBrushesProfileKey, "BrushSeedVersion", 1);
    return copied;
}
