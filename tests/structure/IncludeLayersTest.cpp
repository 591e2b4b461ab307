// Holds the source tree to its layers: every `#include "..."` of a source file
// must point at its own layer or one below it, and no file of the core library
// may include one of the window library. Bottom first:
//   platform/ (core) -> kernels (filters/, selection/) -> scene/ -> document/
//   -> the subsystems' core code (posable/, brushes/, canvas_view/,
//      properties/, and filters/ or selection/ code that needs more than
//      pixels) -> window kit (platform/qt/) -> views and panes (<folder>/ui/)
//   -> app/ (and app/ui/, the frame).
// filters/ and selection/ hold both pixel kernels and code built on the scene
// or the document, so each of their files sits just above the highest layer
// it (or its header or source twin) includes: a kernel that starts to need
// the scene is no longer one the scene may include.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Layers in steps of 10; a file of filters/ or selection/ takes 5 above the
// highest fixed layer it needs.
constexpr int kPlatform = 10, kKernel = 20, kScene = 30, kDocument = 40, kSubsystem = 50, kWindowKit = 60,
              kViews = 70, kShell = 80;

const std::vector<std::string> kSourceFolders{"platform", "filters",     "selection",  "scene",   "document",
                                              "posable",  "brushes",     "canvas_view", "properties", "app"};

// Includes that break the order today, each with the reason it is tolerated.
// Keep this tiny; an entry that is no longer needed fails the test so that it
// is removed.
const std::set<std::pair<std::string, std::string>> kAllowed{};

fs::path SourceRoot() { return fs::canonical(fs::path(TEST_FIXTURES_DIR) / ".." / ".."); }

struct SourceFile {
    std::string path;  // relative to the source root, with '/'
    std::vector<std::string> includes;  // resolved the same way, existing files only
};

// The first two folder names of a path ("canvas_view", "ui").
std::pair<std::string, std::string> TopFolders(const std::string& path) {
    std::vector<std::string> parts;
    std::stringstream ss(path);
    for (std::string part; std::getline(ss, part, '/');) parts.push_back(part);
    parts.pop_back();  // the file name
    return {parts.size() > 0 ? parts[0] : "", parts.size() > 1 ? parts[1] : ""};
}

bool IsKernelFolderFile(const std::string& path) {
    auto [top, sub] = TopFolders(path);
    return (top == "filters" || top == "selection") && sub != "ui";
}

// The layer of a file outside filters/ and selection/ core code; -1 when its
// folder has none.
int FixedLayer(const std::string& path) {
    auto [top, sub] = TopFolders(path);
    if (top == "platform") return sub == "qt" ? kWindowKit : kPlatform;
    if (top == "app") return kShell;
    if (sub == "ui") return kViews;
    if (top == "scene") return kScene;
    if (top == "document") return kDocument;
    if (top == "posable" || top == "brushes" || top == "canvas_view" || top == "properties") return kSubsystem;
    return -1;
}

// Files of the window library: views, panes and the window kit; the program
// itself (app/main.cpp) links it too.
bool IsUiFile(const std::string& path) {
    auto [top, sub] = TopFolders(path);
    return sub == "ui" || (top == "platform" && sub == "qt") || path == "app/main.cpp";
}

// A header and its source file are one unit.
std::string UnitOf(const std::string& path) {
    size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(0, dot);
}

