#include "document/CQuillfenEditorDoc.h"

#include "document/PoseEditorProvider.h"
#include "document/ProjectFile.h"
#include "platform/Log.h"
#include "platform/Prompts.h"
#include "scene/ObjectRender.h"
#include "scene/SelectionMask.h"
#include "selection/SelectionToolController.h"

CQuillfenEditorDoc::CQuillfenEditorDoc()
    : mainSelectionTool_(std::make_unique<SelectionToolController>()),
      poseSelectionTool_(std::make_unique<SelectionToolController>()) {
    InstallSceneObservers();
}

CQuillfenEditorDoc::~CQuillfenEditorDoc() = default;

void CQuillfenEditorDoc::InstallSceneObservers() {
    // Both scenes report placement changes; the pane and the status bar follow.
    auto observer = [this](const std::string&) { OnSceneObjectChanged(); };
    mainScene.observer = observer;
    poseScene.observer = observer;
}

void CQuillfenEditorDoc::OnSceneObjectChanged() {
    RefreshPropertiesPane();
    if (host_) host_->UpdateStatusText();
}

Prompts* CQuillfenEditorDoc::GetPrompts() const { return host_ ? host_->GetPrompts() : nullptr; }

// --- Lifecycle ---

void CQuillfenEditorDoc::EndEditingSessions() {
    // A session's work belongs to the scene about to go away: abandon it
    // rather than leave it pointing into a replaced scene.
    if (DocumentEditSession* session = paintSession) {
        if (session->IsActive()) session->Cancel(*this);
        paintSession = nullptr;
    }
    inpaintSession.reset();
    pendingInpaint = PendingInpaintResult{};
}

void CQuillfenEditorDoc::ResetEditorStateForNewScene() {
    // Everything that pointed into the old scenes goes: the Pose Editor's
    // object, bone selection and links, and every undo step.
    poseScene.Reset();
    poseEditorObjectId.clear();
    boneSelection = BoneSelection{};
    poseLinkGroups.clear();
    ClearAllUndo();
    // The frame hosts the canvas view again; it tells the document the mode.
    if (host_) host_->SetWorkspaceMode(kWorkspaceCanvas);
    workspaceMode = kWorkspaceCanvas;
}

bool CQuillfenEditorDoc::OnNewDocument() {
    EndEditingSessions();
    mainScene.Reset();
    ResetEditorStateForNewScene();
    pathName_.clear();
    modified_ = false;
    return true;
}

bool CQuillfenEditorDoc::OnOpenDocument(const std::string& path) {
    // The file is parsed into a scene of its own and swapped in only when the
    // whole of it read: a file that cannot be opened or is no project (empty,
    // text, cut short, damaged) leaves the open document, its unsaved changes,
    // its sessions and its undo history exactly as they were.
    CanvasDocument loaded;
    std::string error;
    const ProjectLoadResult result = LoadProjectFile(path, loaded, &error);
    if (result != ProjectLoadResult::kLoaded) {
        LogError("Cannot open \"" + path + "\": " + error);
        if (Prompts* prompts = GetPrompts())
            prompts->Warn(result == ProjectLoadResult::kBadFormat
                              ? "Failed to open document.\n\n" + path + "\n" + kUnexpectedFileFormat
                              : "Failed to open document.\n\n" + error);
        return false;
    }
    EndEditingSessions();
    mainScene = std::move(loaded);
    InstallSceneObservers();
    ResetEditorStateForNewScene();
    pathName_ = path;
    modified_ = false;
    // Images the program cannot decode stay in the file as they are and draw
    // nothing; the user is told once which objects that concerns.
    const std::string warning = UnshowableObjectsWarning(mainScene, true);
    if (!warning.empty()) {
        LogError("\"" + path + "\": " + warning);
        if (Prompts* prompts = GetPrompts()) prompts->Warn(warning);
    }
    return true;
}

void CQuillfenEditorDoc::HoldPaintSessions() {
    if (paintSessionsHeld_) return;
    paintSessionsHeld_ = true;
    const bool posted = host_ && host_->PostIdleTask([this] {
        paintSessionsHeld_ = false;
        UpdateAllViews();
    });
    // Without an event loop to come back to there is no later: the hold ends
    // with the commit.
    if (!posted) paintSessionsHeld_ = false;
}

bool CQuillfenEditorDoc::CommitPaintSession() {
    DocumentEditSession* session = paintSession;
    if (!session) return true;
    // The commit updates the views; a view whose brush or selection tool is
    // still chosen would open a new session on the object at once, and the
    // command would find a session open again (or work beside one the
    // document no longer knows). Views wait until the command is done.
    const bool wasHeld = paintSessionsHeld_;
    paintSessionsHeld_ = true;
    if (session->IsActive()) session->Commit(*this);
    paintSessionsHeld_ = wasHeld;
    // A commit that could not store the painting keeps the session open (and
    // has said why): the caller must not act as if it were in the model.
    if (session->IsActive()) return false;
    if (paintSession == session) paintSession = nullptr;
    HoldPaintSessions();
    return true;
}

