#pragma once
// First-run copy of the brush libraries that come with the program into the
// user's brushes folder, remembered in the profile so it runs once.
#include <string>

class Profile;

// Copies every "*.brs" file (not folders) of sourceFolder into targetFolder
// where the user has nothing of that name (a library of the user's, even an
// unreadable one, is never replaced), skipping any that fail, unless the
// profile's "BrushSeedVersion" (a non-zero DWORD) says this was done before;
// then writes "BrushSeedVersion" = 1 even when nothing was copied. A fresh
// profile on a machine that has the user's libraries is such a case.
// Returns the number of files copied.
int SeedUserBrushLibraries(Profile& profile, const std::string& sourceFolder, const std::string& targetFolder);
