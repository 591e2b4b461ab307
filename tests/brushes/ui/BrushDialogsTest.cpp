#include "brushes/BrushLibrary.h"
#include "brushes/BrushLibraryEdits.h"
#include "brushes/ui/CBrushControls.h"
#include "brushes/ui/CBrushDialogs.h"
#include "platform/Prompts.h"
#include "tests/platform/ui/QtTestApp.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct LibraryFolder {
    // Tests run as separate processes at the same time: one folder each.
    fs::path path = fs::temp_directory_path() /
                    ("brush_dialogs_" + std::to_string(::getpid()) + "_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    BrushLibrary current;
    LibraryFolder() {
        fs::remove_all(path);
        fs::create_directories(path);
        BrushLibrary a;
        a.entries.resize(3);
        for (int i = 0; i < 3; ++i) a.entries[size_t(i)].name = "brush " + std::to_string(i);
        a.Save((path / "alpha.brs").string());
        BrushLibrary b;
        b.entries.resize(1);
        b.Save((path / "beta.brs").string());
        SetBrushLibraryPlaces({path.string(), "", nullptr});
        SetCurrentBrushLibrary(&current);
        SelectBrushLibrary("alpha.brs");
    }
    ~LibraryFolder() {
        SetCurrentBrushLibrary(nullptr);
        SetBrushLibraryPlaces({});
        fs::remove_all(path);
    }
};

}  // namespace

TEST(BrushDialogs, AddBrushChoosesANewLibraryName) {
    EnsureQtApp();
    LibraryFolder folder;
    ScriptedPrompts prompts;
    CAddBrushDlg dlg(nullptr, &prompts);
    BrushSettings s;
    s.size = 1;
    dlg.SetSettings(s);
    int covered = 0;
    for (uint8_t v : dlg.PreviewCoverage()) covered += v != 0;
    EXPECT_GT(covered, 300);  // a 3-pixel stroke across the preview

    auto* fresh = dlg.findChildren<QRadioButton*>()[2];
    auto edits = dlg.findChildren<QLineEdit*>();
    QLineEdit* library = edits[1];
    EXPECT_FALSE(library->isEnabled());
    EXPECT_EQ(library->text().toStdString(), "New Set");
    fresh->setChecked(true);
    EXPECT_TRUE(library->isEnabled());
    library->setText("???");
    dlg.accept();
    EXPECT_EQ(dlg.result(), 0);  // stays open
    EXPECT_EQ(prompts.MessageTexts(), std::vector<std::string>{"That name contains no valid filename characters."});
    library->setText("..\\Inks");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Choice(), 2);
    EXPECT_EQ(dlg.NewLibraryFile(), "Inks.brs");
}

TEST(BrushDialogs, BrushManagerEditsAndCancel) {
    EnsureQtApp();
    LibraryFolder folder;
    ScriptedPrompts prompts;
    {
        CBrushManager dlg(nullptr, &prompts);
        EXPECT_EQ(dlg.LibraryChooser()->currentText().toStdString(), "alpha.brs");
        EXPECT_EQ(dlg.NameField()->text().toStdString(), "brush 0");
        dlg.OnMoveDown();
        EXPECT_EQ(folder.current.entries[1].name, "brush 0");
        dlg.NameField()->setText("renamed");
        dlg.OnApply();
        EXPECT_EQ(folder.current.entries[1].name, "renamed");
        dlg.OnDelete();
        EXPECT_EQ(folder.current.entries.size(), 2u);
        dlg.reject();  // Cancel puts the entries back; the file is untouched
        EXPECT_EQ(folder.current.entries.size(), 3u);
        EXPECT_EQ(folder.current.entries[0].name, "brush 0");
    }
    {
        CBrushManager dlg(nullptr, &prompts);
        dlg.OnDelete();
        // Switching with edits: "No" drops them and loads the other library.
        prompts.QueueAnswer(PromptAnswer::No);
        dlg.LibraryChooser()->setCurrentIndex(1);
        dlg.OnLibrarySelChange();
        EXPECT_EQ(folder.current.name, "beta.brs");
        EXPECT_EQ(folder.current.entries.size(), 1u);
        dlg.accept();
        BrushLibrary alpha;
        ASSERT_TRUE(alpha.Load((folder.path / "alpha.brs").string()));
        EXPECT_EQ(alpha.entries.size(), 3u);
    }
}

// A save that fails when switching libraries keeps the library and its
// edits, so nothing the user asked to keep is dropped.
TEST(BrushDialogs, BrushManagerFailedSaveKeepsTheLibraryAndItsEdits) {
    EnsureQtApp();
    LibraryFolder folder;
    ScriptedPrompts prompts;
    CBrushManager dlg(nullptr, &prompts);
    dlg.OnDelete();
    ASSERT_EQ(folder.current.entries.size(), 2u);
    // Its folder is gone: the save cannot be written.
    const std::string kept = folder.current.path;
    folder.current.path = (folder.path / "gone" / "alpha.brs").string();
    prompts.QueueAnswer(PromptAnswer::Yes);
    dlg.LibraryChooser()->setCurrentIndex(1);
    dlg.OnLibrarySelChange();
    EXPECT_EQ(prompts.MessageTexts(), (std::vector<std::string>{"Save changes to \"alpha.brs\" before switching?",
                                                                "Could not save the previous brush library to disk."}));
    EXPECT_EQ(folder.current.name, "alpha.brs");
    EXPECT_EQ(dlg.LibraryChooser()->currentText().toStdString(), "alpha.brs");
    ASSERT_EQ(folder.current.entries.size(), 2u);
    EXPECT_EQ(folder.current.entries[0].name, "brush 1");

    // Once it can be saved, the edits reach the file and the switch happens.
    folder.current.path = kept;
    prompts.QueueAnswer(PromptAnswer::Yes);
    dlg.LibraryChooser()->setCurrentIndex(1);
    dlg.OnLibrarySelChange();
    EXPECT_EQ(folder.current.name, "beta.brs");
    BrushLibrary alpha;
    ASSERT_TRUE(alpha.Load(kept));
    EXPECT_EQ(alpha.entries.size(), 2u);
    dlg.reject();
}

// Names that cannot be a library file of the folder keep the dialog open
// with a message saying why.
TEST(BrushDialogs, AddBrushRefusesNamesOutsideTheFolder) {
    EnsureQtApp();
    LibraryFolder folder;
    ScriptedPrompts prompts;
    CAddBrushDlg dlg(nullptr, &prompts);
    dlg.findChildren<QRadioButton*>()[2]->setChecked(true);
    QLineEdit* library = dlg.findChildren<QLineEdit*>()[1];
    for (const char* typed : {"x\\../../evil", ".hidden", "..evil"}) {
        prompts.ClearRecords();
        library->setText(typed);
        dlg.accept();
        EXPECT_EQ(dlg.result(), 0) << typed;
        ASSERT_EQ(prompts.MessageTexts().size(), 1u) << typed;
        EXPECT_EQ(prompts.MessageTexts()[0], LibraryNameMessage(LibraryNameResult::NotAFileName));
    }
}
