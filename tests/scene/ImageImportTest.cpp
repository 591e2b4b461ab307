#include "platform/Codecs.h"
#include "platform/Files.h"
#include "scene/CanvasDocument.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// A private folder for files written by the test, removed afterwards.
class ImageImport : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/import_test_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        for (const std::string& p : written_) std::remove(p.c_str());
        rmdir(dir_.c_str());
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = JoinPath(dir_, name);
        FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        written_.push_back(path);
        return path;
    }
    std::string WritePng(const std::string& name, int w, int h) {
        BitmapPtr b = Bitmap::Create(w, h);
        EXPECT_TRUE(b);
        b->Clear(0xFF336699);
        std::vector<uint8_t> png;
        EXPECT_TRUE(EncodePng(*b, png));
        return Write(name, png);
    }
    std::string dir_;
    std::vector<std::string> written_;
};

TEST_F(ImageImport, FitsIntoTheCanvasAndCentres) {
    struct Case {
        int w, h;
        float x, y, width, height;
    };
    const Case cases[] = {
        {800, 600, 112, 212, 800, 600},   // smaller: never enlarged
        {4000, 1000, 0, 384, 1024, 256},  // shrunk to fit
        {1, 3000, 512, 0, 1, 1024},       // a sliver keeps a side of at least 1
    };
    for (const Case& c : cases) {
        CanvasDocument doc;
        const std::string path = WritePng("img.png", c.w, c.h);
        std::string error, id, layer;
        ASSERT_TRUE(doc.ImportImageFile(path, error, &id, &layer)) << error;
        EXPECT_EQ(layer, "layer_1");
        const CanvasObject* o = doc.FindObject(id);
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->name, "img.png");
        EXPECT_EQ(o->x, c.x) << c.w << "x" << c.h;
        EXPECT_EQ(o->y, c.y) << c.w << "x" << c.h;
        EXPECT_EQ(o->width, c.width) << c.w << "x" << c.h;
        EXPECT_EQ(o->height, c.height) << c.w << "x" << c.h;
        ASSERT_EQ(o->parts.size(), 1u);
        const ImagePart& p = o->parts[0];
        EXPECT_EQ(p.id, "image_1");
        EXPECT_EQ(p.source, "img.png");
        EXPECT_EQ(p.pixelWidth, float(c.w));
        EXPECT_EQ(p.displayHeight, float(c.h));
        EXPECT_EQ(doc.selectedIds, std::vector<std::string>{id});
        EXPECT_EQ(doc.primarySelectedId, id);
    }
}

TEST_F(ImageImport, KeepsTheBytesAndStacksOnTopOfTheActiveLayer) {
    CanvasDocument doc;
    std::string error, first, second;
    const std::string path = WritePng("a.png", 10, 10);
    ASSERT_TRUE(doc.ImportImageFile(path, error, &first));
    ASSERT_TRUE(doc.ImportImageFile(path, error, &second));
    std::remove(path.c_str());
    EXPECT_EQ(doc.layers[1].objects[0].id, second);
    EXPECT_EQ(doc.layers[1].objects[0].z, 1);
    // The file is gone; the part still decodes from its own bytes.
    EXPECT_TRUE(doc.FindObject(first)->parts[0].GetDecoded());
}

TEST_F(ImageImport, EveryFailureSaysWhyAndChangesNothing) {
    const std::string empty = Write("empty.png", {});
    const std::string junk = Write("junk.png", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePng(*Bitmap::Create(8, 8), png));
    const std::string cut = Write("cut.png", std::vector<uint8_t>(png.begin(), png.begin() + 20));
    std::vector<uint8_t> wide = png;
    wide[16] = 0x00, wide[17] = 0x01, wide[18] = 0x00, wide[19] = 0x00;  // 65536 pixels wide
    const std::string huge = Write("wide.png", wide);
    // A named pipe nobody writes to: opening it for reading would wait for ever.
    const std::string pipe = JoinPath(dir_, "pipe.png");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    written_.push_back(pipe);
    // 3 GiB without using the disk: refused by its size before a byte is read.
    const std::string big = Write("big.png", png);
    ASSERT_EQ(::truncate(big.c_str(), off_t(3) << 30), 0);
    struct Case {
        std::string path;
        const char* error;
    };
    const Case cases[] = {
        {JoinPath(dir_, "missing.png"), "Failed to open image file."},
        {dir_, "Failed to open image file: it is not a regular file."},
        {pipe, "Failed to open image file: it is not a regular file."},
        {empty, "Image file is empty or too large."},
        {big, "Image file is too large (more than 2 GiB)."},
        {junk, "Failed to decode image. The file is not a PNG, JPEG or BMP image."},
        {cut, "Failed to decode image. The image data is truncated or damaged."},
        {huge, "Failed to decode image. The image is too large (at most 32767 pixels a side and 268435456 pixels in "
               "all)."},
    };
    for (const Case& c : cases) {
        CanvasDocument doc;
        doc.SelectObject("none");
        std::string error, id = "untouched";
        EXPECT_FALSE(doc.ImportImageFile(c.path, error, &id));
        EXPECT_EQ(error, c.error) << c.path;
        EXPECT_EQ(id, "untouched");
        EXPECT_TRUE(doc.layers[1].objects.empty());
    }
}

TEST_F(ImageImport, AFailedAddNeverRemovesAnExistingObject) {
    // Every numbered object id is taken, so the import falls back to the bare
    // "object", which also exists: the add fails and that object must stay.
    CanvasDocument doc;
    std::vector<CanvasObject>& objects = doc.GetActiveLayer().objects;
    objects.reserve(100000);
    for (int n = 1; n <= 99999; ++n) {
        objects.emplace_back();
        objects.back().id = "object_" + std::to_string(n);
    }
    objects.emplace_back();
    objects.back().id = "object";
    objects.back().name = "precious";

    std::string error;
    EXPECT_FALSE(doc.ImportImageFile(WritePng("b.png", 4, 4), error));
    EXPECT_EQ(error, "Failed to create image object.");
    ASSERT_NE(doc.FindObject("object"), nullptr);
    EXPECT_EQ(doc.FindObject("object")->name, "precious");
    EXPECT_EQ(doc.GetActiveLayer().objects.size(), 100000u);
}

}  // namespace
