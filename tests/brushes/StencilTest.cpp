#include "brushes/BitmapPaintSession.h"
#include "brushes/HostDabs.h"
#include "brushes/StencilLibraryStore.h"
#include "brushes/StencilOverlay.h"
#include "filters/BlurKernels.h"
#include "platform/Codecs.h"
#include "platform/CpuLevel.h"
#include "platform/Files.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Two stencil roots of a test's own, and the profile the store remembers in.
struct Roots {
    fs::path base, user, installed;
    MemoryProfile profile;
    StencilLibraryStore store;
    Roots() {
        base = fs::temp_directory_path() / ("stencils_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(base);
        user = base / "user";
        installed = base / "installed";
        fs::create_directories(user);
        fs::create_directories(installed);
        SetStencilPlaces({user.string(), installed.string(), &profile});
    }
    ~Roots() {
        SetStencilPlaces({});
        fs::remove_all(base);
    }
};

BitmapPtr Solid(int w, int h, uint32_t argb) {
    BitmapPtr b = Bitmap::Create(w, h);
    b->Clear(argb);
    return b;
}

void WritePng(const fs::path& path, const Bitmap& image) {
    fs::create_directories(path.parent_path());
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePng(image, png));
    ASSERT_TRUE(WriteFileAtomic(path.string(), png));
}

void Touch(const fs::path& path, const std::string& bytes = "x") {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << bytes;
}

std::vector<std::string> FileNames(const StencilLibraryStore& s) {
    std::vector<std::string> out;
    for (const StencilEntry& e : s.entries) out.push_back(e.fileName);
    return out;
}

}  // namespace

TEST(StencilStore, ListsAndUnitesLibrariesOfBothRoots) {
    Roots r;
    for (const char* d : {"beta", ".thumbs", ".Thumbs", "alpha", "shared"}) fs::create_directories(r.user / d);
    for (const char* d : {"Beta", "gamma", "shared"}) fs::create_directories(r.installed / d);
    Touch(r.user / "loose.png");  // a file is never a library
    EXPECT_EQ(r.store.ListLibraries(), (std::vector<std::string>{".Thumbs", "alpha", "beta", "gamma", "shared"}));

    // A user file shadows the installed one of the same name, whatever its case;
    // only PNG files are stencils, the extension compared without case.
    WritePng(r.user / "shared" / "a.png", *Solid(2, 2, 0xFF0000FF));
    WritePng(r.installed / "shared" / "A.png", *Solid(2, 2, 0xFFFF0000));
    WritePng(r.installed / "shared" / "b.png", *Solid(2, 2, 0xFFFF0000));
    Touch(r.installed / "shared" / "Rock.PNG");
    Touch(r.installed / "shared" / "rock.png.bak");
    Touch(r.installed / "shared" / "noext");
    fs::create_directories(r.installed / "shared" / "dir.png");
    r.store.Activate("shared");
    ASSERT_EQ(FileNames(r.store), (std::vector<std::string>{"a.png", "b.png", "Rock.PNG"}));
    EXPECT_EQ(r.store.entries[0].path, (r.user / "shared" / "a.png").string());
    EXPECT_EQ(r.store.entries[1].path, (r.installed / "shared" / "b.png").string());
    EXPECT_EQ(r.store.entries[2].name, "Rock");
    EXPECT_EQ(r.store.entries[0].width, 0);  // listing decodes nothing
    EXPECT_EQ(r.store.decodeCount, 0);
}

TEST(StencilStore, ActivationFollowsFilesAddedDeletedAndRenamed) {
    Roots r;
    const fs::path lib = r.user / "rocks";
    WritePng(lib / "b.png", *Solid(3, 2, 0xFF00FF00));
    r.store.Activate("rocks");
    ASSERT_EQ(FileNames(r.store), (std::vector<std::string>{"b.png"}));
    struct Step {
        const char* what;
        std::function<void()> change;
        std::vector<std::string> expected;
    } steps[] = {
        {"add", [&] { WritePng(lib / "a b.png", *Solid(2, 2, 0xFF00FF00)); }, {"a b.png", "b.png"}},
        {"add", [&] { WritePng(lib / "a.png", *Solid(2, 2, 0xFF00FF00)); }, {"a b.png", "a.png", "b.png"}},
        {"rename", [&] { fs::rename(lib / "b.png", lib / "C.png"); }, {"a b.png", "a.png", "C.png"}},
        {"delete", [&] { fs::remove(lib / "a.png"); }, {"a b.png", "C.png"}},
        {"delete folder", [&] { fs::remove_all(lib); }, {}},
    };
    for (const Step& s : steps) {
        s.change();
        // Nothing changes until the library is activated again.
        r.store.Activate("rocks");
        EXPECT_EQ(FileNames(r.store), s.expected) << s.what;
    }
}

