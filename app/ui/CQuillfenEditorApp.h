#pragma once
// The application object: starts the services the program relies on, owns
// the process-wide objects, joins the document, the main frame and the
// canvas view, opens the project named on the command line (or the
// demonstration project beside the program) and shows the main window; at
// exit it frees what it owns.
#include "platform/CommandTable.h"

#include <memory>
#include <string>
#include <vector>

class CMainFrame;
class QDialog;
class CQuillfenEditorDoc;
class IClipboard;
class Profile;
class Prompts;

class CQuillfenEditorApp {
public:
    CQuillfenEditorApp();
    ~CQuillfenEditorApp();

    // Start-up; true when the main window is shown. args is the command line
    // (args[0] the program). Services given here replace the real ones (tests).
    bool InitInstance(const std::vector<std::string>& args);
    // Exit; returns the exit code to use.
    int ExitInstance(int exitCode);

    // Installs test doubles before InitInstance.
    void UseServices(std::unique_ptr<Profile> profile, std::unique_ptr<Prompts> prompts,
                     std::unique_ptr<IClipboard> clipboard);
    // Whether InitInstance shows the main window (tests leave it hidden).
    bool showMainWindow = true;
    // Where the demonstration project and the installed brushes are looked
    // for; empty: the folder of the running program.
    std::string programFolder;

    CMainFrame* MainFrame() const { return frame_.get(); }
    CQuillfenEditorDoc* Document() const { return doc_.get(); }
    CommandTable& Commands() { return commands_; }
    Profile* GetProfile() const { return profile_.get(); }
    Prompts* GetPrompts() const { return prompts_.get(); }

    // The commands the application answers.
    void OnFileNew();
    void OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();
    void OnAppAbout();
    // Builds the about dialog's contents and size into dlg (shown by OnAppAbout).
    static void ConfigureAboutDialog(QDialog& dlg);
    void OnAppExit();
    // Opens a project; a file that cannot be read or is no project leaves
    // the open document, the title and the recent files as they were.
    bool OpenDocumentFile(const std::string& path);
    // Asks to save a modified document: false when the user cancelled.
    // Once the program is ending on a signal it asks nothing and answers true.
    bool SaveModified();
    // A termination request (SIGTERM, SIGINT): ends the program without any
    // question, closing whatever dialog is open. Unsaved changes stay
    // unsaved; the file on disk is not touched.
    void EndOnSignal();
    bool Ending() const { return ending_; }
    std::vector<std::string> RecentFiles() const { return recent_; }

    static CQuillfenEditorApp* Instance();

private:
    void RegisterCommands();
    void AddToRecentFiles(const std::string& path);
    void LoadRecentFiles();
    void SaveRecentFiles();
    void RefreshRecentMenu();
    void UpdateTitle();

    // Application title; names the profile subkey.
    const char* appTitle_ = "Plindrow";
    CommandTable commands_;
    std::unique_ptr<Profile> profile_;
    std::unique_ptr<Prompts> prompts_;
    std::unique_ptr<IClipboard> clipboard_;
    std::unique_ptr<CQuillfenEditorDoc> doc_;
    std::unique_ptr<CMainFrame> frame_;
    std::vector<std::string> recent_;
    bool exited_ = false;
    bool ending_ = false;
    // Whether the profile and prompts were handed to the brushes code.
    bool sharedServices_ = false;
};
