#include "app/SeedBrushLibraries.h"

#include "platform/Files.h"
#include "platform/Profile.h"

#include <filesystem>
#include <system_error>

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
            if (fs::copy_file(p, fs::path(target) / p.filename(), fs::copy_options::overwrite_existing, fe)) ++copied;
        }
    }
    profile.WriteDword(kBrushesProfileKey, "BrushSeedVersion", 1);
    return copied;
}
