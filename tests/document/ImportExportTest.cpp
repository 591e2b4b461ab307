#include "BitmapObjects.h"
#include "DocumentFixture.h"

#include "platform/Files.h"
#include "scene/BlendModes.h"

#include <filesystem>

namespace {

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("cmdsA_" + name)).string();
}

BitmapPtr ReadPng(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return nullptr;
    return DecodeImage(bytes);
}

}  // namespace

TEST(ExportPng, ProposedNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"picture.qvk", "picture.png"}, {"a.b.qvk", "a.b.png"}, {".qvk", ".qvk.png"}, {"Untitled", "Untitled.png"}};
    for (const auto& [title, name] : cases) EXPECT_EQ(CQuillfenEditorDoc::ProposedPngName(title), name);
}

TEST_F(DocumentFixture, ImportReportsEveryFailureAndImportsTheRest) {
    const std::string good1 = TempPath("good1.png"), good2 = TempPath("good2.png"), bad = TempPath("bad.png");
    ASSERT_TRUE(WriteFileAtomic(good1, SolidPng(3, 2, 0xFF112233)));
    ASSERT_TRUE(WriteFileAtomic(bad, std::vector<uint8_t>{'n', 'o', 't'}));
    ASSERT_TRUE(WriteFileAtomic(good2, SolidPng(2, 2, 0xFF445566)));
    const size_t objectsBefore = doc.mainScene.FindLayer("layer_1")->objects.size();

    host.prompts.QueueOpenFiles({good1, bad, good2});
    doc.OnFileImportImage();
    EXPECT_EQ(doc.mainScene.FindLayer("layer_1")->objects.size(), objectsBefore + 2);
    EXPECT_EQ(doc.mainUndo.undo.size(), 2u);
    const auto& records = host.prompts.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[0].open.multiSelect);
    ASSERT_FALSE(records[0].open.filters.empty());
    EXPECT_EQ(records[0].open.filters[0].label, "Image Files (*.png;*.jpg;*.jpeg;*.bmp)");
    std::string error;
    CanvasDocument scratch;
    ASSERT_FALSE(scratch.ImportImageFile(bad, error));
    EXPECT_EQ(records[1].message.text, "Imported 2 image(s).\n\nFailed imports:\n" + bad + ": " + error + "\n");
    EXPECT_EQ(records[1].message.icon, PromptIcon::Exclamation);

    host.prompts.ClearRecords();
    host.prompts.QueueOpenFiles({good1});
    doc.OnFileImportImage();
    EXPECT_EQ(host.prompts.Records().size(), 1u);  // the dialog only: no summary
    for (const std::string& p : {good1, good2, bad}) std::filesystem::remove(p);
}

TEST_F(DocumentFixture, ExportComposesTheMainSceneWithTheBlendFormulas) {
    doc.mainScene.width = 4;
    doc.mainScene.height = 2;
    doc.mainScene.canvasColour = 0xFFFFFFFF;
    doc.mainScene.DeleteObject("object_1");
    doc.mainScene.DeleteObject("object_2");
    CanvasObject red = MakeSolidObject("object_1", "Red", 0, 0, 2, 2, 0xFFFF0000);
    red.opacity = 0.25f;
    CanvasObject tan = MakeSolidObject("object_2", "Tan", 2, 0, 1, 2, 0xFFC86432);  // R 200, G 100, B 50
    tan.opacity = 0.8f;
    tan.blendMode = kBlendMultiply;
    AddTo(doc.mainScene, "layer_1", red);
    AddTo(doc.mainScene, "layer_1", tan);
    doc.SetPathName("/somewhere/scene.qvk");
    FakeSession session;
    doc.paintSession = &session;

    const std::string path = TempPath("export.png");
    std::filesystem::remove(path);
    host.prompts.QueueSaveFile(path);
    doc.OnFileExportPng();
    EXPECT_EQ(session.commits, 1);  // what was painted is exported
    ASSERT_EQ(host.prompts.Records().size(), 1u);
    const SaveFileRequest& asked = host.prompts.Records()[0].save;
    EXPECT_EQ(asked.proposedName, "scene.png");
    EXPECT_EQ(asked.defaultExtension, "png");
    EXPECT_TRUE(asked.promptOverwrite);

    BitmapPtr png = ReadPng(path);
    ASSERT_NE(png, nullptr);
    ASSERT_EQ(png->Width(), 4);
    ASSERT_EQ(png->Height(), 2);
    // Normal at 0.25 over white: 255 * 0.25 + 255 * 0.75 = 255, 0 * 0.25 + 255 * 0.75 = 191.25.
    // Multiply over white is the source itself, at 0.8: 0.8 * s + 0.2 * 255.
    const uint32_t expected[2][4] = {{0xFFFFBFBF, 0xFFFFBFBF, 0xFFD3835B, 0xFFFFFFFF},
                                     {0xFFFFBFBF, 0xFFFFBFBF, 0xFFD3835B, 0xFFFFFFFF}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(png->Pixel(x, y), expected[y][x]) << x << "," << y;
    EXPECT_FALSE(doc.IsModified());
    std::filesystem::remove(path);
}

TEST_F(DocumentFixture, ExportSizeAndCancel) {
    doc.mainScene.width = 1023.5f;
    doc.mainScene.height = 0.4f;
    const std::string path = TempPath("thin.png");
    host.prompts.QueueSaveFile(std::nullopt);
    doc.OnFileExportPng();
    EXPECT_FALSE(std::filesystem::exists(path));
    // An unsaved document proposes its own default name.
    ASSERT_EQ(host.prompts.Records().size(), 1u);
    EXPECT_EQ(host.prompts.Records()[0].save.proposedName, "Unnamed.png");
    host.prompts.QueueSaveFile(path);
    doc.OnFileExportPng();
    BitmapPtr png = ReadPng(path);
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(png->Width(), 1024);
    EXPECT_EQ(png->Height(), 1);
    EXPECT_EQ(host.prompts.MessageTexts().size(), 0u);

    // A folder that does not exist: reported, nothing left behind.
    host.prompts.QueueSaveFile(TempPath("no_such_dir/x.png"));
    doc.OnFileExportPng();
    EXPECT_EQ(host.prompts.MessageTexts(), std::vector<std::string>{"PNG save failed."});
    EXPECT_EQ(host.prompts.Records().back().message.icon, PromptIcon::Error);
    std::filesystem::remove(path);
}

TEST_F(DocumentFixture, ExportThatCannotComposeEveryObjectWritesNothing) {
    doc.mainScene.width = 8;
    doc.mainScene.height = 8;
    CanvasObject& sky = *doc.mainScene.FindObject("object_1");
    sky = MakeSolidObject("object_1", "Sky", -20000, 0, 2, 2, 0xFFFF0000);
    sky.width = 40000;  // covers the canvas, but no image of it can be made
    const std::string path = TempPath("incomplete.png");
    std::filesystem::remove(path);
    host.prompts.QueueSaveFile(path);
    doc.OnFileExportPng();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(host.prompts.MessageTexts(),
              std::vector<std::string>{"Could not compose the PNG image. The object \"Sky\" is too large to render."});
    EXPECT_EQ(host.prompts.Records().back().message.icon, PromptIcon::Error);
}
