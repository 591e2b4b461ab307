#include "platform/CompositeSurface.h"

#include "platform/Bitmap.h"

#include <new>

bool CompositeSurface::Create(int w, int h) {
    Release();
    if (!BitmapSizeAllowed(w, h)) return false;
    try {
        storage_.assign(size_t(w) * size_t(h) * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    pixels = storage_.data();
    width = w;
    height = h;
    dirty = true;
    return true;
}

bool CompositeSurface::Attach(uint8_t* memory, int w, int h) {
    Release();
    if (!memory || !BitmapSizeAllowed(w, h)) return false;
    pixels = memory;
    width = w;
    height = h;
    dirty = true;
    return true;
}

void CompositeSurface::Release() {
    if (!pixels && storage_.empty()) return;
    std::vector<uint8_t>().swap(storage_);
    pixels = nullptr;
    width = 0;
    height = 0;
}

void CompositeSurface::Clear(uint32_t v) {
    const size_t n = size_t(width) * size_t(height);
    uint32_t* p = reinterpret_cast<uint32_t*>(pixels);
    for (size_t i = 0; i < n; ++i) p[i] = v;
}