TEST(StencilStore, HostileLibraryNamesReachNothingOutsideTheRoots) {
    Roots r;
    WritePng(r.base / "secret" / "x.png", *Solid(2, 2, 0xFF000000));  // beside the roots
    WritePng(r.user / "ok" / "x.png", *Solid(2, 2, 0xFF000000));
    const BitmapPtr image = Solid(2, 2, 0xFF112233);
    struct Case {
        std::string typed, cleaned;
    } cases[] = {
        {"  new:set? ", "newset"}, {"ok", "ok"},         {"..", ""},          {".", ""},
        {"../secret", ""},         {"..\\secret", ""},   {".hidden", ""},     {"a/../b", "a..b"},
        {"x\x01y", ""},            {"tab\tname", ""},    {"   ", ""},         {"<>|*?\"", ""},
        {"/abs", "abs"},           {"C:\\temp", "Ctemp"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CleanFolderName(c.typed), c.cleaned) << c.typed;
        // Unclean names are refused as they stand; nothing is written anywhere.
        if (CleanFolderName(c.typed) != c.typed) {
            EXPECT_EQ(SaveStencilPng(r.user.string(), c.typed, "s", *image), StencilSaveResult::kBadName) << c.typed;
        }
        // Activating a hostile name lists nothing outside the roots.
        r.store.Activate(c.typed);
        if (c.typed != "ok") {
            EXPECT_TRUE(r.store.entries.empty()) << c.typed;
        }
    }
    // The empty-library hint names the user's own folder, never a hostile path.
    const std::string userRoot = StencilPaths::GetUserRoot();
    EXPECT_EQ(EmptyStencilLibraryHint("ok"), "Put PNG files into " + userRoot + "ok to fill this library.");
    EXPECT_EQ(EmptyStencilLibraryHint("../secret"), "Put PNG files into " + userRoot + " to fill this library.");
    for (const char* hostileBase : {"../up", "a/b", ""})
        EXPECT_EQ(SaveStencilPng(r.user.string(), "ok", hostileBase, *image), StencilSaveResult::kBadName);
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(r.base / "secret"), {}), 1);
    EXPECT_FALSE(fs::exists(r.base / "up.png"));
}

TEST(StencilStore, SavedStencilsAreNumberedAndNeverReplaceAFile) {
    Roots r;
    const BitmapPtr image = Solid(4, 3, 0xFF336699);
    std::string written;
    ASSERT_EQ(SaveStencilPng(r.user.string(), "rocks", "Rock Face", *image, &written), StencilSaveResult::kSaved);
    EXPECT_EQ(written, (r.user / "rocks" / "Rock Face.png").string());
    ASSERT_EQ(SaveStencilPng(r.user.string(), "rocks", "Rock Face", *image, &written), StencilSaveResult::kSaved);
    EXPECT_EQ(written, (r.user / "rocks" / "Rock Face 2.png").string());
    // A file made by someone else under the next number is kept as it was.
    Touch(r.user / "rocks" / "Rock Face 3.png", "theirs");
    ASSERT_EQ(SaveStencilPng(r.user.string(), "rocks", "Rock Face", *image, &written), StencilSaveResult::kSaved);
    EXPECT_EQ(written, (r.user / "rocks" / "Rock Face 4.png").string());
    std::ifstream theirs(r.user / "rocks" / "Rock Face 3.png");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(theirs), {}), "theirs");
    // No temporary files are left, and the saved file decodes to the image.
    r.store.Activate("rocks");
    EXPECT_EQ(FileNames(r.store), (std::vector<std::string>{"Rock Face 2.png", "Rock Face 3.png", "Rock Face 4.png", "Rock Face.png"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(r.user / "rocks"), {}), 4);
    const BitmapPtr back = r.store.LoadEntryBitmap(3);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Pixel(3, 2), 0xFF336699u);
    EXPECT_EQ(FileStem("C:\\x\\Rock Face.jpg"), "Rock Face");
    EXPECT_EQ(FileStem("/x/noext"), "noext");
    EXPECT_EQ(FileStem("/x/.png"), "");
}

