// Pictures with an object missing: image bytes that do not decode draw
// nothing and are reported once on opening; an image that decodes but cannot
// be drawn fails every picture made from the scene, naming the object.
#include "BitmapObjects.h"
#include "DocumentFixture.h"

#include "document/ProjectFile.h"
#include "platform/CompositeSurface.h"
#include "platform/Files.h"
#include "scene/ObjectRender.h"
#include "scene/SceneRender.h"

#include <filesystem>

namespace {

const std::string kDamagedProject = std::string(TEST_FIXTURES_DIR) + "/qvk/damaged_png.qvk";

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("renderfail_" + name)).string();
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A PNG of the given picture whose header declares another width (with a
// right checksum, so the header itself is sound).
std::vector<uint8_t> PngDeclaringWidth(std::vector<uint8_t> png, uint32_t width) {
    for (int i = 0; i < 4; ++i) png[16 + i] = uint8_t(width >> (24 - 8 * i));
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 12; i < 29; ++i) {  // "IHDR" and its 13 bytes
        crc ^= png[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i) png[29 + i] = uint8_t(crc >> (24 - 8 * i));
    return png;
}

}  // namespace

// The fixture holds "Red square" (a good 4 x 4 PNG at 0, 0) and "Broken blue"
// (a 4 x 4 PNG whose compressed data is damaged, at 4, 4) on an 8 x 8 white canvas.
TEST(DamagedImage, OpensWithOneWarningKeepsItsBytesAndExportsWithoutIt) {
    FakeHost host;
    CQuillfenEditorDoc doc;
    doc.SetHost(&host);
    ASSERT_TRUE(doc.OnOpenDocument(kDamagedProject));
    ASSERT_EQ(host.prompts.MessageTexts().size(), 1u);
    const std::string warning = host.prompts.MessageTexts().front();
    EXPECT_TRUE(Contains(warning, "\"Broken blue\"")) << warning;
    EXPECT_FALSE(Contains(warning, "Red square")) << warning;
    EXPECT_EQ(UnshowableObjectsWarning(doc.mainScene), warning);

    // The live display draws the rest and counts the picture as whole.
    CompositeSurface surface;
    ASSERT_TRUE(surface.Create(8, 8));
    std::string error;
    EXPECT_TRUE(sceneRender(surface, doc.mainScene, nullptr, &error)) << error;

    // Saving keeps the undecodable bytes exactly as they were read.
    CanvasDocument original;
    ASSERT_EQ(LoadProjectFile(kDamagedProject, original), ProjectLoadResult::kLoaded);
    const std::string saved = TempPath("saved.qvk");
    ASSERT_TRUE(doc.OnSaveDocument(saved));
    CanvasDocument reread;
    ASSERT_EQ(LoadProjectFile(saved, reread), ProjectLoadResult::kLoaded);
    const std::vector<uint8_t>& before = original.FindObject("object_2")->parts.at(0).encoded;
    EXPECT_EQ(reread.FindObject("object_2")->parts.at(0).encoded, before);
    EXPECT_GT(before.size(), 40u);
    std::filesystem::remove(saved);

    // The export succeeds without the broken object: its square stays canvas white.
    const std::string png = TempPath("export.png");
    std::filesystem::remove(png);
    host.prompts.QueueSaveFile(png);
    doc.OnFileExportPng();
    EXPECT_EQ(host.prompts.MessageTexts().size(), 1u);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(png, bytes));
    BitmapPtr image = DecodeImage(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(image->Pixel(6, 6), 0xFFFFFFFFu);
    std::filesystem::remove(png);
}

TEST(DamagedImage, AProjectWithoutOneOpensSilently) {
    FakeHost host;
    CQuillfenEditorDoc doc;
    doc.SetHost(&host);
    AddTo(doc.mainScene, "layer_1", MakeSolidObject("object_1", "Fine", 0, 0, 4, 4, 0xFF00FF00));
    const std::string path = TempPath("fine.qvk");
    ASSERT_TRUE(SaveProjectFile(path, doc.mainScene));
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_TRUE(host.prompts.MessageTexts().empty());
    std::filesystem::remove(path);
}

// An image that decodes but cannot be drawn: one that memory ran out for
// (injected into the part's decode state) and one beyond the size caps.
TEST(UndrawableImage, FailsExportMergeAndTheLiveRenderNamingTheObject) {
    const std::vector<uint8_t> tooWide = PngDeclaringWidth(SolidPng(4, 1, 0xFF0000FF), 40000);
    const struct {
        const char* name;
        std::function<void(ImagePart&)> spoil;
    } cases[] = {
        {"out of memory",
         [](ImagePart& p) {
             p.decoded.reset();
             p.decodeTried = true;
             p.decodeError = DecodeError::kOutOfMemory;
             p.InvalidateCache();
         }},
        {"too large", [&](ImagePart& p) { p.encoded = tooWide; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHost host;
        CQuillfenEditorDoc doc;
        doc.SetHost(&host);
        doc.mainScene.width = doc.mainScene.height = 8;
        AddTo(doc.mainScene, "layer_1", MakeSolidObject("object_1", "Ground", 0, 0, 8, 8, 0xFF00FF00));
        AddTo(doc.mainScene, "layer_1", MakeSolidObject("object_2", "Sun", 2, 2, 4, 4, 0xFFFFFF00));
        c.spoil(doc.mainScene.FindObject("object_2")->parts.at(0));

        const std::string png = TempPath("undrawable.png");
        std::filesystem::remove(png);
        host.prompts.QueueSaveFile(png);
        doc.OnFileExportPng();
        EXPECT_FALSE(std::filesystem::exists(png));
        ASSERT_EQ(host.prompts.MessageTexts().size(), 1u);
        EXPECT_TRUE(Contains(host.prompts.MessageTexts().back(), "\"Sun\"")) << host.prompts.MessageTexts().back();

        CompositeSurface surface;
        ASSERT_TRUE(surface.Create(8, 8));
        std::string error;
        EXPECT_FALSE(sceneRender(surface, doc.mainScene, nullptr, &error));
        EXPECT_TRUE(Contains(error, "\"Sun\"")) << error;

        const std::string before = Signature(doc.mainScene);
        EXPECT_FALSE(doc.MergeObjectsToBitmap({"object_1", "object_2"}));
        EXPECT_EQ(Signature(doc.mainScene), before);
        ASSERT_EQ(host.prompts.MessageTexts().size(), 2u);
        EXPECT_TRUE(Contains(host.prompts.MessageTexts().back(), "\"Sun\"")) << host.prompts.MessageTexts().back();
    }
}
