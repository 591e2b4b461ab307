// Writes the "default" stencil library that ships beside the editor: a dozen
// PNG images with alpha (foliage, rocks, clouds, grunge and plain shapes) for
// the Stencil Kitbash tool. Every image comes from a fixed seed, so running it
// again gives the same files. Usage: make_stencils <folder>
#include "platform/Bitmap.h"
#include "platform/Codecs.h"
#include "platform/Files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <string>

namespace {

constexpr float kPi = 3.14159265358979f;

float Smooth(float t) { return t * t * (3.0f - 2.0f * t); }
float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// Value noise on a lattice that wraps every `period` cells, summed over octaves.
class Noise {
public:
    explicit Noise(unsigned seed) {
        std::mt19937 random(seed);
        for (float& v : lattice_) v = float(random() % 10000) / 10000.0f;
    }
    float Value(float x, float y) const {
        const int xi = int(std::floor(x)), yi = int(std::floor(y));
        const float fx = Smooth(x - float(xi)), fy = Smooth(y - float(yi));
        const float a = At(xi, yi), b = At(xi + 1, yi), c = At(xi, yi + 1), d = At(xi + 1, yi + 1);
        return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy;
    }
    // Fractal sum in [0, 1] of `octaves` layers starting at `frequency` cells per unit.
    float Fbm(float x, float y, float frequency, int octaves) const {
        float sum = 0, amplitude = 0.5f, total = 0;
        for (int o = 0; o < octaves; ++o) {
            sum += Value(x * frequency, y * frequency) * amplitude;
            total += amplitude;
            frequency *= 2.0f;
            amplitude *= 0.5f;
        }
        return sum / total;
    }

private:
    float At(int x, int y) const { return lattice_[size_t((x & 255) + (y & 255) * 256)]; }
    float lattice_[256 * 256];
};

struct Rgb {
    float r, g, b;
};
Rgb Mix(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

uint32_t Pack(Rgb c, float alpha) {
    auto byte = [](float v) { return uint32_t(Clamp01(v) * 255.0f + 0.5f); };
    return byte(alpha) << 24 | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

// Fills a w x h image from a function of the pixel centre in units where the
// image's shorter side is 1 (u, v in [0, w/min] x [0, h/min]) giving colour and alpha.
BitmapPtr Paint(int w, int h, const std::function<uint32_t(float, float)>& shade) {
    BitmapPtr b = Bitmap::Create(w, h);
    const float unit = float(std::min(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b->SetPixel(x, y, shade((float(x) + 0.5f) / unit, (float(y) + 0.5f) / unit));
    return b;
}

// A single leaf: a pointed blade along the diagonal with a midrib and side veins.
BitmapPtr Leaf() {
    Noise n(11);
    return Paint(384, 384, [&](float u, float v) {
        // Leaf frame: axis from the stem (0.15, 0.85) to the tip (0.85, 0.15).
        const float ax = 0.7071f, ay = -0.7071f;
        const float px = u - 0.15f, py = v - 0.85f;
        const float along = (px * ax + py * ay) / 0.99f;  // 0 at the stem, 1 at the tip
        const float across = px * -ay + py * ax;
        const float halfWidth = 0.24f * std::pow(std::sin(kPi * Clamp01(along)), 0.8f) * (1.0f - 0.35f * along);
        const float edge = halfWidth - std::fabs(across);
        if (along < 0 || along > 1 || edge < -0.004f) {
            // The stem below the blade.
            const float stem = 0.008f - std::fabs(across);
            if (along < 0 && along > -0.12f && stem > 0) return Pack({0.30f, 0.40f, 0.15f}, 1.0f);
            return 0u;
        }
        const float alpha = Clamp01(edge / 0.004f);
        const float rib = std::exp(-std::pow(across / 0.006f, 2.0f));
        const float vein = std::pow(std::fabs(std::sin((along * 9.0f + std::fabs(across) * 14.0f) * kPi)), 40.0f) *
                           Clamp01(1.0f - std::fabs(across) / std::max(halfWidth, 1e-3f));
        const float shade = 0.75f + 0.25f * n.Fbm(u, v, 12, 4) - 0.25f * std::fabs(across) / std::max(halfWidth, 1e-3f);
        Rgb c = Mix({0.16f, 0.42f, 0.12f}, {0.42f, 0.62f, 0.20f}, Clamp01(along));
        c = {c.r * shade, c.g * shade, c.b * shade};
        c = Mix(c, {0.70f, 0.80f, 0.45f}, Clamp01(rib * 0.8f + vein * 0.35f));
        return Pack(c, alpha);
    });
}

// A clump of foliage: overlapping round leaves of several greens, lit from above.
BitmapPtr Foliage() {
    Noise n(23);
    std::mt19937 random(23);
    struct Blob {
        float x, y, r;
        Rgb c;
    };
    std::vector<Blob> blobs;
    for (int i = 0; i < 140; ++i) {
        const float a = float(random() % 6283) / 1000.0f, d = std::sqrt(float(random() % 1000) / 1000.0f) * 0.36f;
        const float t = float(random() % 1000) / 1000.0f;
        blobs.push_back({0.5f + d * std::cos(a), 0.52f + d * std::sin(a) * 0.85f, 0.035f + 0.03f * t,
                         Mix({0.10f, 0.30f, 0.08f}, {0.45f, 0.65f, 0.18f}, t)});
    }
    return Paint(448, 448, [&](float u, float v) {
        for (size_t i = blobs.size(); i-- > 0;) {
            const Blob& b = blobs[i];
            const float dx = u - b.x, dy = v - b.y, d = std::sqrt(dx * dx + dy * dy);
            const float wobble = b.r * (0.85f + 0.3f * n.Value(u * 40, v * 40));
            if (d < wobble) {
                const float light = 0.7f + 0.5f * Clamp01(-(dy / b.r) * 0.5f + 0.5f) * (1.0f - d / wobble);
                return Pack({b.c.r * light, b.c.g * light, b.c.b * light}, Clamp01((wobble - d) / 0.004f));
            }
        }
        return 0u;
    });
}

// Tufts of grass: thin tapering blades rising from the bottom edge.
BitmapPtr Grass() {
    std::mt19937 random(31);
    struct Blade {
        float x, height, lean, width;
        Rgb c;
    };
    std::vector<Blade> blades;
    for (int i = 0; i < 140; ++i) {
        const float t = float(random() % 1000) / 1000.0f;
        blades.push_back({(0.05f + 0.9f * float(random() % 1000) / 1000.0f) * 1.6f, 0.35f + 0.55f * float(random() % 1000) / 1000.0f,
                          (float(random() % 1000) / 1000.0f - 0.5f) * 0.5f, 0.008f + 0.01f * t,
                          Mix({0.20f, 0.38f, 0.10f}, {0.55f, 0.70f, 0.28f}, t)});
    }
    return Paint(512, 320, [&](float u, float v) {
        const float bottom = 320.0f / 320.0f;
        for (const Blade& b : blades) {
            const float rise = (bottom - v) / b.height;  // 0 at the root, 1 at the tip
            if (rise < 0 || rise > 1) continue;
            const float centre = b.x + b.lean * rise * rise * b.height;
            const float half = b.width * (1.0f - rise);
            const float d = half - std::fabs(u - centre);
            if (d > -0.002f) {
                const float light = 0.7f + 0.4f * rise;
                return Pack({b.c.r * light, b.c.g * light, b.c.b * light}, Clamp01(d / 0.002f + 1.0f));
            }
        }
        return 0u;
    });
}

// A boulder: a noisy rounded outline, shaded from the upper left with cracks.
BitmapPtr Rock(unsigned seed, int w, int h, Rgb dark, Rgb light) {
    Noise n(seed);
    const float aspect = float(w) / float(h);
    return Paint(w, h, [&](float u, float v) {
        const float cx = aspect * 0.5f, cy = 0.55f;
        const float dx = (u - cx) / (aspect * 0.44f), dy = (v - cy) / 0.40f;
        const float a = std::atan2(dy, dx);
        const float radius = 0.82f + 0.22f * n.Fbm(std::cos(a) + 2, std::sin(a) + 2, 1.5f, 4);
        const float d = std::sqrt(dx * dx + dy * dy);
        const float edge = (radius - d) * 0.4f;
        if (edge < -0.003f) return 0u;
        // A dome's normal for the lighting, roughened by noise.
        const float z = std::sqrt(std::max(0.0f, 1.0f - std::min(1.0f, d / radius) * std::min(1.0f, d / radius)));
        const float lit = Clamp01(0.35f + 0.55f * (-dx * 0.5f - dy * 0.6f + z * 0.6f));
        const float grain = n.Fbm(u, v, 24, 5);
        const float crack = std::pow(1.0f - std::fabs(n.Fbm(u + 7, v + 3, 3, 3) - 0.5f) * 2.0f, 80.0f);
        Rgb c = Mix(dark, light, Clamp01(lit * 0.8f + grain * 0.4f - 0.1f));
        c = Mix(c, {0.08f, 0.07f, 0.06f}, crack * 0.7f);
        return Pack(c, Clamp01(edge / 0.003f + 1.0f));
    });
}

// A cumulus cloud: soft white puffs, shaded grey underneath, with feathered alpha.
BitmapPtr Cloud(unsigned seed, int w, int h, int puffs) {
    Noise n(seed);
    std::mt19937 random(seed);
    const float aspect = float(w) / float(h);
    struct Puff {
        float x, y, r;
    };
    std::vector<Puff> list;
    for (int i = 0; i < puffs * 4; ++i) {
        // Puffs crowd into a dome: higher and larger towards the middle.
        const float t = float(random() % 1000) / 1000.0f, dome = std::sin(t * kPi);
        const float jitter = float(random() % 1000) / 1000.0f;
        list.push_back({aspect * (0.16f + 0.68f * t), 0.62f - 0.22f * dome * jitter, 0.07f + 0.1f * dome * (0.6f + 0.4f * jitter)});
    }
    return Paint(w, h, [&](float u, float v) {
        float density = -1e9f;
        for (const Puff& p : list) {
            const float d = std::hypot(u - p.x, (v - p.y) * 1.1f) / p.r;
            density = std::max(density, 1.0f - d);
        }
        // Noise roughens the outline only where a puff is near.
        if (density > -0.1f) density += (n.Fbm(u, v, 8, 5) - 0.5f) * 0.3f * Clamp01(density * 8.0f + 0.8f);
        if (v > 0.68f) density -= (v - 0.68f) * 4.0f;  // a flatter base
        const float border = std::min(std::min(u, aspect - u), std::min(v, 1.0f - v));
        const float alpha = Clamp01(density * 3.0f) * Clamp01(border / 0.08f);
        if (alpha <= 0) return 0u;
        const float shade = Clamp01(1.0f - (v - 0.35f) * 0.9f + (n.Fbm(u, v, 10, 3) - 0.5f) * 0.3f);
        return Pack(Mix({0.62f, 0.66f, 0.74f}, {1.0f, 1.0f, 1.0f}, shade), alpha);
    });
}

// Grunge: blotchy dark stains with speckles, for dirtying surfaces.
BitmapPtr Grunge() {
    Noise n(47), speck(48);
    return Paint(512, 512, [&](float u, float v) {
        const float stain = n.Fbm(u, v, 4, 6);
        const float dots = speck.Fbm(u, v, 64, 2);
        float alpha = Clamp01((stain - 0.52f) * 5.0f) * 0.85f + Clamp01((dots - 0.72f) * 8.0f) * 0.6f;
        // Fade towards the border so an imprint has no hard square edge.
        const float border = std::min(std::min(u, 1.0f - u), std::min(v, 1.0f - v));
        alpha *= Clamp01(border / 0.12f);
        return alpha <= 0 ? 0u : Pack({0.16f, 0.13f, 0.10f}, Clamp01(alpha));
    });
}

// Scratches: thin light strokes at shallow angles.
BitmapPtr Scratches() {
    std::mt19937 random(53);
    struct Line {
        float x0, y0, dx, dy, length, width;
    };
    std::vector<Line> lines;
    for (int i = 0; i < 70; ++i) {
        const float a = -0.5f + float(random() % 1000) / 1000.0f * 0.6f;
        lines.push_back({float(random() % 1000) / 1000.0f, float(random() % 1000) / 1000.0f, std::cos(a), std::sin(a),
                         0.08f + float(random() % 1000) / 1000.0f * 0.3f, 0.0012f + float(random() % 100) / 100.0f * 0.002f});
    }
    return Paint(512, 512, [&](float u, float v) {
        float alpha = 0;
        for (const Line& l : lines) {
            const float px = u - l.x0, py = v - l.y0;
            const float along = px * l.dx + py * l.dy;
            if (along < 0 || along > l.length) continue;
            const float across = std::fabs(-px * l.dy + py * l.dx);
            const float taper = std::sin(kPi * along / l.length);
            alpha = std::max(alpha, Clamp01((l.width * taper - across) / 0.0012f + 1.0f) * taper);
        }
        return alpha <= 0 ? 0u : Pack({0.92f, 0.90f, 0.86f}, alpha);
    });
}

// A paint splatter: a central blot with radiating droplets.
BitmapPtr Splatter() {
    Noise n(61);
    std::mt19937 random(61);
    struct Drop {
        float x, y, r;
    };
    std::vector<Drop> drops;
    for (int i = 0; i < 60; ++i) {
        const float a = float(random() % 6283) / 1000.0f, d = 0.2f + float(random() % 1000) / 1000.0f * 0.26f;
        drops.push_back({0.5f + d * std::cos(a), 0.5f + d * std::sin(a), 0.004f + 0.03f * std::pow(1.0f - (d - 0.2f) / 0.26f, 2.0f)});
    }
    return Paint(448, 448, [&](float u, float v) {
        const float dx = u - 0.5f, dy = v - 0.5f, a = std::atan2(dy, dx);
        const float radius = 0.16f + 0.07f * n.Fbm(std::cos(a) + 3, std::sin(a) + 3, 3, 4);
        float edge = radius - std::sqrt(dx * dx + dy * dy);
        for (const Drop& d : drops) edge = std::max(edge, d.r - std::hypot(u - d.x, v - d.y));
        return edge < -0.002f ? 0u : Pack({0.55f, 0.08f, 0.10f}, Clamp01(edge / 0.002f + 1.0f));
    });
}

// A five-pointed star and a hexagon: plain shapes with antialiased edges.
float PolygonEdge(float u, float v, int corners, float outer, float inner) {
    const float dx = u - 0.5f, dy = v - 0.5f;
    const float a = std::atan2(dx, -dy);  // 0 pointing up
    const int points = inner > 0 ? corners * 2 : corners;
    const float step = 2 * kPi / float(points);
    const float k = std::floor(a / step);
    // The edge between vertex k and k+1 in this sector.
    auto vertex = [&](float index) {
        const float angle = index * step;
        const float r = (inner > 0 && int(std::fabs(index)) % 2 == 1) ? inner : outer;
        return std::pair<float, float>{r * std::sin(angle), -r * std::cos(angle)};
    };
    const auto [x0, y0] = vertex(k);
    const auto [x1, y1] = vertex(k + 1);
    // Signed distance to the edge line, positive inside (towards the centre).
    const float ex = x1 - x0, ey = y1 - y0, len = std::sqrt(ex * ex + ey * ey);
    const float side = ((dx - x0) * ey - (dy - y0) * ex) / len;
    const float centreSide = ((0 - x0) * ey - (0 - y0) * ex) / len;
    return centreSide > 0 ? side : -side;
}

BitmapPtr Star() {
    return Paint(384, 384, [&](float u, float v) {
        const float e = PolygonEdge(u, v, 5, 0.46f, 0.19f);
        const float shade = 0.8f + 0.2f * (0.5f - v);
        return e < -0.003f ? 0u : Pack({0.98f * shade, 0.80f * shade, 0.20f * shade}, Clamp01(e / 0.003f + 1.0f));
    });
}

BitmapPtr Hexagon() {
    return Paint(384, 384, [&](float u, float v) {
        const float outer = PolygonEdge(u, v, 6, 0.46f, 0), inner = PolygonEdge(u, v, 6, 0.36f, 0);
        const float ring = std::min(outer, -inner);
        return ring < -0.003f ? 0u : Pack({0.25f, 0.55f, 0.85f}, Clamp01(ring / 0.003f + 1.0f));
    });
}

// A soft round spot of light, for glows and highlights.
BitmapPtr Glow() {
    return Paint(256, 256, [&](float u, float v) {
        const float d = std::hypot(u - 0.5f, v - 0.5f) / 0.5f;
        const float alpha = std::pow(Clamp01(1.0f - d), 2.2f);
        return alpha <= 0 ? 0u : Pack({1.0f, 0.95f, 0.80f}, alpha);
    });
}

bool Write(const std::string& folder, const std::string& name, const BitmapPtr& image) {
    std::vector<uint8_t> png;
    if (!image || !EncodePng(*image, png)) {
        std::fprintf(stderr, "make_stencils: cannot encode %s\n", name.c_str());
        return false;
    }
    std::string error;
    if (!WriteFileAtomic(folder + "/" + name + ".png", png, &error)) {
        std::fprintf(stderr, "make_stencils: %s\n", error.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_stencils <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = true;
    ok &= Write(folder, "leaf", Leaf());
    ok &= Write(folder, "foliage", Foliage());
    ok &= Write(folder, "grass", Grass());
    ok &= Write(folder, "boulder", Rock(71, 448, 384, {0.22f, 0.21f, 0.20f}, {0.68f, 0.65f, 0.60f}));
    ok &= Write(folder, "sandstone", Rock(73, 384, 320, {0.36f, 0.24f, 0.14f}, {0.85f, 0.68f, 0.48f}));
    ok &= Write(folder, "cloud", Cloud(81, 512, 320, 5));
    ok &= Write(folder, "cloud bank", Cloud(83, 640, 256, 8));
    ok &= Write(folder, "grunge", Grunge());
    ok &= Write(folder, "scratches", Scratches());
    ok &= Write(folder, "splatter", Splatter());
    ok &= Write(folder, "star", Star());
    ok &= Write(folder, "hexagon", Hexagon());
    ok &= Write(folder, "glow", Glow());
    return ok ? 0 : 1;
}
