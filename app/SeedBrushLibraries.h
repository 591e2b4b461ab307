#pragma once
// First-run copy of the brush libraries that come with the program into the
// user's brushes folder, remembered in the profile so it runs once.
#include <string>

class Profile;

// Copies every "*.brs" file (not folders) of sourceFolder into targetFolder,
// replacing files of the same name and skipping any that fail, unless the
// profile's "BrushSeedVersion" (a non-zero DWORD) says this was done before;
// then writes "BrushSeedVersion" = 1 even when nothing was copied.
// Returns the number of files copied.
int SeedUserBrushLibraries(Profile& profile, const std::string& sourceFolder, const std::string& targetFolder);
