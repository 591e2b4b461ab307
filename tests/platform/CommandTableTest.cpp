#include "platform/CommandTable.h"

#include <gtest/gtest.h>

TEST(CommandTable, MissingHandlerOrRuleFollowsTheUiKind) {
    CommandTable t;
    // Nothing registered: a menu item is disabled, a toolbar button enabled.
    EXPECT_FALSE(t.QueryState(1).enabled);
    EXPECT_TRUE(t.QueryState(1, CommandUiKind::ToolbarButton).enabled);
    EXPECT_FALSE(t.Execute(1));

    // A handler without a rule is enabled everywhere and leaves the check alone.
    int runs = 0;
    t.SetHandler(CommandTarget::Document, 2, [&] { ++runs; });
    EXPECT_TRUE(t.QueryState(2).enabled);
    EXPECT_EQ(t.QueryState(2).checked, std::nullopt);
    EXPECT_TRUE(t.Execute(2));
    EXPECT_EQ(runs, 1);

    // A rule without a handler (shown, but nothing to run).
    t.SetUpdateRule(CommandTarget::Document, 3, [](CommandUpdate& u) { u.Enable(true); u.SetCheck(true); });
    EXPECT_TRUE(t.QueryState(3).enabled);
    EXPECT_EQ(t.QueryState(3).checked, true);
    EXPECT_FALSE(t.Execute(3));
}

TEST(CommandTable, RoutingOrderAndDisabledCommandsDoNotRun) {
    CommandTable t;
    std::string ran;
    bool docEnabled = false;
    t.Add(CommandTarget::Application, 5, [&] { ran += "app"; });
    t.Add(CommandTarget::Document, 5, [&] { ran += "doc"; }, [&](CommandUpdate& u) { u.Enable(docEnabled); });
    EXPECT_FALSE(t.Execute(5));  // the document's rule disables it, for buttons too
    EXPECT_FALSE(t.Execute(5, CommandUiKind::ToolbarButton));
    EXPECT_EQ(ran, "");
    docEnabled = true;
    EXPECT_TRUE(t.Execute(5));
    EXPECT_EQ(ran, "doc");

    // The active view comes before the document; clearing it restores the document.
    t.Add(CommandTarget::ActiveView, 5, [&] { ran += "+view"; });
    EXPECT_TRUE(t.Execute(5));
    EXPECT_EQ(ran, "doc+view");
    t.ClearTarget(CommandTarget::ActiveView);
    t.SetHandler(CommandTarget::Document, 5, {});
    EXPECT_TRUE(t.Execute(5));
    EXPECT_EQ(ran, "doc+viewapp");
}

TEST(CommandTable, HandlerMayUnregisterItself) {
    CommandTable t;
    int runs = 0;
    t.SetHandler(CommandTarget::Frame, 9, [&] {
        ++runs;
        t.ClearTarget(CommandTarget::Frame);
    });
    EXPECT_TRUE(t.Execute(9));
    EXPECT_FALSE(t.Execute(9));
    EXPECT_EQ(runs, 1);
}
