// Hostile clipboard payloads from tests/fixtures/broken_clipboard: each file
// is one fuzzer input, a first byte (which reader the fuzzer chose) and the
// payload. Every reader gets the payload here, whatever the first byte says.
// Files named crash-* once crashed a reader and now read or are refused
// cleanly; files named refused-* must be refused by every reader.
#include "document/ClipboardFormats.h"
#include "platform/Clipboard.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

CanvasObject Marker() {
    CanvasObject o;
    o.name = "before";
    return o;
}

TEST(ClipboardBroken, Fixtures) {
    const std::filesystem::path dir = std::filesystem::path(TEST_FIXTURES_DIR) / "broken_clipboard";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::vector<uint8_t> file;
        ASSERT_TRUE(ReadWholeFile(entry.path().string(), file, 1 << 20)) << entry.path();
        ASSERT_FALSE(file.empty()) << entry.path();
        const std::string name = entry.path().filename().string();
        const bool mustRefuse = name.rfind("refused-", 0) == 0;
        const std::vector<uint8_t> payload(file.begin() + 1, file.end());

        CanvasObject object = Marker();
        const auto before = WriteObjectPayload(object);
        const bool objectRead = ReadObjectPayload(payload.data(), payload.size(), object);
        if (!objectRead) {
            EXPECT_EQ(WriteObjectPayload(object), before) << name;
        }

        std::vector<CanvasObject> set(1, Marker());
        const bool setRead = ReadObjectSetPayload(payload.data(), payload.size(), set);
        if (!setRead) {
            EXPECT_TRUE(set.empty()) << name;
        }

        std::vector<uint8_t> png;
        float w = 0, h = 0;
        const bool dibRead = DibToPngBytes(payload.data(), payload.size(), png, w, h);
        if (dibRead) {
            EXPECT_TRUE(!png.empty() && w >= 1 && h >= 1) << name;
        }

        // The paste path with the payload under every format it reads.
        MemoryClipboard clip;
        for (const char* f : {kCanvasObjectClipFormat, kCanvasObjectSetClipFormat, kDibV5ClipFormat, kDibClipFormat})
            clip.SetData(f, payload);
        CanvasObject pasted = Marker();
        if (!PasteObjectFromClipboard(clip, pasted)) {
            EXPECT_EQ(WriteObjectPayload(pasted), before) << name;
        }
        std::vector<CanvasObject> pastedSet;
        PasteObjectSetFromClipboard(clip, pastedSet);
        std::string imageName;
        const bool imageRead = ReadClipboardImage(clip, png, imageName, w, h);

        if (mustRefuse) {
            EXPECT_FALSE(objectRead || setRead || dibRead || imageRead) << name;
        }
        ++count;
    }
    EXPECT_GT(count, 0);
}

}  // namespace
