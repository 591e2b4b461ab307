#include "brushes/BrushLibrary.h"
#include "brushes/BrushRecord.h"
#include "platform/Files.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> U32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<uint8_t> Bytes(const char* s) { return std::vector<uint8_t>(s, s + std::strlen(s)); }

struct TempFolder {
    fs::path path;
    TempFolder() {
        static int serial = 0;
        path = fs::temp_directory_path() / ("brushlib_" + std::to_string(::getpid()) + "_" + std::to_string(++serial) +
                                             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempFolder() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

}  // namespace

TEST(BrushRecord, LayoutAndRoundTrip) {
    const BrushSettings defaults;
    std::vector<uint8_t> record = SerializeBrushSettings(defaults);
    ASSERT_EQ(record.size(), 114u);
    EXPECT_EQ(std::memcmp(record.data(), "BRPS\x01\0\0\0", 8), 0);

    BrushSettings s;
    s.tipRevision = 0x0000000100000002ull;
    s.tipImage = {1, 2, 3};
    s.grainImage = {9};
    s.tipKind = kBrushTipSquare;
    s.angleStep = 0.25f;
    record = SerializeBrushSettings(s);
    ASSERT_EQ(record.size(), 118u);
    EXPECT_EQ(std::vector<uint8_t>(record.begin() + 90, record.begin() + 98),
              (std::vector<uint8_t>{2, 0, 0, 0, 1, 0, 0, 0}));
    float step;
    std::memcpy(&step, record.data() + 61, 4);
    EXPECT_EQ(step, 0.25f);
    record.push_back(0xEE);  // trailing bytes are ignored
    record[24] = 7;          // any non-zero bool reads as true
    BrushSettings back;
    ASSERT_TRUE(DeserializeBrushSettings(record.data(), record.size(), back));
    EXPECT_TRUE(back.erase);
    EXPECT_EQ(SerializeBrushSettings(back)[24], 1);
    EXPECT_EQ(back.tipRevision, s.tipRevision);
    EXPECT_EQ(back.tipImage, s.tipImage);
    EXPECT_EQ(back.grainImage, s.grainImage);
    EXPECT_EQ(back.tipKind, kBrushTipSquare);
}

TEST(BrushRecord, DamagedRecordsChangeNothing) {
    const std::vector<uint8_t> good = SerializeBrushSettings(BrushSettings());
    auto refused = [](std::vector<uint8_t> r) {
        BrushSettings out;
        out.size = 77;
        const bool ok = DeserializeBrushSettings(r.data(), r.size(), out);
        return !ok && out.size == 77;
    };
    for (uint32_t version : {0u, 2u}) {
        std::vector<uint8_t> r = good;
        std::memcpy(&r[4], &version, 4);
        EXPECT_TRUE(refused(r)) << version;
    }
    for (size_t cut : {size_t(0), size_t(7), size_t(50), size_t(113)})
        EXPECT_TRUE(refused(std::vector<uint8_t>(good.begin(), good.begin() + cut))) << cut;
    std::vector<uint8_t> kind = good;
    kind[65] = 4;
    EXPECT_TRUE(refused(kind));
    std::vector<uint8_t> nan = good;
    const float q = NAN;
    std::memcpy(&nan[8], &q, 4);
    EXPECT_TRUE(refused(nan));
    std::vector<uint8_t> longImage = good;
    const uint32_t t = 1000;
    std::memcpy(&longImage[98], &t, 4);  // claims more tip bytes than remain
    EXPECT_TRUE(refused(longImage));

    // Finite but absurd values are limited to what the controls can set.
    BrushSettings wild;
    wild.size = 1e9f;
    wild.hardness = -3;
    wild.spacing = 0;
    wild.scaleX = 1e-9f;
    std::vector<uint8_t> r = SerializeBrushSettings(wild);
    BrushSettings out;
    ASSERT_TRUE(DeserializeBrushSettings(r.data(), r.size(), out));
    EXPECT_EQ(out.size, 500.0f);
    EXPECT_EQ(out.hardness, 0.0f);
    EXPECT_EQ(out.spacing, 0.01f);
    EXPECT_EQ(out.scaleX, 0.01f);
}

TEST(BrushLibrary, FileLimitsAndRoundTrip) {
    TempFolder dir;
    auto loads = [&](const std::vector<uint8_t>& bytes) {
        WriteFileAtomic(dir / "x.brs", bytes);
        BrushLibrary lib;
        lib.entries.resize(1);
        const bool ok = lib.Load(dir / "x.brs");
        if (!ok) {
            EXPECT_EQ(lib.entries.size(), 1u);  // a failed load changes nothing
        }
        return ok;
    };
    EXPECT_TRUE(loads(Cat({Bytes("BLIB"), U32(1), U32(0)})));
    EXPECT_TRUE(loads(Cat({Bytes("BLIB"), U32(0), U32(0)})));
    EXPECT_FALSE(loads(Cat({Bytes("BLIB"), U32(2), U32(0)})));
    EXPECT_FALSE(loads({}));
    EXPECT_FALSE(loads(Cat({Bytes("BLIB"), U32(1), U32(100001)})));
    const std::vector<uint8_t> record = SerializeBrushSettings(BrushSettings());
    auto entry = [&](uint32_t nameLength) {
        return Cat({Bytes("BLIB"), U32(1), U32(1), U32(nameLength), std::vector<uint8_t>(nameLength, 'a'),
                    U32(uint32_t(record.size())), record, U32(0)});
    };
    EXPECT_TRUE(loads(entry(1024)));
    EXPECT_FALSE(loads(entry(1025)));

    BrushLibrary lib;
    BrushEntry e;
    e.name = "Round";
    e.settings.size = 42;
    e.preview = {1, 2, 3};
    lib.entries = {e, BrushEntry{}};
    ASSERT_TRUE(lib.Save(dir / "mine.brs"));
    EXPECT_FALSE(fs::exists(dir / "mine.brs.tmp"));
    BrushLibrary back;
    ASSERT_TRUE(back.Load(dir / "mine.brs"));
    EXPECT_EQ(back.name, "mine.brs");
    ASSERT_EQ(back.entries.size(), 2u);
    EXPECT_EQ(back.entries[0].name, "Round");
    EXPECT_EQ(back.entries[0].settings.size, 42.0f);
    EXPECT_EQ(back.entries[0].preview, e.preview);
    EXPECT_TRUE(back.entries[1].preview.empty());

    // Save refuses what the reader would refuse, before touching the file.
    const auto before = fs::file_size(dir / "mine.brs");
    lib.entries[0].name.assign(1025, 'n');
    std::string error;
    EXPECT_FALSE(lib.Save(dir / "mine.brs", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(fs::file_size(dir / "mine.brs"), before);
    // A folder in the way of the rename: the save fails, nothing is left over.
    fs::create_directories(dir.path / "taken.brs" / "inside");
    lib.entries[0].name = "ok";
    EXPECT_FALSE(lib.Save(dir / "taken.brs"));
    EXPECT_FALSE(fs::exists(dir / "taken.brs.tmp"));
}

TEST(BrushLibrary, CurrentLibraryChoiceAndListing) {
    TempFolder user, installed;
    MemoryProfile profile;
    BrushLibrary installedLib;
    installedLib.entries.resize(2);
    ASSERT_TRUE(installedLib.Save(installed / "default.brs"));
    BrushLibrary other;
    other.entries.resize(3);
    ASSERT_TRUE(other.Save(user / "Zeta.brs"));
    ASSERT_TRUE(other.Save(user / "alpha.brs"));
    fs::create_directories(user.path / "folder.brs");

    BrushLibrary current;
    SetBrushLibraryPlaces({user.path.string(), installed.path.string(), &profile});
    SetCurrentBrushLibrary(&current);
    // No remembered choice: default.brs is copied in from the installed folder.
    EXPECT_EQ(GetBrushLibrary().entries.size(), 2u);
    EXPECT_TRUE(fs::exists(user / "default.brs"));
    EXPECT_EQ(ListBrushLibraries(), (std::vector<std::string>{"alpha.brs", "default.brs", "Zeta.brs"}));
    EXPECT_TRUE(SelectBrushLibrary("Zeta.brs"));
    EXPECT_EQ(current.entries.size(), 3u);
    EXPECT_EQ(ReadLastSelectedBrushLibrary(), "Zeta.brs");
    EXPECT_FALSE(SelectBrushLibrary("../escape.brs"));
    EXPECT_FALSE(SelectBrushLibrary("missing.brs"));
    EXPECT_EQ(current.entries.size(), 3u);

    // A fresh run remembers the choice.
    BrushLibrary next;
    SetCurrentBrushLibrary(&next);
    EXPECT_EQ(GetBrushLibrary().entries.size(), 3u);
    SetCurrentBrushLibrary(nullptr);
    SetBrushLibraryPlaces({});
}

TEST(BrushLibrary, PreviewStroke) {
    BitmapPtr b = Bitmap::Create(400, 130);
    BrushSettings tiny;
    tiny.size = 1;
    ASSERT_TRUE(RenderBrushPreview(*b, tiny));
    int covered = 0;
    for (int y = 0; y < 130; ++y)
        for (int x = 0; x < 400; ++x) covered += (b->Pixel(x, y) >> 24) != 0;
    EXPECT_GT(covered, 400);  // a 3-pixel line across the picture
    EXPECT_EQ(b->Pixel(0, 0), 0u);
    BitmapPtr narrow = Bitmap::Create(6, 6);
    EXPECT_TRUE(RenderBrushPreview(*narrow, BrushSettings()));  // no dab fits: still true
    EXPECT_FALSE(MakeBrushPreviewPng(BrushSettings()).empty());
}
