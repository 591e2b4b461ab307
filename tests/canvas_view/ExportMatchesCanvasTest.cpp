// Export as PNG writes the picture the canvas shows: per filter type, a warped
// object and every blend mode, the exported file is compared with the canvas
// view's own composite of the same scene.
#include "../document/DocumentFixture.h"
#include "../scene/RenderTestScenes.h"

#include "canvas_view/CanvasCompositeCache.h"
#include "canvas_view/CanvasObjectDraw.h"
#include "filters/EffectRegistry.h"
#include "platform/Codecs.h"
#include "platform/Files.h"
#include "scene/BlendModes.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using render_test::OneLayerScene;
using render_test::PixelObject;

namespace {

constexpr int kW = 40, kH = 32;

// A backdrop of gradients under the whole canvas, and a subject whose
// corners are transparent, so shadows, glows and bevels have an edge.
void BaseScene(CanvasDocument& scene, uint32_t canvasColour, const std::function<void(CanvasObject&)>& change) {
    CanvasObject backdrop = PixelObject("object_1", 0, 0, kW, kH, [](int c, int r) {
        return 0xFF000000u | uint32_t(c * 6) << 16 | uint32_t(r * 7) << 8 | uint32_t(255 - c * 3 - r * 2);
    }, 0);
    backdrop.name = "Backdrop";
    CanvasObject subject = PixelObject("object_2", 12, 9, 16, 14, [](int c, int r) {
        const int dx = 2 * c - 15, dy = 2 * r - 13;
        if (dx * dx + dy * dy > 150) return 0u;
        return 0xFF000000u | uint32_t(40 + c * 12) << 16 | uint32_t(200 - r * 10) << 8 | uint32_t(90 + (c ^ r) * 9);
    }, 1);
    subject.name = "Subject";
    change(subject);
    OneLayerScene(scene, float(kW), float(kH), {subject, backdrop}, canvasColour);
}

uint32_t Straight(const uint8_t* p) {
    const uint32_t a = p[3];
    if (a == 0) return 0;
    auto ch = [a](uint8_t v) { return std::min<uint32_t>(255, (uint32_t(v) * 255 + a / 2) / a); };
    return a << 24 | ch(p[2]) << 16 | ch(p[1]) << 8 | ch(p[0]);
}

// What the canvas view shows of the scene, as straight pixels.
std::vector<uint32_t> CanvasPicture(CanvasDocument& scene) {
    CanvasCompositeCache cache;
    EXPECT_TRUE(cache.Prepare(scene, 0, MakeCanvasObjectPainter(scene)));
    std::vector<uint32_t> out;
    if (cache.live.width != kW || cache.live.height != kH) return out;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) out.push_back(Straight(cache.live.Row(y) + 4 * x));
    return out;
}

// File > Export as PNG of the document, read back.
std::vector<uint32_t> ExportedPicture(DocumentEnv& env, const std::string& path) {
    std::filesystem::remove(path);
    env.host.prompts.QueueSaveFile(path);
    env.doc.OnFileExportPng();
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> out;
    if (!ReadWholeFile(path, bytes)) return out;
    BitmapPtr png = DecodeImage(bytes);
    std::filesystem::remove(path);
    if (!png || png->Width() != kW || png->Height() != kH) return out;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) out.push_back(png->Pixel(x, y));
    return out;
}

// Pixels whose channels lie more than 3 levels apart.
int FarApart(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    int n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        int d = 0;
        for (int s = 0; s < 32; s += 8) d = std::max(d, std::abs(int((a[i] >> s) & 0xFF) - int((b[i] >> s) & 0xFF)));
        n += d > 3;
    }
    return n;
}

// The type's default record, made visible where the default is neutral.
EffectInstance VisibleFilter(uint8_t type) {
    EffectInstance e = MakeEffectInstance(type);
    if (auto* p = e.params.Get<BrightnessContrastParams>()) *p = {0.2f, 0.4f};
    if (auto* p = e.params.Get<HueSaturationParams>()) *p = {90, -0.3f, 0.1f, 0};
    if (auto* p = e.params.Get<LevelsParams>()) {
        p->rgb.inputLow = 40;
        p->rgb.gamma = 1.8f;
    }
    if (auto* p = e.params.Get<DropShadowParams>()) {
        p->distance = 0.2f;
        p->opacity = 0.9f;
    }
    return e;
}

struct Case {
    std::string name;
    std::function<void(CanvasObject&)> change;
    bool mustShow;  // the change itself must alter the picture
    uint32_t canvasColour = 0xFFF0E8D8;
};

std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (const EffectTypeInfo& row : GetEffectRegistry())
        cases.push_back({std::string("filter ") + row.name,
                         [type = row.type](CanvasObject& o) { o.effects.push_back(VisibleFilter(type)); }, true});
    cases.push_back({"warp", [](CanvasObject& o) { o.warp = Quad{0.1f, 0.3f, 1.2f, -0.1f, 0.9f, 1.0f, -0.2f, 0.8f}; },
                     true});
    cases.push_back({"warp, turned, with a drop shadow",
                     [](CanvasObject& o) {
                         o.warp = Quad{0, 0, 1.3f, 0.2f, 1, 1, 0.1f, 1.1f};
                         o.rotation = 25;
                         o.effects.push_back(VisibleFilter(kEffectDropShadow));
                     },
                     true});
    cases.push_back({"drop shadow on a translucent canvas",
                     [](CanvasObject& o) { o.effects.push_back(VisibleFilter(kEffectDropShadow)); }, true,
                     0x60406080});
    for (int mode = 0; mode < kBlendModeCount; ++mode)
        cases.push_back({"blend mode " + std::to_string(mode),
                         [mode](CanvasObject& o) {
                             o.blendMode = uint8_t(mode);
                             o.opacity = 0.8f;
                             o.rotation = 20;
                         },
                         false});
    return cases;
}

}  // namespace

TEST(ExportMatchesCanvas, EveryFilterWarpAndBlendMode) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("export_matches_canvas_" + std::to_string(::getpid()) + ".png"))
            .string();
    const std::vector<Case> cases = Cases();
    ASSERT_EQ(cases.size(), size_t(kEffectTypeCount + 3 + kBlendModeCount));
    for (const Case& c : cases) {
        DocumentEnv env;
        BaseScene(env.doc.mainScene, c.canvasColour, c.change);
        const std::vector<uint32_t> exported = ExportedPicture(env, path);
        ASSERT_EQ(exported.size(), size_t(kW * kH))
            << c.name << ": " << ::testing::PrintToString(env.host.prompts.MessageTexts());
        const std::vector<uint32_t> shown = CanvasPicture(env.doc.mainScene);
        ASSERT_EQ(shown.size(), size_t(kW * kH)) << c.name;
        EXPECT_LE(FarApart(exported, shown) * 200, kW * kH) << c.name;  // at most 0.5 %
        if (c.mustShow) {
            CanvasDocument plain;
            BaseScene(plain, c.canvasColour, [](CanvasObject&) {});
            EXPECT_GT(FarApart(CanvasPicture(plain), shown), kW * kH / 50) << c.name << " changes nothing";
        }
    }
}
