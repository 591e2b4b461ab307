#pragma once
// The program's clipboard formats (one object, a set of objects) with their
// payload writers and readers, the reading of plain pictures another program
// put on the clipboard (PNG bytes or packed bitmap data), fresh bone ids for
// pasted objects, and the small image utilities the clipboard and the object
// commands share (PNG bytes of a bitmap, rotated bounds, transformed drawing).
// Clipboard payloads come from any program: every reader checks every count
// and length against the bytes present and refuses what it does not know.
#include "platform/Bitmap.h"
#include "platform/Raster.h"
#include "scene/CanvasDocument.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class IClipboard;

// Format names as the clipboard knows them.
inline constexpr const char* kCanvasObjectClipFormat = "QuillfenEditor.CanvasObject.v1";
inline constexpr const char* kCanvasObjectSetClipFormat = "QuillfenEditor.CanvasObjectSet.v1";
inline constexpr const char* kPngClipFormat = "PNG";
// Bitmap data offered by other programs, tried in this order after PNG.
inline constexpr const char* kDibV5ClipFormat = "CF_DIBV5";
inline constexpr const char* kDibClipFormat = "CF_DIB";
inline constexpr const char* kBitmapClipFormat = "CF_BITMAP";
// The only payload version written and read.
constexpr uint32_t kClipboardPayloadVersion = 14;
// The name a picture pasted from another program gets.
inline constexpr const char* kClipboardImageName = "Clipboard Image";

std::string GetCanvasObjectClipFormat();
std::string GetCanvasObjectSetClipFormat();
std::string GetPngClipFormat();

// --- Payloads: "QVO1", 14, one object record; "QVS1", 14, count, records ---
std::vector<uint8_t> WriteObjectPayload(const CanvasObject& object);
std::vector<uint8_t> WriteObjectSetPayload(const std::vector<CanvasObject>& objects);
// True only for the matching magic with version 14 and records that parse;
// bytes after the last record are ignored. The object's caches are empty.
// On failure out is left as it was.
bool ReadObjectPayload(const uint8_t* data, size_t size, CanvasObject& out);
// Empties out first; true only when at least one object was read.
bool ReadObjectSetPayload(const uint8_t* data, size_t size, std::vector<CanvasObject>& out);

// --- Clipboard operations. A copy empties the clipboard and leaves exactly
// its one format there.
bool CopyObjectToClipboard(IClipboard& clipboard, const CanvasObject& object);
bool CopyObjectSetToClipboard(IClipboard& clipboard, const std::vector<CanvasObject>& objects);
bool PasteObjectFromClipboard(const IClipboard& clipboard, CanvasObject& out);
bool PasteObjectSetFromClipboard(const IClipboard& clipboard, std::vector<CanvasObject>& out);

// The bytes of a format; false when it is missing, empty or above 4 GiB.
bool ReadClipboardBytes(const IClipboard& clipboard, const std::string& format, std::vector<uint8_t>& bytes);
// Where the pixels of a packed bitmap (info header, optional colour masks and
// colour table, pixels) start. False for data shorter than 40 bytes, a header
// size that is not a known one, or an offset not inside the data.
bool DibPixelOffset(const uint8_t* data, size_t size, uint64_t& offset);
// A packed bitmap decoded and re-encoded as PNG bytes, with its pixel size.
bool DibToPngBytes(const uint8_t* data, size_t size, std::vector<uint8_t>& png, float& width, float& height);
// The clipboard's decoded picture as PNG bytes.
bool ReadClipboardBitmapAsPng(const IClipboard& clipboard, std::vector<uint8_t>& png, float& width, float& height);
// A picture from "PNG" (bytes unchanged), else bitmap data, as PNG bytes,
// named "Clipboard Image".
bool ReadClipboardImage(const IClipboard& clipboard, std::vector<uint8_t>& png, std::string& name, float& width,
                        float& height);

// --- Bone ids of pasted objects ---
// The first "bone_%d" (1..99999) used by no bone of the scene and not in
// issued; "bone" when all are taken.
std::string MakeUniqueBoneId(const CanvasDocument& scene, const std::vector<std::string>& issued);
// Gives the object's bones fresh ids for the scene and re-points parents
// that named a bone of the object. The object's own id stays.
void PreparePastedObject(CanvasObject& object, const CanvasDocument& scene);

// --- Image utilities ---
// PNG bytes of a straight BGRA bitmap; false when encoding fails or gives
// nothing (out is then empty).
bool SaveImageToPngBytes(const Bitmap& image, std::vector<uint8_t>& out);
// Axis-aligned bounds of the object's rectangle rotated about its centre.
SceneRect GetRotatedBounds(const CanvasObject& object);
// Draws the object's composed image parts at its place and size, rotated
// about its centre and weighted by its opacity, shifted by (dx, dy). Nothing
// for hidden objects or objects without an image.
void DrawImageTransformed(const RasterTarget& target, CanvasObject& object, float dx, float dy,
                          Interpolation interpolation = Interpolation::Bicubic);
