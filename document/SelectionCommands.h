#pragma once
// Pieces of the pixel-selection commands: the tests their update rules share,
// and the steps of Split Bitmap, which divides the painted bitmap into the
// pixels under the selection and the rest.
#include "platform/Bitmap.h"

#include <cstdint>
#include <string>
#include <vector>

class CanvasDocument;
struct CanvasObject;

// The scene has a selection mask that selects something.
bool HasPixelSelection(const CanvasDocument& scene);
// The object named by the scene's primary selected id, or null.
const CanvasObject* FindPrimaryObject(const CanvasDocument& scene);
// The first object with the id walking the layers bottom first; null for an
// empty id.
CanvasObject* FirstObjectWithId(CanvasDocument& scene, const std::string& id);
const CanvasObject* FirstObjectWithId(const CanvasDocument& scene, const std::string& id);

// A straight-alpha bitmap of the session's size holding the pixels weighted
// by the coverage (inside) or by its complement (outside). Source pixels are
// B, G, R, A, premultiplied unless told otherwise; a colour is divided back
// by its alpha with rounding, the weighted alpha is (m * a + 127) / 255 and a
// pixel whose weighted alpha rounds to 0 becomes transparent black. Null when
// the bitmap cannot be made.
BitmapPtr ExtractSelectionBitmap(int width, int height, const uint8_t* pixels, int64_t rowPitch,
                                 const uint8_t* coverage, bool inside, bool premultiplied = true);

// The smallest rectangle holding every pixel with non-zero alpha; false when
// there is none.
bool GetOpaqueBounds(const Bitmap& bitmap, int& x, int& y, int& w, int& h);

// PNG bytes of a rectangle of the bitmap, copied pixel for pixel; false when
// the rectangle leaves the bitmap or a step fails.
bool CropBitmapToPng(const Bitmap& bitmap, int x, int y, int w, int h, std::vector<uint8_t>& png);
