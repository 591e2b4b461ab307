// Alpha premultiplication through tables of the exact double-precision results.
#include "filters/BlurKernels.h"

#include <array>
#include <cstdint>

namespace {

using ByteTable = std::array<std::array<uint8_t, 256>, 256>;  // [alpha][colour]

const ByteTable& PremultiplyTable() {
    static const ByteTable table = [] {
        ByteTable t{};
        for (int a = 0; a < 256; ++a)
            for (int x = 0; x < 256; ++x) t[size_t(a)][size_t(x)] = uint8_t(x * (a * (1.0 / 255.0)) + 0.5);
        return t;
    }();
    return table;
}

const ByteTable& UnpremultiplyTable() {
    static const ByteTable table = [] {
        ByteTable t{};
        for (int a = 0; a < 256; ++a)
            for (int x = 0; x < 256; ++x) {
                if (a == 0 || a == 255) {
                    t[size_t(a)][size_t(x)] = uint8_t(x);
                    continue;
                }
                const double v = x * (255.0 / a) + 0.5;
                t[size_t(a)][size_t(x)] = v >= 255.0 ? 255 : uint8_t(v);
            }
        return t;
    }();
    return table;
}

void ApplyTable(uint8_t* pixels, size_t count, const ByteTable& table) {
    if (!pixels) return;
    const int64_t n = int64_t(count);
#pragma omp parallel for schedule(static) if (n >= (int64_t(1) << 16))
    for (int64_t i = 0; i < n; ++i) {
        uint8_t* p = pixels + size_t(i) * 4;
        const auto& row = table[p[3]];
        p[0] = row[p[0]];
        p[1] = row[p[1]];
        p[2] = row[p[2]];
    }
}

}  // namespace

void PremultiplyAlpha(uint8_t* pixels, size_t count) { ApplyTable(pixels, count, PremultiplyTable()); }

void UnpremultiplyAlpha(uint8_t* pixels, size_t count) { ApplyTable(pixels, count, UnpremultiplyTable()); }
