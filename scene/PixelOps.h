#pragma once
// Pixel operations shared by the image commands, the adjustment dialogs and
// the paint session (invert and brightness, for 32-bit pixels and 8-bit
// planes, optionally weighted by selection coverage), their drivers over an
// object's stored image or a rectangle of a plane, and in-memory PNG streams.
//
// 32-bit pixels are bytes B, G, R, A with straight alpha; the operations
// change B, G and R only. A selection byte m weights old and new values as
// ((255 - m) * old + m * new + 127) / 255 in integers.
#include "platform/Bitmap.h"

#include <cstdint>
#include <vector>

struct CanvasObject;
class SelectionMask;

// (pixels of the first row, width, height, row pitch in bytes, selection
// bytes or null, selection pitch, parameters or null).
using PixelOp32 = void (*)(uint8_t* pixels, int width, int height, int pitch, const uint8_t* selection,
                           int selectionPitch, const void* params);
// (plane with rows of exactly width bytes, width, height, selection bytes or
// null, selection pitch, parameters or null).
using PixelOp8 = void (*)(uint8_t* plane, int width, int height, const uint8_t* selection, int selectionPitch,
                          const void* params);

// The selection's bounds clipped to the image, or the whole image when there
// is no selection or it selects nothing. False for an empty image, or when the
// selection lies wholly outside the image.
bool GetSelectionRectOrAll(const SelectionMask* selection, int imageWidth, int imageHeight, int& x, int& y, int& w,
                           int& h);
// The selection's coverage of the rectangle in buffer (w x h, pitch w), or
// null when there is no selection, it selects nothing or the rectangle is empty.
const uint8_t* ObjectMaskHasPixels(const SelectionMask* selection, int x, int y, int w, int h,
                                   std::vector<uint8_t>& buffer);

// c -> 255 - c for B, G, R.
void InvertPixelsMasked(uint8_t* pixels, int width, int height, int pitch, const uint8_t* selection,
                        int selectionPitch, const void* params);
// b -> 255 - b.
void InvertMaskBytes(uint8_t* plane, int width, int height, const uint8_t* selection, int selectionPitch,
                     const void* params);
// params: one float, the amount in -100..100; c -> clamp(c + delta) with
// delta = amount * 1.27 rounded half away from zero. Nothing without params.
void BrightnessMasked(uint8_t* pixels, int width, int height, int pitch, const uint8_t* selection,
                      int selectionPitch, const void* params);
void BrightnessPlain(uint8_t* plane, int width, int height, const uint8_t* selection, int selectionPitch,
                     const void* params);

// Decodes stored image bytes (any supported format), runs op on them and
// writes the result as PNG into out. The selection restricts the operation
// only when the object lies on the canvas pixel for pixel; otherwise the
// whole image is processed. When the selection leaves nothing to change, out
// is a copy of stored. False (out untouched) on any failure.
bool ApplyPixelOpToObject(const std::vector<uint8_t>& stored, PixelOp32 op, std::vector<uint8_t>& out,
                          const CanvasObject* object, const SelectionMask* selection);
// Runs op on the rectangle of a plane, in place when it is the whole plane.
// Nothing happens when the rectangle does not lie wholly inside the plane.
void ApplyPixelOpToRect(uint8_t* plane, int planeWidth, int planeHeight, int x, int y, int w, int h, PixelOp8 op,
                        const void* params, const uint8_t* selection, int selectionPitch);

// PNG bytes of the bitmap, exactly as long as the encoder's output. False
// (out untouched) when encoding fails.
bool EncodeBitmapToPng(const Bitmap& bitmap, std::vector<uint8_t>& out);
// Decodes PNG (or any supported format); null for empty or undecodable bytes.
BitmapPtr DecodePngToBitmap(const std::vector<uint8_t>& bytes);
// A pixel-exact straight BGRA copy with tight rows (nearest neighbour at the
// same size), or null.
BitmapPtr ResampleBitmap(const Bitmap& source);
// Copies the pixels of equally sized bitmaps row by row; false for sizes that
// differ or are not positive.
bool CopyBitmapPixels(const Bitmap& source, Bitmap& destination);
