#include "BitmapObjects.h"
#include "DocumentFixture.h"

#include "platform/Files.h"
#include "scene/BlendModes.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <functional>

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
    std::filesystem::remove(path);
}

// Each way an export can fail names the file and gives the reason, writes
// nothing at the path and leaves no temporary behind.
TEST_F(DocumentFixture, ExportFailureNamesTheFileAndTheReason) {
    doc.mainScene.width = 64;
    doc.mainScene.height = 64;
    const std::filesystem::path dir = TempPath("export_failures");
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string pipe = (dir / "pipe.png").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Too large a picture for the file-size limit: the write stops half-way
    // with an error, as on a full disk.
    auto fileSizeLimit = [](rlim_t bytes) {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlim_t before = limit.rlim_cur;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return before;
    };
    struct Case {
        const char* name;
        std::string path;
        std::function<void()> spoil, mend;
        std::vector<std::string> said;
    };
    rlim_t savedLimit = 0;
    void (*savedSignal)(int) = nullptr;
    const Case cases[] = {
        {"missing folder", (dir / "no_such_dir" / "x.png").string(), {}, {}, {"No such file or directory"}},
        {"named pipe", pipe, {}, {}, {"not a regular file"}},
        {"write failure",
         (dir / "limited.png").string(),
         [&] {
             savedSignal = std::signal(SIGXFSZ, SIG_IGN);
             savedLimit = fileSizeLimit(16);
         },
         [&] {
             fileSizeLimit(savedLimit);
             std::signal(SIGXFSZ, savedSignal);
         },
         {"Write failed", "File too large"}},
        {"canvas too large for a picture",
         (dir / "wide.png").string(),
         [&] { doc.mainScene.width = 40000; },
         [&] { doc.mainScene.width = 64; },
         {"The canvas of 40000 x 64 pixels is too large"}},
        {"object that cannot be drawn",
         (dir / "sky.png").string(),
         [&] {
             CanvasObject& sky = *doc.mainScene.FindObject("object_1");
             sky = MakeSolidObject("object_1", "Sky", -20000, 0, 2, 2, 0xFFFF0000);
             sky.width = 40000;  // covers the canvas, but no image of it can be made
         },
         {},
         {"The object \"Sky\" is too large to render."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.prompts.ClearRecords();
        host.prompts.QueueSaveFile(c.path);
        if (c.spoil) c.spoil();
        doc.OnFileExportPng();
        if (c.mend) c.mend();
        ASSERT_EQ(host.prompts.MessageTexts().size(), 1u);
        const std::string text = host.prompts.MessageTexts().back();
        EXPECT_EQ(text.rfind("Could not export \"" + c.path + "\".\n\n", 0), 0u) << text;
        for (const std::string& part : c.said) EXPECT_NE(text.find(part), std::string::npos) << text;
        EXPECT_EQ(host.prompts.Records().back().message.icon, PromptIcon::Error);
        if (c.path != pipe) {
            EXPECT_FALSE(std::filesystem::exists(c.path));
        }
    }
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir)) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"pipe.png"});
    std::filesystem::remove_all(dir);
}