std::vector<SourceFile> ReadSources(const fs::path& root) {
    static const std::regex includeLine(R"(^\s*#\s*include\s*"([^"]+)\")");
    std::vector<SourceFile> files;
    for (const std::string& folder : kSourceFolders) {
        if (!fs::is_directory(root / folder)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            SourceFile file;
            file.path = fs::relative(entry.path(), root).generic_string();
            std::ifstream in(entry.path());
            std::smatch m;
            for (std::string line; std::getline(in, line);) {
                if (!std::regex_search(line, m, includeLine)) continue;
                // From the source root as the build's include path has it,
                // else beside the including file; generated files (moc) are
                // neither and are left alone.
                fs::path target = root / m[1].str();
                if (!fs::is_regular_file(target)) target = entry.path().parent_path() / m[1].str();
                if (!fs::is_regular_file(target)) continue;
                file.includes.push_back(fs::relative(fs::canonical(target), root).generic_string());
            }
            files.push_back(std::move(file));
        }
    }
    std::sort(files.begin(), files.end(), [](const SourceFile& a, const SourceFile& b) { return a.path < b.path; });
    return files;
}

// The layer of every file: fixed by folder, or for filters/ and selection/
// core code derived from what its unit includes.
std::map<std::string, int> Layers(const std::vector<SourceFile>& files, std::vector<std::string>& errors) {
    std::map<std::string, int> layer;
    std::map<std::string, int> unitLayer;
    for (const SourceFile& f : files) {
        if (IsKernelFolderFile(f.path)) {
            unitLayer[UnitOf(f.path)] = kKernel;
        } else if (int l = FixedLayer(f.path); l >= 0) {
            layer[f.path] = l;
        } else {
            errors.push_back(f.path + " is in a folder without a layer");
        }
    }
    // Rises only, and never past the highest fixed layer plus 5: it settles.
    for (bool changed = true; changed;) {
        changed = false;
        for (const SourceFile& f : files) {
            if (!IsKernelFolderFile(f.path)) continue;
            int& own = unitLayer[UnitOf(f.path)];
            for (const std::string& inc : f.includes) {
                if (UnitOf(inc) == UnitOf(f.path)) continue;
                int needed = -1;
                if (IsKernelFolderFile(inc)) {
                    if (auto it = unitLayer.find(UnitOf(inc)); it != unitLayer.end()) needed = it->second;
                } else if (auto it = layer.find(inc); it != layer.end()) {
                    needed = it->second == kPlatform ? kKernel : it->second + 5;
                }
                if (needed > own) {
                    own = needed;
                    changed = true;
                }
            }
        }
    }
    for (const SourceFile& f : files)
        if (IsKernelFolderFile(f.path)) layer[f.path] = unitLayer[UnitOf(f.path)];
    return layer;
}

std::string LayerName(int l) {
    switch (l) {
        case kPlatform: return "platform (core)";
        case kKernel: return "kernel";
        case kScene: return "scene";
        case kDocument: return "document";
        case kSubsystem: return "subsystem core";
        case kWindowKit: return "window kit";
        case kViews: return "views and panes";
        case kShell: return "app";
        default: return "code built on the " + LayerName(l - 5) + " layer";
    }
}

// Every include that goes up a layer or from the core library into the window
// library, as "file -> include (why)".
std::vector<std::string> Violations(const std::vector<SourceFile>& files, std::set<std::pair<std::string, std::string>>& used) {
    std::vector<std::string> errors;
    std::map<std::string, int> layer = Layers(files, errors);
    for (const SourceFile& f : files) {
        for (const std::string& inc : f.includes) {
            auto it = layer.find(inc);
            if (it == layer.end()) continue;  // not a source file of the layered folders
            std::string why;
            if (it->second > layer[f.path])
                why = "from " + LayerName(layer[f.path]) + " up to " + LayerName(it->second);
            else if (!IsUiFile(f.path) && IsUiFile(inc))
                why = "the core library includes a file of the window library";
            if (why.empty()) continue;
            if (kAllowed.count({f.path, inc})) {
                used.insert({f.path, inc});
                continue;
            }
            errors.push_back(f.path + " -> " + inc + " (" + why + ")");
        }
    }
    return errors;
}

std::string Lines(const std::vector<std::string>& v) {
    std::string s;
    for (const std::string& line : v) s += "  " + line + "\n";
    return s;
}

}  // namespace

TEST(IncludeLayers, NoIncludeReachesUpOrIntoTheWindowLibrary) {
    std::vector<SourceFile> files = ReadSources(SourceRoot());
    ASSERT_GT(files.size(), 50u) << "source tree not found from " << SourceRoot();
    std::set<std::pair<std::string, std::string>> used;
    std::vector<std::string> errors = Violations(files, used);
    EXPECT_TRUE(errors.empty()) << "includes against the layer order:\n" << Lines(errors);
    std::vector<std::string> stale;
    for (const auto& entry : kAllowed)
        if (!used.count(entry)) stale.push_back(entry.first + " -> " + entry.second);
    EXPECT_TRUE(stale.empty()) << "allowed includes that no longer break the order; remove them from kAllowed:\n"
                               << Lines(stale);
}

// The rule itself on a small made-up tree, so that a fault in the scan does
// not pass silently as a clean tree.
TEST(IncludeLayers, RuleCatchesUpwardAndCoreToUiIncludes) {
    struct Case {
        const char* name;
        std::vector<SourceFile> files;
        size_t violations;
    };
    const std::vector<Case> cases{
        {"downward includes are fine",
         {{"scene/A.cpp", {"platform/B.h", "filters/K.h"}},
          {"platform/B.h", {}},
          {"filters/K.h", {"platform/B.h"}},
          {"canvas_view/ui/V.cpp", {"platform/qt/W.h", "document/D.h"}},
          {"platform/qt/W.h", {"platform/B.h"}},
          {"document/D.h", {"scene/A.cpp"}}},
         0},
        {"scene includes the document",
         {{"scene/A.cpp", {"document/D.h"}}, {"document/D.h", {}}},
         1},
        {"a view includes the frame",
         {{"canvas_view/ui/V.cpp", {"app/ui/CMainFrame.h"}}, {"app/ui/CMainFrame.h", {}}},
         1},
        {"core includes the window kit",
         {{"canvas_view/G.cpp", {"platform/qt/W.h"}}, {"platform/qt/W.h", {}}},
         1},
        {"app core includes app ui",
         {{"app/M.cpp", {"app/ui/F.h"}}, {"app/ui/F.h", {}}},
         1},
        {"the scene may not include a selection file whose source needs the scene",
         {{"scene/A.cpp", {"selection/T.h"}},
          {"selection/T.h", {"selection/R.h"}},
          {"selection/T.cpp", {"selection/T.h", "scene/A.h"}},
          {"selection/R.h", {}},
          {"scene/A.h", {}},
          {"document/D.cpp", {"selection/T.h"}}},
         1},
        {"a kernel built on a scene-built kernel rises with it",
         {{"scene/A.cpp", {"filters/K.h"}},
          {"filters/K.h", {"filters/L.h"}},
          {"filters/L.h", {"scene/B.h"}},
          {"scene/B.h", {}}},
         1},
    };
    for (const Case& c : cases) {
        std::set<std::pair<std::string, std::string>> used;
        EXPECT_EQ(Violations(c.files, used).size(), c.violations) << c.name;
    }
}
