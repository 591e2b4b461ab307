#include "platform/Prompts.h"

#include <gtest/gtest.h>

TEST(Prompts, DefaultButtonsAndScriptedAnswers) {
    EXPECT_EQ(MakeMessage("t", PromptIcon::Exclamation, PromptButtons::YesNo).defaultAnswer, PromptAnswer::No);
    EXPECT_EQ(MakeMessage("t", PromptIcon::Question, PromptButtons::YesNoCancel).defaultAnswer, PromptAnswer::Yes);

    ScriptedPrompts p;
    // Unscripted: the default button, so a destructive Yes/No is refused.
    EXPECT_FALSE(p.AskYesNo("Delete?"));
    p.QueueAnswer(PromptAnswer::Yes);
    EXPECT_TRUE(p.AskYesNo("Delete again?"));
    p.Fail("Broken.");
    ASSERT_EQ(p.Records().size(), 3u);
    EXPECT_EQ(p.Records()[0].message.buttons, PromptButtons::YesNo);
    EXPECT_EQ(p.Records()[2].message.icon, PromptIcon::Error);
    EXPECT_EQ(p.MessageTexts(), (std::vector<std::string>{"Delete?", "Delete again?", "Broken."}));
}

TEST(Prompts, FileDialogsAreRecordedAndCancelledWhenUnscripted) {
    ScriptedPrompts p;
    OpenFileRequest open;
    open.multiSelect = false;
    p.QueueOpenFiles({"/a.png", "/b.png"});
    EXPECT_EQ(p.AskOpenFiles(open), std::vector<std::string>{"/a.png"});  // single-select keeps one
    EXPECT_TRUE(p.AskOpenFiles(open).empty());

    SaveFileRequest save;
    save.defaultExtension = "png";
    EXPECT_EQ(p.AskSaveFile(save), std::nullopt);
    p.QueueSaveFile("/out.png");
    EXPECT_EQ(p.AskSaveFile(save), "/out.png");
    ASSERT_EQ(p.Records().size(), 4u);
    EXPECT_EQ(p.Records()[3].kind, ScriptedPrompts::Kind::SaveFile);
    EXPECT_EQ(p.Records()[3].save.defaultExtension, "png");
}

TEST(Prompts, ParsesClassicFilterText) {
    auto f = ParseFileFilters(
        "Image Files (*.png;*.jpg)|*.png;*.jpg|PNG Image (*.png)|*.png|All Files (*.*)|*.*||");
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[0], (FileFilter{"Image Files (*.png;*.jpg)", {"*.png", "*.jpg"}}));
    EXPECT_EQ(f[2], (FileFilter{"All Files (*.*)", {"*.*"}}));
    EXPECT_TRUE(ParseFileFilters("").empty());
    EXPECT_TRUE(ParseFileFilters("Dangling label").empty());
    EXPECT_EQ(ParseFileFilters("|*.x|Y|*.y").size(), 1u);
}
