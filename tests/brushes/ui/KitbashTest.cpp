// Brush headers before Qt's (its `slots` macro).
#include "brushes/StencilLibraryStore.h"
#include "brushes/StencilOverlay.h"
#include "brushes/ui/CPropTabStencil.h"
#include "brushes/ui/CManageKitbashDlg.h"
#include "brushes/ui/CPropStencilLibrary.h"
#include "platform/Codecs.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "properties/ui/PropControls.h"

#include "tests/platform/ui/QtTestApp.h"
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The binary's one QApplication: a second one in the same process breaks Qt.
QApplication& App() { return EnsureQtApp(); }

void Shot(QWidget& w, const char* name) {
    if (const char* dir = std::getenv("STENCIL_SHOTS")) w.grab().save(QString(dir) + "/" + name);
}

// Roots of the test's own with the store registered for the controls.
struct Libraries {
    fs::path base;
    MemoryProfile profile;
    StencilLibraryStore store;
    Libraries() {
        App();
        base = fs::temp_directory_path() / ("kitbash_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(base);
        fs::create_directories(base / "user");
        SetStencilPlaces({(base / "user").string(), (base / "installed").string(), &profile});
        SetCurrentStencilStore(&store);
        store.initialised = true;
    }
    ~Libraries() {
        SetCurrentStencilStore(nullptr);
        SetStencilPlaces({});
        fs::remove_all(base);
    }
    void AddStencil(const std::string& library, const std::string& file, uint32_t argb, int w = 40, int h = 30) {
        fs::create_directories(base / "user" / library);
        BitmapPtr b = Bitmap::Create(w, h);
        b->Clear(argb);
        for (int y = 0; y < h; ++y) b->SetPixel(y * w / h, y, 0xFFFFFFFF);
        std::vector<uint8_t> png;
        EncodePng(*b, png);
        WriteFileAtomic((base / "user" / library / file).string(), png);
    }
};

// A parent that records the notifications of its children.
struct Recorder : CWndBase {
    std::vector<std::pair<int, int>> commands;
    bool OnCommand(int id, int code, CWndBase*) override {
        commands.push_back({id, code});
        return true;
    }
};

}  // namespace

TEST(KitbashControls, StencilGridLayoutHitsAndScrolling) {
    Libraries libs;
    for (int i = 0; i < 9; ++i) libs.AddStencil("rocks", "stone " + std::to_string(i) + ".png", 0xFF406080 + uint32_t(i) * 0x101010);
    libs.store.Activate("rocks");
    Recorder parent;
    parent.resize(400, 300);
    CPropStencilLibrary grid(&parent);
    grid.resize(140, 160);
    EXPECT_EQ(grid.Columns(), 1);
    grid.resize(200, 160);
    EXPECT_EQ(grid.Columns(), 2);
    EXPECT_EQ(grid.ContentHeight(), 5 * 76 + 4);
    // A tile, its caption, the gap between tiles, the strip.
    EXPECT_EQ(grid.HitTest({10, 10}), 0);
    EXPECT_EQ(grid.HitTest({70, 70}), 1);
    EXPECT_EQ(grid.HitTest({66, 10}), -1);
    EXPECT_EQ(grid.HitTest({10, 77}), -1);
    EXPECT_EQ(grid.HitTest({190, 10}), -1);
    grid.OnLButtonDown(0, {66, 10});
    EXPECT_TRUE(parent.commands.empty());
    grid.OnLButtonDown(0, {70, 10});
    grid.OnLButtonDown(0, {70, 10});  // the same tile again notifies again
    EXPECT_EQ(parent.commands, (std::vector<std::pair<int, int>>{{6102, 0}, {6102, 0}}));
    EXPECT_EQ(grid.selectedIndex, 1);
    grid.OnMouseWheel(0, -60, {});
    EXPECT_EQ(grid.scrollOffset, 0);
    grid.OnMouseWheel(0, -120, {});
    EXPECT_EQ(grid.scrollOffset, 76);
    grid.OnMouseWheel(0, -1200, {});
    EXPECT_EQ(grid.scrollOffset, grid.ContentHeight() - 160);
    grid.scrollOffset = 0;
    grid.hoverIndex = 2;
    Shot(grid, "grid.png");
    // Thumbnails are built on the first paint; painting again decodes nothing.
    grid.grab();
    const int decoded = libs.store.decodeCount;
    EXPECT_GT(decoded, 0);
    grid.grab();
    EXPECT_EQ(libs.store.decodeCount, decoded);
}

TEST(KitbashControls, LibraryListSwitchesOnlyToAnotherLibrary) {
    Libraries libs;
    for (const char* n : {"alpha", "Beta", "gamma"}) fs::create_directories(libs.base / "user" / n);
    libs.store.Activate("alpha");
    Recorder parent;
    CPropStencilLibraryList list(&parent);
    list.resize(140, 300);
    list.Reload();
    EXPECT_EQ(list.names, (std::vector<std::string>{"alpha", "Beta", "gamma"}));
    list.OnLButtonDown(0, {135, 10});  // the strip without a thumb: nothing
    list.OnLButtonDown(0, {20, 5});    // the active library: nothing
    EXPECT_TRUE(parent.commands.empty());
    list.OnLButtonDown(0, {20, 30});
    EXPECT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(libs.store.activeName, "Beta");
    EXPECT_EQ(libs.profile.GetString(kStencilsProfileKey, "ActiveLibrary", ""), "Beta");
    list.hoverRow = 2;
    Shot(list, "list.png");
}

