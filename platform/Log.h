#pragma once
// The console log and the user's documents folder.
#include <string>

// "[INFO] " + text + newline on standard output, flushed.
void LogInfo(const std::string& text);
// "[ERROR] " + text + newline on standard error, flushed.
void LogError(const std::string& text);

// The user's Documents folder: XDG_DOCUMENTS_DIR, else what xdg-user-dir says,
// else $HOME/Documents. Empty when none can be found.
std::string GetDocumentsFolder();
// Documents/Plindrow[/subfolder][/fileName]; creates the folder (never one
// named after the file). Empty when there is no Documents folder.
std::string GetAppDocumentsPath(const std::string& fileName = {}, const std::string& subfolder = {});
// The folder holding the running program, from the full executable path.
std::string GetProgramFolder();