TEST(StencilStore, StartupChoiceDecodeCacheAndThumbnails) {
    {
        Roots r;  // no library anywhere: "default" is made under the user root
        r.store.ChooseStartupLibrary();
        EXPECT_EQ(r.store.activeName, "default");
        EXPECT_TRUE(fs::is_directory(r.user / "default"));
    }
    Roots r;
    fs::create_directories(r.user / "Zeta");
    fs::create_directories(r.installed / "alpha");
    r.profile.WriteString(kStencilsProfileKey, "ActiveLibrary", "gone");
    r.store.ChooseStartupLibrary();
    EXPECT_EQ(r.store.activeName, "alpha");
    r.profile.WriteString(kStencilsProfileKey, "ActiveLibrary", "zeta");
    r.store.ChooseStartupLibrary();
    EXPECT_EQ(r.store.activeName, "Zeta");  // the folder's own spelling
    r.store.SaveActiveLibrary("Zeta");
    EXPECT_EQ(r.profile.GetString(kStencilsProfileKey, "ActiveLibrary", ""), "Zeta");

    WritePng(r.user / "Zeta" / "a.png", *Solid(400, 100, 0xFF204060));
    WritePng(r.user / "Zeta" / "b.png", *Solid(8, 8, 0xFF204060));
    Touch(r.user / "Zeta" / "c.png", "not a png");
    r.store.Activate("Zeta");
    ASSERT_EQ(r.store.entries.size(), 3u);
    const BitmapPtr a = r.store.LoadEntryBitmap(0);
    ASSERT_TRUE(a);
    EXPECT_EQ(r.store.LoadEntryBitmap(0), a);
    EXPECT_EQ(r.store.decodeCount, 1);
    ASSERT_TRUE(r.store.LoadEntryBitmap(1));
    ASSERT_TRUE(r.store.LoadEntryBitmap(0));
    EXPECT_EQ(r.store.decodeCount, 3);
    EXPECT_EQ(a->Width(), 400);  // the first image stays valid for whoever kept it
    EXPECT_EQ(r.store.entries[0].width, 400);
    // A corrupt file: no image, no thumbnail, asked again each time, cache kept.
    EXPECT_FALSE(r.store.LoadEntryBitmap(2));
    EXPECT_FALSE(r.store.GetThumbnail(2));
    EXPECT_EQ(r.store.cachedIndex, 0);
    EXPECT_FALSE(r.store.LoadEntryBitmap(-1));
    EXPECT_FALSE(r.store.GetThumbnail(3));
    // Thumbnails: 192 square, fitted and centred on transparent, built once.
    const int before = r.store.decodeCount;
    const BitmapPtr t = r.store.GetThumbnail(0);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->Width(), 192);
    EXPECT_EQ(t->Height(), 192);
    EXPECT_EQ(t->Pixel(96, 96), 0xFF204060u);
    EXPECT_EQ(t->Pixel(96, 10) >> 24, 0u);  // 400 x 100 fits as 192 x 48
    EXPECT_EQ(r.store.GetThumbnail(0), t);
    EXPECT_EQ(r.store.decodeCount, before + 1);
}

// ------------------------------------------------------------------ overlay

namespace {

// A store whose active library holds one w x h stencil.
struct PlacedStencil : Roots {
    StencilOverlay overlay{&store};
    PlacedStencil(int w, int h, uint32_t argb = 0xFF808080) {
        WritePng(user / "lib" / "s.png", *Solid(w, h, argb));
        store.Activate("lib");
    }
};

// A view of 1000 x 800 client pixels: gizmo frame (180, 80)-(820, 720), centre (500, 400).
StencilViewGeometry View(float zoom = 1, float canvasX = 0, float canvasY = 0) {
    return {RectI{0, 0, 1000, 800}, RectF{canvasX, canvasY, 1000, 1000}, zoom};
}

}  // namespace

TEST(StencilGizmo, FrameAndHitTest) {
    EXPECT_EQ(StencilGizmo::FrameRect({0, 0, 1000, 800}), (RectI{180, 80, 820, 720}));
    EXPECT_EQ(StencilGizmo::FrameRect({0, 0, 301, 225}), (RectI{118, 80, 182, 144}));  // odd side rounds down
    EXPECT_TRUE(StencilGizmo::FrameRect({0, 0, 300, 223}).IsEmpty());                  // inset side 63
    const RectI f{180, 80, 820, 720};
    struct Case {
        float x, y;
        StencilGizmoHit hit;
    } cases[] = {
        {500, 46, kGizmoRotate},       {508, 54, kGizmoRotate},  {180, 80, kGizmoCornerTopLeft},
        {830.5f, 69.5f, kGizmoCornerTopRight}, {820, 720, kGizmoCornerBottomRight}, {170, 730, kGizmoCornerBottomLeft},
        {513, 84, kGizmoEdgeTop},       {826, 413, kGizmoEdgeRight},    {487, 712, kGizmoEdgeBottom},
        {172, 400, kGizmoEdgeLeft},     {758, 658, kGizmoMove},         {807.9f, 707.9f, kGizmoMove},
        {808, 700, kGizmoNone},         {700, 708, kGizmoNone},         {500, 400, kGizmoNone},
        {500, 70, kGizmoNone},          {831, 80, kGizmoNone},
    };
    for (const Case& c : cases) EXPECT_EQ(StencilGizmo::HitTest(f, {c.x, c.y}), c.hit) << c.x << ", " << c.y;
}

