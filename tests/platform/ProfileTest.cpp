#include "platform/Profile.h"

#include <gtest/gtest.h>

TEST(Profile, ValuesKeepTheirTypeAndDefaultsCoverMissingOrMistyped) {
    MemoryProfile p;
    const std::string settings = AppProfileSection("Settings");
    EXPECT_EQ(settings, "Vostrel/QuillfenEditor/Plindrow/Settings");
    EXPECT_EQ(p.GetAppDword("Settings", "HideTopLayersOnBitmap", 1), 1u);

    ASSERT_TRUE(p.WriteAppDword("Settings", "HideTopLayersOnBitmap", 0));
    EXPECT_EQ(p.GetDword(settings, "HideTopLayersOnBitmap", 1), 0u);
    EXPECT_EQ(p.ReadString(settings, "HideTopLayersOnBitmap"), std::nullopt);  // a DWORD is not a string

    ASSERT_TRUE(p.WriteString(kBrushesProfileKey, "LastSelectedLibrary", "Basic"));
    EXPECT_EQ(p.GetString(kBrushesProfileKey, "LastSelectedLibrary", "x"), "Basic");
    EXPECT_EQ(p.GetDword(kBrushesProfileKey, "LastSelectedLibrary", 7), 7u);  // mistyped: default

    // Rewriting with the other type replaces the value.
    ASSERT_TRUE(p.WriteDword(kBrushesProfileKey, "LastSelectedLibrary", 3));
    EXPECT_EQ(p.ReadString(kBrushesProfileKey, "LastSelectedLibrary"), std::nullopt);
    EXPECT_EQ(p.ReadDword(kBrushesProfileKey, "LastSelectedLibrary"), 3u);

    // Keys are separate namespaces.
    EXPECT_EQ(p.ReadDword(AppProfileSection("ColorWheel"), "HideTopLayersOnBitmap"), std::nullopt);
    EXPECT_TRUE(p.DeleteValue(settings, "HideTopLayersOnBitmap"));
    EXPECT_EQ(p.GetDword(settings, "HideTopLayersOnBitmap", 1), 1u);
}

TEST(Profile, RejectsMalformedKeysAndNames) {
    MemoryProfile p;
    for (const char* key : {"", "/a", "a/", "a//b", "a\\b"}) EXPECT_FALSE(p.WriteDword(key, "v", 1)) << key;
    EXPECT_FALSE(p.WriteString("a/b", "", "x"));
    EXPECT_FALSE(p.WriteString("a/b", "x/y", "x"));
    EXPECT_TRUE(p.Values().empty());
}
