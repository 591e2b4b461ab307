#pragma once
// The off-screen target of the live compositor and the direct-write blend
// paths: rows top-down, bytes B, G, R, A, premultiplied alpha, pitch width * 4.
// The UI shows it as a premultiplied ARGB32 image over the same memory.
#include <cstddef>
#include <cstdint>
#include <vector>

class CompositeSurface {
public:
    CompositeSurface() = default;
    ~CompositeSurface() { Release(); }
    CompositeSurface(const CompositeSurface&) = delete;
    CompositeSurface& operator=(const CompositeSurface&) = delete;

    // Releases what is held, then allocates a zeroed w x h surface. False (and
    // empty) for a size that is not positive, above the caps, or out of memory.
    bool Create(int width, int height);
    // Releases what is held, then draws into caller memory of w x h pixels
    // with rows of w * 4 bytes, neither cleared, copied nor freed. False (and
    // empty) for no memory or a size that is not positive or above the caps.
    bool Attach(uint8_t* memory, int width, int height);
    // Frees the pixels and zeroes every field but the dirty flag.
    void Release();

    uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    // Set by Create and by every direct write of the blend paths; the owner clears it.
    bool dirty = false;

    int Pitch() const { return width * 4; }
    uint8_t* Row(int y) { return pixels + size_t(y) * size_t(width) * 4; }
    const uint8_t* Row(int y) const { return pixels + size_t(y) * size_t(width) * 4; }
    // Fills every pixel with one premultiplied 0xAARRGGBB value.
    void Clear(uint32_t premultipliedArgb = 0);

private:
    std::vector<uint8_t> storage_;
};
