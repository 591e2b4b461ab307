// Feeds arbitrary bytes to the clipboard readers: the object and object-set
// payloads and packed bitmap data from other programs. The first byte picks
// the reader, the rest is the payload. A refused payload must leave the
// target untouched; an accepted object must write and read back unchanged.
#include "document/ClipboardFormats.h"
#include "platform/Clipboard.h"
#include "FuzzLimits.h"

#include <cstdlib>

namespace {

CanvasObject MarkerObject() {
    CanvasObject o;
    o.name = "before";
    return o;
}

void CheckRoundTrip(const CanvasObject& o) {
    const std::vector<uint8_t> saved = WriteObjectPayload(o);
    CanvasObject again;
    if (!ReadObjectPayload(saved.data(), saved.size(), again)) std::abort();
    if (WriteObjectPayload(again) != saved) std::abort();
}

// Packed bitmaps are decoded as bitmap files; a picture whose header declares
// many pixels costs time in proportion to them (a run-length bitmap of a few
// bytes may declare hundreds of megapixels) and reaches no new code.
bool WorthDecodingDib(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> file(14, 0);
    file[0] = 'B';
    file[1] = 'M';
    file.insert(file.end(), payload.begin(), payload.end());
    return WorthDecoding(file.data(), file.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t mode = data[0] % 4;
    const std::vector<uint8_t> payload(data + 1, data + size);
    switch (mode) {
    case 0: {
        CanvasObject o = MarkerObject();
        const std::vector<uint8_t> before = WriteObjectPayload(o);
        if (!ReadObjectPayload(payload.data(), payload.size(), o)) {
            if (WriteObjectPayload(o) != before) std::abort();
            return 0;
        }
        CheckRoundTrip(o);
        break;
    }
    case 1: {
        std::vector<CanvasObject> set;
        if (!ReadObjectSetPayload(payload.data(), payload.size(), set)) {
            if (!set.empty()) std::abort();
            return 0;
        }
        if (set.empty()) std::abort();
        for (const CanvasObject& o : set) CheckRoundTrip(o);
        break;
    }
    case 2: {
        if (!WorthDecodingDib(payload)) return 0;
        std::vector<uint8_t> png;
        float w = 0, h = 0;
        if (DibToPngBytes(payload.data(), payload.size(), png, w, h)) {
            if (png.empty() || !(w >= 1 && h >= 1)) std::abort();
        }
        break;
    }
    default: {
        // The paste path: every format offered holds the same bytes.
        MemoryClipboard clip;
        for (const char* f : {kCanvasObjectClipFormat, kCanvasObjectSetClipFormat, kDibV5ClipFormat})
            clip.SetData(f, payload);
        CanvasObject o = MarkerObject();
        const std::vector<uint8_t> before = WriteObjectPayload(o);
        if (!PasteObjectFromClipboard(clip, o) && WriteObjectPayload(o) != before) std::abort();
        std::vector<CanvasObject> set;
        PasteObjectSetFromClipboard(clip, set);
        std::vector<uint8_t> png;
        std::string name;
        float w = 0, h = 0;
        if (WorthDecodingDib(payload)) ReadClipboardImage(clip, png, name, w, h);
        break;
    }
    }
    return 0;
}