TEST(StencilOverlay, SelectPlacesAndResetCentres) {
    PlacedStencil p(100, 100);
    StencilOverlay& o = p.overlay;
    EXPECT_FALSE(o.OnButtonDown(View(), {500, 46}));  // no stencil: no gizmo
    o.SelectStencil(0);
    ASSERT_TRUE(o.HasStencil());
    EXPECT_EQ(o.transform.centerX, 50);  // top-left corner on the canvas origin
    ASSERT_TRUE(o.imprint.placedBitmap);
    EXPECT_EQ(o.imprint.placedBitmap->Width(), 100);
    EXPECT_EQ(o.imprint.placedOriginX, 0);
    o.transform.rotation = 45;
    o.Rebuild();
    ASSERT_TRUE(o.imprint.placedBitmap);
    EXPECT_EQ(o.imprint.placedBitmap->Width(), 142);
    EXPECT_EQ(o.imprint.placedBitmap->Height(), 142);
    EXPECT_NEAR(o.imprint.placedOriginX, 50 - 70.7107f, 1e-3);
    EXPECT_TRUE(o.imprint.detailPixels.empty());  // made only for detail transfer
    o.ResetTransform(PointF{600, 400});
    EXPECT_EQ(o.transform, (StencilTransform{300, 200, 1, 0, 1, 1}));
    EXPECT_EQ(o.imprint.placedOriginX, 250);
    // A stencil added before the active one: the overlay follows its file.
    WritePng(p.user / "lib" / "a.png", *Solid(4, 4, 0xFF000000));
    p.store.Activate("lib");
    o.FindActiveAgain();
    EXPECT_EQ(o.activeIndex, 1);
    fs::remove(p.user / "lib" / "s.png");
    p.store.Activate("lib");
    o.FindActiveAgain();
    EXPECT_FALSE(o.HasStencil());
    o.SelectStencil(0);
    o.SelectStencil(5);  // outside the entries: cleared
    EXPECT_FALSE(o.HasStencil());
    EXPECT_FALSE(o.imprint.placedBitmap);
}

TEST(StencilOverlay, PlacedImageIsClippedOrRefusedNeverHuge) {
    PlacedStencil p(100, 100);
    StencilOverlay& o = p.overlay;
    o.SelectStencil(0);
    o.ResetTransform(PointF{200, 100});
    o.transform.scale = 50;  // 5000 x 5000 whole; only the canvas and a margin are kept
    o.Rebuild();
    ASSERT_TRUE(o.imprint.placedBitmap);
    EXPECT_EQ(o.imprint.placedBitmap->Width(), 200 + 2 * kStencilClipMargin);
    EXPECT_EQ(o.imprint.placedBitmap->Height(), 100 + 2 * kStencilClipMargin);
    EXPECT_EQ(o.imprint.placedOriginX, -float(kStencilClipMargin));
    // The same sampling grid as the whole image: origin differs by whole pixels.
    o.transform.centerX = 100.25f;
    o.Rebuild();
    EXPECT_FLOAT_EQ(o.imprint.placedOriginX - std::floor(o.imprint.placedOriginX), 0.25f);
    // Moved off the canvas: nothing to imprint, no error.
    o.transform.centerX = 100000;
    o.Rebuild();
    EXPECT_FALSE(o.imprint.placedBitmap);
    EXPECT_TRUE(o.placeError.empty());
    // Without a canvas the whole stencil is placed, and a size beyond the cap is refused.
    StencilOverlay free(&p.store);
    free.SelectStencil(0);
    free.transform.scale = 50;
    free.transform.stretchX = 20;
    free.Rebuild();
    EXPECT_FALSE(free.imprint.placedBitmap);
    EXPECT_FALSE(free.placeError.empty());
}