bool CQuillfenEditorDoc::CommitPaintSessionOn(const std::string& objectId) {
    const DocumentEditSession* session = paintSession;
    if (!session || !session->IsActive() || objectId.empty() || session->PaintedObjectId() != objectId) return true;
    return CommitPaintSession();
}

bool CQuillfenEditorDoc::OnSaveDocument(const std::string& path) {
    // What is painted goes into the object first, so the file holds it.
    if (!CommitPaintSession()) return false;
    // The Pose Editor's work goes back into the main scene first; when it
    // cannot, nothing is written, and the user is told why.
    std::string why;
    if (!poseEditorObjectId.empty() && !FinishBoneEditor(why)) {
        // Said once: a part that failed and told the user leaves why empty.
        if (!why.empty()) {
            LogError("Cannot save \"" + path + "\": " + why);
            if (Prompts* prompts = GetPrompts()) prompts->Warn("Failed to save document.\n\n" + why);
        }
        return false;
    }
    std::string error;
    if (!SaveProjectFile(path, mainScene, &error)) {
        LogError("Cannot save \"" + path + "\": " + error);
        if (Prompts* prompts = GetPrompts()) prompts->Warn("Failed to save document.\n\n" + error);
        return false;
    }
    pathName_ = path;
    modified_ = false;
    return true;
}

// --- Views and panes ---

void CQuillfenEditorDoc::RefreshAllViews() {
    ++changeCounter;
    if (host_) host_->InvalidateAllViews();
}

void CQuillfenEditorDoc::UpdateAllViews() {
    if (host_) host_->UpdateAllViews();
}

void CQuillfenEditorDoc::RefreshPropertiesPane() {
    if (host_) host_->RefreshPropertiesPane();
}

DocumentEditSession* CQuillfenEditorDoc::FindPaintingView() { return paintSessions_ ? paintSessions_->FindPaintingView() : nullptr; }

SelectionToolController& CQuillfenEditorDoc::SelectionTool(CanvasDocument& scene) {
    SelectionToolController& tool = &scene == &poseScene ? *poseSelectionTool_ : *mainSelectionTool_;
    tool.SyncWith(scene);
    return tool;
}

// --- Editor state ---

void CQuillfenEditorDoc::SetEditorMode(int mode) {
    if (mode == workspaceMode) return;
    // Every mode change commits an open session, never cancels it; one that
    // cannot be stored keeps the mode (the session has said why).
    if (!CommitPaintSession()) return;
    workspaceMode = mode;
    UpdateAllViews();
    RefreshPropertiesPane();
}

namespace {

bool IsPaintingTool(int tool) {
    return (tool >= kToolPaintBrush && tool <= kToolRecolorBrush) || tool == kToolEraser || tool == kToolPaintMask ||
           tool == kToolEraseMask;
}

}  // namespace

bool CQuillfenEditorDoc::EndPaintMode() {
    if (!CommitPaintSession()) return false;
    if (IsPaintingTool(activeTool)) activeTool = kToolMove;
    return true;
}

void CQuillfenEditorDoc::SetActiveTool(int tool) {
    if (tool == activeTool) return;
    const int previous = activeTool;
    activeTool = tool;
    CanvasDocument& scene = SceneInUse();
    if (previous == kToolRefine) scene.refineBase.reset();
    if (tool == kToolRefine && !scene.refineBase && scene.selectionMask && scene.selectionMask->HasSelection()) {
        // Refine works from a copy of the selection as it was chosen; the
        // selection undo gets it only when a refinement changes the selection
        // (CanvasDocument::RefineSelection), so a mere visit records nothing.
        scene.refineUndoTaken = false;
        const SelectionMask& mask = *scene.selectionMask;
        auto base = std::make_unique<SelectionMask>(mask.Width(), mask.Height(), mask.TileSize());
        base->Assign(mask);
        scene.refineBase = std::move(base);
    }
    UpdateAllViews();
    RefreshPropertiesPane();
}

void CQuillfenEditorDoc::ClearBoneSelection() {
    boneSelection = BoneSelection{};
    RefreshPropertiesPane();
}

void CQuillfenEditorDoc::SetBoneSelection(const std::string& objectId, const std::string& boneId, int handleIndex) {
    boneSelection.objectId = objectId;
    boneSelection.boneId = boneId;
    boneSelection.selected = true;
    boneSelection.handleIndex = handleIndex;
    UpdateAllViews();
    RefreshPropertiesPane();
}

bool CQuillfenEditorDoc::FinishBoneEditor(std::string& why) {
    why.clear();
    if (!poseEditor_) {
        if (!poseEditorObjectId.empty())
            why = "The object open in the Pose Editor cannot be written back: no Pose Editor is available.";
        return false;
    }
    return poseEditor_->FinishBoneEditor(*this, why);
}

bool CQuillfenEditorDoc::FinishBoneEditor() {
    std::string why;
    if (FinishBoneEditor(why)) return true;
    if (!why.empty()) {
        LogError("Cannot finish the Pose Editor: " + why);
        if (Prompts* prompts = GetPrompts()) prompts->Warn("Cannot finish the Pose Editor.\n\n" + why);
    }
    return false;
}
