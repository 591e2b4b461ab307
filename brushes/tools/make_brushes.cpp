// Writes the brush libraries that ship with the editor: round, soft, textured,
// bristle, scatter, smudge, healing and eraser brushes, each with its
// preview. Usage: make_brushes <folder>
#include "brushes/BrushLibrary.h"
#include "platform/Bitmap.h"
#include "platform/Codecs.h"
#include "platform/Files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

// A grey noise grain: dark speckles on light paper, smoothed a little.
std::vector<uint8_t> GrainPng(int side, unsigned seed, float darkness) {
    BitmapPtr b = Bitmap::Create(side, side);
    std::mt19937 random(seed);
    std::vector<float> v(size_t(side) * side);
    for (float& f : v) f = float(random() % 1000) / 1000.0f;
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<float> s(v.size());
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                float sum = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        sum += v[size_t((y + dy + side) % side) * side + size_t((x + dx + side) % side)];
                s[size_t(y) * side + x] = sum / 9.0f;
            }
        v.swap(s);
    }
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const float t = std::clamp((v[size_t(y) * side + x] - 0.5f) * 4.0f * darkness + 0.7f, 0.0f, 1.0f);
            const uint32_t g = uint32_t(t * 255.0f + 0.5f);
            b->SetPixel(x, y, 0xFF000000u | g << 16 | g << 8 | g);
        }
    std::vector<uint8_t> png;
    EncodePng(*b, png);
    return png;
}

// A bristle tip: dark dots of varying size inside a circle on white.
std::vector<uint8_t> BristlePng(int side, unsigned seed) {
    BitmapPtr b = Bitmap::Create(side, side);
    b->Clear(0xFFFFFFFF);
    std::mt19937 random(seed);
    const float c = side / 2.0f;
    for (int k = 0; k < 60; ++k) {
        const float a = float(random() % 6283) / 1000.0f, r = std::sqrt(float(random() % 1000) / 1000.0f) * c * 0.85f;
        const float px = c + r * std::cos(a), py = c + r * std::sin(a);
        const float radius = 1.5f + float(random() % 100) / 40.0f;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const float d = std::hypot(x + 0.5f - px, y + 0.5f - py);
                if (d < radius) {
                    const uint32_t g = uint32_t(std::clamp(d / radius, 0.0f, 1.0f) * 120.0f);
                    if (g < (b->Pixel(x, y) & 0xFF)) b->SetPixel(x, y, 0xFF000000u | g << 16 | g << 8 | g);
                }
            }
    }
    std::vector<uint8_t> png;
    EncodePng(*b, png);
    return png;
}

BrushEntry Entry(const std::string& name, const BrushSettings& s) {
    BrushEntry e;
    e.name = name;
    e.settings = s;
    e.preview = MakeBrushPreviewPng(s);
    return e;
}

BrushSettings Round(float size, float hardness, float flow, float opacity = 1.0f) {
    BrushSettings s;
    s.size = size;
    s.hardness = hardness;
    s.flow = flow;
    s.opacity = opacity;
    return s;
}

bool Write(const std::string& folder, const std::string& file, const std::vector<BrushEntry>& entries) {
    BrushLibrary library;
    library.name = file;
    library.entries = entries;
    std::string error;
    const std::string path = JoinPath(folder, file);
    if (!library.Save(path, &error)) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    std::printf("wrote %s (%zu brushes)\n", path.c_str(), entries.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_brushes <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    CreateDirectories(folder);

    std::vector<BrushEntry> basics;
    basics.push_back(Entry("Round Hard", Round(20, 0.9f, 1.0f)));
    basics.push_back(Entry("Round Soft", Round(40, 0.1f, 0.5f)));
    basics.push_back(Entry("Airbrush", Round(90, 0.0f, 0.12f)));
    basics.push_back(Entry("Ink Pen", Round(5, 1.0f, 1.0f)));
    {
        BrushSettings s = Round(12, 0.95f, 1.0f);
        s.tipKind = kBrushTipSquare;
        s.scaleY = 0.35f;
        s.angle = 45;
        basics.push_back(Entry("Calligraphy", s));
    }
    {
        BrushSettings s = Round(32, 0.6f, 0.9f);
        s.tipKind = kBrushTipTextured;
        s.grainImage = GrainPng(64, 7, 1.0f);
        s.spacing = 0.15f;
        basics.push_back(Entry("Textured Chalk", s));
    }
    {
        BrushSettings s = Round(60, 0.4f, 0.6f);
        s.tipKind = kBrushTipTextured;
        s.grainImage = GrainPng(96, 11, 0.6f);
        s.sizeJitter = 0.2f;
        basics.push_back(Entry("Dry Canvas", s));
    }
    {
        BrushSettings s = Round(40, 0.5f, 0.8f);
        s.tipKind = kBrushTipBitmap;
        s.tipImage = BristlePng(64, 3);
        s.spacing = 0.1f;
        s.angleJitter = 0.1f;
        basics.push_back(Entry("Bristle", s));
    }
    {
        BrushSettings s = Round(18, 0.7f, 0.9f);
        s.scatter = 2.0f;
        s.spacing = 0.6f;
        s.sizeJitter = 0.6f;
        s.opacityJitter = 0.5f;
        s.hueJitter = 0.08f;
        s.brightnessJitter = 0.15f;
        basics.push_back(Entry("Scatter Foliage", s));
    }
    basics.push_back(Entry("Smudge Soft", Round(36, 0.3f, 0.8f)));
    basics.push_back(Entry("Blend Wide", Round(70, 0.2f, 0.6f)));
    basics.push_back(Entry("Healing Round", Round(40, 0.5f, 1.0f)));
    basics.push_back(Entry("Clone Sharp", Round(30, 0.85f, 1.0f)));
    basics.push_back(Entry("Eraser Hard", Round(30, 1.0f, 1.0f)));
    basics.push_back(Entry("Eraser Soft", Round(60, 0.0f, 0.6f)));

    std::vector<BrushEntry> sketch;
    sketch.push_back(Entry("Pencil HB", Round(3, 0.8f, 0.7f, 0.8f)));
    {
        BrushSettings s = Round(8, 0.7f, 0.6f, 0.7f);
        s.tipKind = kBrushTipTextured;
        s.grainImage = GrainPng(48, 21, 1.2f);
        sketch.push_back(Entry("Pencil 6B", s));
    }
    sketch.push_back(Entry("Marker", Round(24, 0.95f, 0.5f, 0.6f)));
    {
        BrushSettings s = Round(14, 0.9f, 1.0f);
        s.angleStep = 0.05f;
        s.tipKind = kBrushTipSquare;
        s.scaleY = 0.2f;
        sketch.push_back(Entry("Hatching", s));
    }
    sketch.push_back(Entry("Shading Soft", Round(120, 0.0f, 0.08f)));

    return Write(folder, "default.brs", basics) && Write(folder, "sketching.brs", sketch) ? 0 : 1;
}