TEST(StencilOverlay, FastPlacementMatchesTheGeneralDraw) {
    // Smooth colour and alpha inside; the two bicubic kernels (OpenCV's
    // a = -0.75, the general draw's -0.5) then agree within a few levels; the
    // fast path's 8-bit premultiplied step adds up to 255 / (2 alpha) more.
    // Their edges differ by design (kernel falloff against exact coverage),
    // so only pixels whose image point lies 2 pixels inside are compared.
    constexpr int W = 33, H = 29;
    BitmapPtr smooth = Bitmap::Create(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            smooth->SetPixel(x, y, (uint32_t(150 + 100 * std::sin(x * 0.2)) << 24) | (uint32_t(x * 7) << 16) |
                                       (uint32_t(y * 8) << 8) | uint32_t(128 + 3 * (x - y)));
    // Opaque grey beside transparent pixels that hide pure red.
    BitmapPtr holes = Bitmap::Create(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) holes->SetPixel(x, y, (x / 4 + y / 4) % 2 ? 0x00FF0000 : 0xFF808080);
    const StencilTransform cases[] = {{40.5f, 40.5f, 1, 0, 1, 1}, {40.3f, 39.7f, 1.5f, 20, 1, 1}, {50, 45, 2, -75, 1.4f, 1}};
    ForEachCpuLevel([&](CpuLevel level) {
        SCOPED_TRACE(CpuLevelName(level));
        for (const StencilTransform& t : cases) {
            const BitmapPtr fast = RenderPlacedStencil(*smooth, t, 0, 0, 96, 96);
            const BitmapPtr slow = RenderPlacedStencil(*smooth, t, 0, 0, 96, 96, true);
            ASSERT_TRUE(fast && slow);
            const float a = t.rotation * 0.017453292f, sx = t.scale * t.stretchX, sy = t.scale * t.stretchY;
            int worst = 0, compared = 0;
            for (int y = 0; y < 96; ++y)
                for (int x = 0; x < 96; ++x) {
                    const float dx = x + 0.5f - t.centerX, dy = y + 0.5f - t.centerY;
                    const float ix = (dx * std::cos(a) + dy * std::sin(a)) / sx + W / 2.0f;
                    const float iy = (dy * std::cos(a) - dx * std::sin(a)) / sy + H / 2.0f;
                    if (ix < 2 || iy < 2 || ix > W - 2 || iy > H - 2) continue;
                    ++compared;
                    for (int c = 0; c < 4; ++c) worst = std::max(worst, std::abs(int(fast->Row(y)[x * 4 + c]) - int(slow->Row(y)[x * 4 + c])));
                }
            EXPECT_GT(compared, 500);
            EXPECT_LE(worst, 8) << t.rotation;
            if (t.scale == 1) {  // unscaled on whole pixels (top-left at 24, 26): an exact copy
                EXPECT_EQ(fast->Pixel(24 + 9, 26 + 1), smooth->Pixel(9, 1));
            }
            // No hidden red comes through where there is any real coverage.
            const BitmapPtr h = RenderPlacedStencil(*holes, t, 0, 0, 96, 96);
            for (int y = 0; y < 96; ++y)
                for (int x = 0; x < 96; ++x) {
                    const uint8_t* p = h->Row(y) + x * 4;
                    if (p[3] < 32) continue;
                    ASSERT_LE(std::abs(int(p[2]) - int(p[1])), 6) << x << ", " << y << " rotation " << t.rotation;
                }
        }
    });
}

TEST(StencilOverlay, GizmoDragsRotateScaleStretchAndMove) {
    PlacedStencil p(100, 100);
    StencilOverlay& o = p.overlay;
    o.SelectStencil(0);
    o.ResetTransform(PointF{1000, 1000});  // centre (500, 500), under the view's (500, 400) at zoom 1... moved below
    const StencilViewGeometry view = View(2, 0, -600);  // canvas point under the gizmo centre: (250, 500)
    const int rebuilds = o.rebuildCount;

    // Rotation knob from straight above to straight right: +90 clockwise, about the gizmo's canvas point.
    ASSERT_TRUE(o.OnButtonDown(view, {500, 46}));
    EXPECT_EQ(o.dragMode, kStencilDragRotate);
    EXPECT_EQ(o.pivotCanvas.x, 250);
    EXPECT_EQ(o.pivotCanvas.y, 500);
    ASSERT_TRUE(o.OnMouseMove({600, 400}));
    EXPECT_NEAR(o.transform.rotation, 90, 1e-3);
    EXPECT_NEAR(o.transform.centerX, 250, 1e-2);  // (500,500) swung about (250,500) by 90 degrees
    EXPECT_NEAR(o.transform.centerY, 750, 1e-2);
    // Once round the centre: back to the start angle (the stored number may jump 360).
    o.OnMouseMove({500, 300});
    EXPECT_NEAR(std::fmod(o.transform.rotation + 720, 360), 0, 1e-3);
    EXPECT_EQ(o.rebuildCount, rebuilds);  // no rebuild while dragging
    ASSERT_TRUE(o.OnButtonUp());
    EXPECT_EQ(o.rebuildCount, rebuilds + 1);
    EXPECT_FALSE(o.OnButtonUp());
    EXPECT_FALSE(o.OnMouseMove({1, 1}));

    // Corner to twice its distance doubles the scale; limits 0.05 and 50.
    o.ResetTransform(PointF{500, 1000});  // centre (250, 500): on the pivot
    struct ScaleCase {
        PointF to;
        float scale;
    } scales[] = {{{-140, -240}, 2.0f}, {{500, 400}, 0.05f}, {{500 - 3400000, 400}, 50.0f}};
    for (const ScaleCase& c : scales) {
        ASSERT_TRUE(o.OnButtonDown(view, {180, 80}));
        EXPECT_EQ(o.dragMode, kStencilDragScale);
        o.OnMouseMove(c.to);
        EXPECT_NEAR(o.transform.scale, c.scale, 1e-4);
        EXPECT_NEAR(o.transform.centerX, 250, 1e-2);  // scaled about the pivot it sits on
        o.OnButtonUp();
        o.transform.scale = 1;
    }
    // Right edge: past the centre stops at x0.05 (never mirrors), outwards at x20.
    struct StretchCase {
        float startStretch, toX, stretch;
    } stretches[] = {{1, 660, 0.5f}, {1, 100, 0.05f}, {0.5f, 100, 0.05f}, {1, 500 + 320 * 30, 20}, {4, 500 + 320 * 3, 12}};
    for (const StretchCase& c : stretches) {
        o.transform.stretchX = c.startStretch;
        ASSERT_TRUE(o.OnButtonDown(view, {820, 400}));
        EXPECT_EQ(o.dragMode, kStencilDragStretch);
        o.OnMouseMove({c.toX, 400});
        EXPECT_NEAR(o.transform.stretchX, c.stretch, 1e-4) << c.startStretch << " " << c.toX;
        EXPECT_EQ(o.transform.stretchY, 1);
        o.OnButtonUp();
    }
    // Move square and right drag: the pointer's travel divided by the zoom.
    o.ResetTransform(PointF{500, 1000});
    ASSERT_TRUE(o.OnButtonDown(view, {770, 670}));
    EXPECT_EQ(o.dragMode, kStencilDragMove);
    o.OnMouseMove({790, 640});
    EXPECT_EQ(o.transform.centerX, 260);
    EXPECT_EQ(o.transform.centerY, 485);
    o.OnButtonUp();
    ASSERT_TRUE(o.OnRightButtonDown(view, {10, 10}));
    o.OnMouseMove({-10, 30});
    EXPECT_EQ(o.transform.centerX, 250);
    EXPECT_EQ(o.transform.centerY, 495);
    EXPECT_TRUE(o.OnCaptureLost());  // a lost capture ends the drag like a release
    EXPECT_EQ(o.dragMode, kStencilDragNone);
    EXPECT_FALSE(o.dirty);
    // A zero zoom: pivot (0, 0), moves by the raw travel.
    ASSERT_TRUE(o.OnButtonDown(View(0), {770, 670}));
    EXPECT_EQ(o.pivotCanvas.x, 0);
    o.OnMouseMove({771, 670});
    EXPECT_EQ(o.transform.centerX, 251);
    o.OnButtonUp();
}

TEST(StencilOverlay, RightDragsEndWithTheirOwnButtonAndTabHides) {
    PlacedStencil p(100, 100);
    StencilOverlay& o = p.overlay;
    EXPECT_FALSE(o.OnRightButtonDown(View(), {10, 10}));  // no stencil: nothing to move
    o.SelectStencil(0);
    o.ResetTransform(PointF{1000, 1000});
    // A right drag: the left release neither ends it nor may a gizmo press take it over.
    ASSERT_TRUE(o.OnRightButtonDown(View(2), {10, 10}));
    EXPECT_FALSE(o.OnButtonDown(View(2), {500, 46}));
    EXPECT_FALSE(o.OnLeftButtonUp());
    o.OnMouseMove({30, 50});
    EXPECT_EQ(o.transform.centerX, 510);
    EXPECT_EQ(o.transform.centerY, 520);
    EXPECT_TRUE(o.OnRightButtonUp());
    EXPECT_EQ(o.imprint.placedOriginX, 460);  // rebuilt at the release
    // A gizmo drag: the right button neither starts another drag nor ends it.
    ASSERT_TRUE(o.OnButtonDown(View(), {770, 670}));
    EXPECT_FALSE(o.OnRightButtonDown(View(), {10, 10}));
    EXPECT_FALSE(o.OnRightButtonUp());
    EXPECT_TRUE(o.OnLeftButtonUp());
    // No right drag under a stroke.
    o.painting = true;
    EXPECT_FALSE(o.OnRightButtonDown(View(), {10, 10}));
    o.painting = false;
    // Dragged wholly off the canvas there is no placed image, yet it can be dragged back.
    ASSERT_TRUE(o.OnRightButtonDown(View(), {0, 0}));
    o.OnMouseMove({5000, 0});
    o.OnCaptureLost();
    EXPECT_FALSE(o.imprint.placedBitmap);
    ASSERT_TRUE(o.OnRightButtonDown(View(), {5000, 0}));
    o.OnMouseMove({0, 0});
    EXPECT_TRUE(o.OnRightButtonUp());
    EXPECT_TRUE(o.imprint.placedBitmap);

    // Tab: down hides, repeats change nothing, up shows; a release that was
    // never seen is caught when drawing finds the key up.
    EXPECT_TRUE(o.OnTabKey(true));
    EXPECT_TRUE(o.hidden);
    EXPECT_FALSE(o.OnTabKey(true));
    EXPECT_FALSE(o.ShowIfTabReleased(true));
    EXPECT_TRUE(o.hidden);
    EXPECT_TRUE(o.OnTabKey(false));
    EXPECT_FALSE(o.hidden);
    o.OnTabKey(true);
    EXPECT_TRUE(o.ShowIfTabReleased(false));
    EXPECT_FALSE(o.hidden);
    EXPECT_FALSE(o.ShowIfTabReleased(false));
}

TEST(StencilOverlay, BrushImprintsThePlacedStencilPixelByPixel) {
    Roots r;
    // A 2 x 2 stencil: opaque red, transparent, opaque blue, opaque green.
    BitmapPtr st = Bitmap::Create(2, 2);
    st->SetPixel(0, 0, 0xFFFF0000);
    st->SetPixel(1, 0, 0x00000000);
    st->SetPixel(0, 1, 0xFF0000FF);
    st->SetPixel(1, 1, 0xFF00FF00);
    WritePng(r.user / "lib" / "s.png", *st);
    r.store.Activate("lib");
    StencilOverlay overlay(&r.store);
    overlay.SelectStencil(0);
    overlay.ResetTransform(PointF{4, 4});  // the stencil covers canvas pixels (1..2, 1..2)
    overlay.imprint.blendMode = 0;
    SetCurrentStencilOverlay(&overlay);
    ASSERT_TRUE(BitmapPaintSession::stencilSource);
    const StencilImprintInput* input = BitmapPaintSession::stencilSource();
    ASSERT_EQ(input, &overlay.imprint);

    // A 4 x 4 canvas of opaque white, one dab over all of it with a full mask.
    std::vector<uint8_t> canvas(4 * 4 * 4, 255), mask(16, 255);
    HostDabRequest q;
    q.destination = canvas.data();
    q.width = q.height = 4;
    q.mask = mask.data();
    q.strength = 1.0f;
    StencilImprintDab(q, *input);
    const uint32_t W = 0xFFFFFFFF;
    const uint32_t expected[16] = {W, W, W, W, W, 0xFFFF0000, W, W, W, 0xFF0000FF, 0xFF00FF00, W, W, W, W, W};
    for (int i = 0; i < 16; ++i) {
        uint32_t px;
        std::memcpy(&px, &canvas[size_t(i) * 4], 4);
        EXPECT_EQ(px, expected[i]) << "pixel " << i % 4 << ", " << i / 4;
    }
    // Hidden preview still imprints; a cleared stencil imprints nothing.
    overlay.hidden = true;
    overlay.SelectStencil(-1);
    std::vector<uint8_t> blank(4 * 4 * 4, 255);
    q.destination = blank.data();
    StencilImprintDab(q, *BitmapPaintSession::stencilSource());
    EXPECT_EQ(blank, std::vector<uint8_t>(64, 255));
    SetCurrentStencilOverlay(nullptr);
    EXPECT_FALSE(BitmapPaintSession::stencilSource);
}

TEST(StencilOverlay, DetailCopyIsMadeForDetailTransferStrokesAndDroppedOnRebuild) {
    // The low-pass copy starts from the premultiplied placed image. The warp
    // keeps colour at or below alpha, and for such colour un-premultiplying
    // and premultiplying again is exact, so the copy equals one blurred from
    // the warp's own premultiplied output.
    for (int a = 0; a < 256; ++a)
        for (int c = 0; c <= a; ++c) {
            uint8_t px[4] = {uint8_t(c), uint8_t(c), uint8_t(c), uint8_t(a)};
            UnpremultiplyAlpha(px, 1);
            PremultiplyAlpha(px, 1);
            ASSERT_EQ(px[0], c) << "alpha " << a;
        }

    Roots r;
    // Colour and alpha that vary, so a blurred copy differs from the placed image.
    BitmapPtr st = Bitmap::Create(24, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 24; ++x)
            st->SetPixel(x, y, uint32_t((x * 10 + 15) & 0xFF) << 24 | uint32_t(x * 11) << 16 | uint32_t(y * 12) << 8 |
                                   uint32_t((x * y * 7) & 0xFF));
    WritePng(r.user / "lib" / "s.png", *st);
    r.store.Activate("lib");
    StencilOverlay o(&r.store);
    o.SelectStencil(0);
    o.ResetTransform(PointF{48, 40});
    o.transform.scale = 1.7f;  // enlarged: the warp places it
    o.transform.rotation = 30;
    o.Rebuild();
    SetCurrentStencilOverlay(&o);

    // What the copy must hold: the placed image premultiplied, blurred, un-premultiplied.
    auto expectedCopy = [&o] {
        const Bitmap& p = *o.imprint.placedBitmap;
        const size_t n = size_t(p.Width()) * p.Height();
        std::vector<uint8_t> k(p.Data(), p.Data() + n * 4);
        PremultiplyAlpha(k.data(), n);
        GaussianBlurRecursive(k.data(), p.Width(), p.Height(), 8, 8, 4);
        UnpremultiplyAlpha(k.data(), n);
        return k;
    };
    // One dab over a 40 x 36 painting of stripes, full mask.
    auto imprint = [](const StencilImprintInput& input) {
        std::vector<uint8_t> canvas(40 * 36 * 4), mask(40 * 36, 255);
        for (size_t i = 0; i < canvas.size(); ++i) canvas[i] = i % 4 == 3 ? 255 : uint8_t((i / 4 % 40) / 5 * 30);
        HostDabRequest q;
        q.destination = canvas.data();
        q.width = 40;
        q.height = 36;
        q.originX = 4;
        q.originY = 2;
        q.mask = mask.data();
        q.strength = 0.8f;
        StencilImprintDab(q, input);
        return canvas;
    };

    // A blend mode: strokes never make it.
    BitmapPaintSession::stencilSource();
    EXPECT_TRUE(o.imprint.detailPixels.empty());
    EXPECT_EQ(o.detailBuildCount, 0);

    // Detail transfer: the stroke's start makes it once, and the imprint
    // gives the pixels of a copy made independently.
    o.imprint.detailTransfer = true;
    const StencilImprintInput* input = BitmapPaintSession::stencilSource();
    ASSERT_TRUE(input && input->placedBitmap);
    EXPECT_EQ(o.detailBuildCount, 1);
    EXPECT_EQ(input->detailPixels, expectedCopy());
    StencilImprintInput reference = o.imprint;
    reference.detailPixels = expectedCopy();
    const std::vector<uint8_t> detailed = imprint(*input);
    EXPECT_EQ(detailed, imprint(reference));
    StencilImprintInput blend = o.imprint;
    blend.detailTransfer = false;
    EXPECT_NE(detailed, imprint(blend));
    BitmapPaintSession::stencilSource();
    EXPECT_EQ(o.detailBuildCount, 1);  // still valid: not made again

    // A drag's release rebuilds and drops it; the next stroke makes it for
    // the new placement (here of another size), never reading the old one.
    EXPECT_TRUE(o.OnRightButtonDown(View(), {500, 400}));
    o.transform.rotation = 75;
    o.OnMouseMove({503, 401});
    EXPECT_TRUE(o.OnRightButtonUp());
    EXPECT_TRUE(o.imprint.detailPixels.empty());
    input = BitmapPaintSession::stencilSource();
    EXPECT_EQ(o.detailBuildCount, 2);
    EXPECT_EQ(input->detailPixels, expectedCopy());
    reference = o.imprint;
    reference.detailPixels = expectedCopy();
    EXPECT_EQ(imprint(*input), imprint(reference));

    // Choosing detail transfer with nothing placed makes nothing.
    o.SelectStencil(-1);
    o.EnsureDetailCopy();
    EXPECT_TRUE(o.imprint.detailPixels.empty());
    EXPECT_EQ(o.detailBuildCount, 2);
    SetCurrentStencilOverlay(nullptr);
}
