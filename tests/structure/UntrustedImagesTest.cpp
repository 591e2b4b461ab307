// Image bytes from files, projects and the clipboard are decoded only by the
// program's own decoders (platform/Codecs), which read exactly PNG, JPEG and
// BMP. OpenCV's decoding entry points try every format OpenCV was built with
// (DICOM, GDAL, ...) on whatever they are given, so no program source may
// call them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

TEST(UntrustedImages, NoProgramSourceDecodesThroughOpenCV) {
    const fs::path root = fs::canonical(fs::path(TEST_FIXTURES_DIR) / ".." / "..");
    std::vector<std::string> offenders;
    size_t scanned = 0;
    for (const char* folder : {"platform", "filters", "selection", "scene", "document", "posable", "brushes",
                               "canvas_view", "properties", "app"})
        for (const auto& e : fs::recursive_directory_iterator(root / folder)) {
            const std::string ext = e.path().extension().string();
            if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            std::ifstream in(e.path());
            std::stringstream text;
            text << in.rdbuf();
            ++scanned;
            for (const char* call : {"imdecode", "imread", "IMREAD_", "VideoCapture"})
                if (text.str().find(call) != std::string::npos)
                    offenders.push_back(fs::relative(e.path(), root).string() + ": " + call);
        }
    EXPECT_GT(scanned, 50u);
    std::string list;
    for (const std::string& o : offenders) list += "  " + o + "\n";
    EXPECT_TRUE(offenders.empty()) << "OpenCV decoding in program sources:\n" << list;
}