TEST(KitbashControls, ManageKitbashSavesNumberedStencils) {
    Libraries libs;
    fs::create_directories(libs.base / "user" / "rocks");
    libs.AddStencil("in", "Rock Face.png", 0xFF884422, 64, 48);
    libs.store.Activate("rocks");
    ScriptedPrompts prompts;
    CManageKitbashDlg dlg(nullptr, &prompts);
    ASSERT_EQ(dlg.List()->count(), 2);
    EXPECT_EQ(dlg.List()->currentItem()->text(), "rocks");
    dlg.OnOK();
    EXPECT_EQ(prompts.MessageTexts().back(), "Load an image first.");

    prompts.QueueOpenFiles({(libs.base / "user" / "broken.png").string()});
    dlg.OnLoad();
    EXPECT_EQ(prompts.MessageTexts().back(), "Failed to load image.");
    prompts.QueueOpenFiles({(libs.base / "user" / "in" / "Rock Face.png").string()});
    dlg.OnLoad();
    ASSERT_TRUE(dlg.Image());
    dlg.show();
    Shot(dlg, "manage_kitbash.png");
    dlg.OnOK();
    EXPECT_EQ(dlg.ResultLibrary(), "rocks");
    EXPECT_TRUE(fs::exists(libs.base / "user" / "rocks" / "Rock Face.png"));
    dlg.OnOK();
    EXPECT_TRUE(fs::exists(libs.base / "user" / "rocks" / "Rock Face 2.png"));
    // A typed name is cleaned and made by the save; "New" with an existing name is fine.
    dlg.FolderEdit()->setText("  new:set? ");
    dlg.OnOK();
    EXPECT_EQ(dlg.ResultLibrary(), "newset");
    EXPECT_TRUE(fs::exists(libs.base / "user" / "newset" / "Rock Face.png"));
    dlg.FolderEdit()->setText("..");
    dlg.OnNewFolder();
    EXPECT_EQ(prompts.MessageTexts().back(), "Enter a folder name.");
    dlg.FolderEdit()->setText("rocks");
    const size_t shown = prompts.MessageTexts().size();
    dlg.OnNewFolder();
    EXPECT_EQ(prompts.MessageTexts().size(), shown);
    EXPECT_EQ(dlg.List()->currentItem()->text(), "rocks");
    EXPECT_TRUE(dlg.FolderEdit()->text().isEmpty());
    // With no list row and no typed name there is nowhere to save.
    dlg.List()->clear();
    dlg.OnOK();
    EXPECT_EQ(prompts.MessageTexts().back(), "Select a folder or type a new one.");
}

TEST(KitbashControls, GridFollowsTheOverlaysStencilAndRefusalsAreTold) {
    Libraries libs;
    for (const char* f : {"b.png", "c.png", "d.png"}) libs.AddStencil("rocks", f, 0xFF884422);
    libs.store.Activate("rocks");
    StencilOverlay overlay;
    SetCurrentStencilOverlay(&overlay);
    ScriptedPrompts prompts;
    RegisterStencilTab(&prompts);
    {
        CPropTabStencil tab(nullptr);
        tab.resize(900, 112);
        tab.Grid()->selectedIndex = 1;  // c.png, as a grid press leaves it
        tab.OnCommand(6102, kPropClick, tab.Grid());
        ASSERT_EQ(overlay.activeIndex, 1);

        // A stencil added in front of it: after the re-read the grid still
        // highlights c.png, now the third entry, as the overlay does.
        libs.AddStencil("rocks", "a.png", 0xFF224488);
        ASSERT_TRUE(libs.store.SaveActiveLibrary("rocks"));
        overlay.FindActiveAgain();
        tab.Refresh();
        EXPECT_EQ(overlay.activeIndex, 2);
        EXPECT_EQ(tab.Grid()->selectedIndex, overlay.activeIndex);
        EXPECT_TRUE(prompts.MessageTexts().empty());

        // A refusal left by the placement is told once, after Reset Transform.
        overlay.SelectStencil(-1);
        overlay.placeError = "The stencil is too large to place at this size.";
        tab.OnCommand(6108, kPropClick, nullptr);
        ASSERT_EQ(prompts.MessageTexts().size(), 1u);
        EXPECT_EQ(prompts.MessageTexts()[0], "The stencil is too large to place at this size.");
        EXPECT_TRUE(overlay.placeError.empty());
        tab.OnCommand(6108, kPropClick, nullptr);
        EXPECT_EQ(prompts.MessageTexts().size(), 1u);
    }
    RegisterStencilTab(nullptr);
    SetCurrentStencilOverlay(nullptr);
}
