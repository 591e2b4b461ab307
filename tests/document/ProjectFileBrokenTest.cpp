// Broken project files: each is refused with "Unexpected file format." and
// leaves the scene exactly as it was.
#include "document/ProjectFile.h"
#include "ProjectFileTestScene.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

// A scene that differs from every default, to see that nothing of it changes.
CanvasDocument Untouched() {
    CanvasDocument scene;
    scene.width = 333;
    scene.layers[1].objects.push_back(CanvasObject{});
    scene.layers[1].objects[0].id = "object_9";
    scene.activeLayerId = "backdrop";
    scene.primarySelectedId = "object_9";
    scene.selectedIds = {"object_9"};
    return scene;
}

void ExpectRefused(const std::vector<uint8_t>& bytes, const std::string& what) {
    SCOPED_TRACE(what);
    CanvasDocument scene = Untouched();
    const auto before = WriteProjectBytes(scene);
    std::string error;
    EXPECT_FALSE(ReadProjectBytes(bytes, scene, &error));
    EXPECT_EQ(error, "Unexpected file format.");
    EXPECT_EQ(WriteProjectBytes(scene), before);
    EXPECT_EQ(scene.selectedIds, std::vector<std::string>{"object_9"});
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

TEST(ProjectFileBroken, EveryTruncationIsRefused) {
    const auto full = WriteProjectBytes(TestScene());
    for (size_t n = 0; n < full.size(); ++n) {
        std::vector<uint8_t> cut(full.begin(), full.begin() + n);
        CanvasDocument scene = Untouched();
        const auto before = WriteProjectBytes(scene);
        ASSERT_FALSE(ReadProjectBytes(cut, scene)) << n;
        ASSERT_EQ(WriteProjectBytes(scene), before) << n;
    }
}

TEST(ProjectFileBroken, MagicAndVersions) {
    auto bytes = WriteProjectBytes(TestScene());
    for (uint32_t v : {0u, 12u, 15u, 0xFFFFFFFFu}) {
        auto b = bytes;
        Put32(b, 4, v);
        ExpectRefused(b, "version " + std::to_string(v));
    }
    auto b = bytes;
    b[3] = '2';
    ExpectRefused(b, "QVK2");
    ExpectRefused({'Q', 'V', 'K'}, "short magic");
}

// Counts and lengths that claim more than the file holds fail before any
// room is reserved for them.
TEST(ProjectFileBroken, HugeCountsAndLengths) {
    CanvasDocument one;
    one.layers.resize(1);
    one.layers[0].id = "layer_1";
    one.layers[0].name.clear();
    CanvasObject o;
    o.id = "object_1";
    o.width = o.height = 1;
    one.layers[0].objects = {o};
    const auto base = WriteProjectBytes(one);
    // Header: magic 4, version 4, sides 8, colour 4, active "layer_1" 4+14,
    // primary "" 4, layer count at 42.
    const size_t layerCount = 42;
    // Layer: id "layer_1" 18, name "" 4, flags 2, order 4: object count at +28.
    const size_t objectCount = layerCount + 4 + 28;
    // Object: id "object_1" 20, name 4, floats 24, flags 2, z 4: part count at +54.
    const size_t partCount = objectCount + 4 + 54;
    const size_t boneCount = partCount + 4;
    const size_t tail = base.size();
    // From the end: filter count 4, mask count 4, mask sides 8, has-mask 1.
    const size_t filterCount = tail - 4;
    const size_t maskCount = tail - 8;
    ASSERT_TRUE(ReadProjectBytes(base, one));

    for (auto [at, what] : {std::pair{layerCount, "layer count"}, {objectCount, "object count"},
                            {partCount, "part count"}, {boneCount, "bone count"}, {maskCount, "mask count"},
                            {filterCount, "filter count"}}) {
        for (uint32_t v : {0xFFFFFFFFu, 0x80000000u, 0x00100000u}) {
            auto b = base;
            Put32(b, at, v);
            ExpectRefused(b, std::string(what) + " " + std::to_string(v));
        }
    }
    // A string length in its 32-bit form: FF FE FF, FF, FFFF, then 2^31 units.
    auto b = base;
    const std::vector<uint8_t> longString = {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80};
    b.erase(b.begin() + 20, b.begin() + 24);  // the active layer id's short prefix
    b.insert(b.begin() + 20, longString.begin(), longString.end());
    ExpectRefused(b, "string length");
}

TEST(ProjectFileBroken, Fixtures) {
    const std::filesystem::path dir = std::filesystem::path(TEST_FIXTURES_DIR) / "broken_qvk";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadWholeFile(entry.path().string(), bytes, 1 << 26) || entry.file_size() == 0);
        const std::string name = entry.path().filename().string();
        if (name.rfind("crash-", 0) == 0) {
            // Inputs that once crashed the reader: now they read or are
            // refused cleanly, and a refusal changes nothing.
            CanvasDocument scene = Untouched();
            const auto before = WriteProjectBytes(scene);
            if (!ReadProjectBytes(bytes, scene)) {
                EXPECT_EQ(WriteProjectBytes(scene), before) << name;
            }
        } else {
            ExpectRefused(bytes, name);
        }
        ++count;
    }
    EXPECT_GT(count, 0);
}

}  // namespace
