// Commands on the rig of the object open in the Pose Editor: removing,
// deleting and shaping bones, breaking links, Test Bones, and the canvas-side
// Use Partial IK switch; also entering the Pose Editor.
#include "document/CQuillfenEditorDoc.h"
#include "document/DialogProvider.h"
#include "document/PoseEditorProvider.h"
#include "document/SelectionCommands.h"

#include <algorithm>

namespace {

Bone* FindBone(std::vector<Bone>& bones, const std::string& id) {
    for (Bone& b : bones)
        if (b.id == id) return &b;
    return nullptr;
}

const Bone* FindBone(const std::vector<Bone>& bones, const std::string& id) {
    return FindBone(const_cast<std::vector<Bone>&>(bones), id);
}

bool HasChildBone(const std::vector<Bone>& bones, const std::string& id) {
    return std::any_of(bones.begin(), bones.end(),
                       [&](const Bone& b) { return b.hasParent && b.parentId == id; });
}

// Drops every end on the object, then every link left with fewer than two
// ends; true when anything changed.
bool RemoveObjectFromLinks(std::vector<JointLink>& links, const std::string& objectId) {
    bool changed = false;
    std::vector<JointLink> kept;
    for (JointLink& link : links) {
        const size_t n = link.ends.size();
        std::erase_if(link.ends, [&](const JointLinkEnd& e) { return e.objectId == objectId; });
        if (link.ends.size() != n) changed = true;
        if (link.ends.size() < 2) {
            changed = true;
            continue;
        }
        kept.push_back(std::move(link));
    }
    links = std::move(kept);
    return changed;
}

}  // namespace

// --- Remove Bone, Delete Bone, Copy from Parent ---

bool CQuillfenEditorDoc::CanRemoveBone() const {
    const CanvasObject* o = FindPrimaryObject(poseScene);
    return IsPoseEditorOpen() && o && !o->locked && !o->bones.empty();
}

void CQuillfenEditorDoc::OnBoneRemove() {
    if (poseEditorObjectId.empty()) return;
    CanvasObject* o = poseScene.primarySelectedId.empty() ? nullptr : poseScene.FindObject(poseScene.primarySelectedId);
    if (!o || o->locked || o->bones.empty()) return;
    const std::string id = o->id;
    const std::vector<Bone> before = o->bones;
    o->bones.clear();

    // The link change is recorded first: Undo then brings the bones back
    // before the links that name them, which would otherwise be dropped as
    // dangling when they are restored.
    const std::vector<JointLink> linksBefore = poseLinkGroups;
    std::vector<JointLink> links = poseLinkGroups;
    const bool changed = RemoveObjectFromLinks(links, id);
    if (changed || links.size() != linksBefore.size()) {
        poseLinkGroups = std::move(links);
        CommitLinks(linksBefore, poseLinkGroups);
    }
    SetBoneDefinitions(id, before, {});
    ClearBoneSelection();
    SetModifiedFlag(true);
    UpdateAllViews();
}

bool CQuillfenEditorDoc::CanDeleteBone() const {
    if (!IsPoseEditorOpen() || boneSelection.objectId.empty() || boneSelection.boneId.empty()) return false;
    const CanvasObject* o = poseScene.FindObject(boneSelection.objectId);
    return o && !o->locked && !HasChildBone(o->bones, boneSelection.boneId);
}

void CQuillfenEditorDoc::OnDeleteBone() {
    if (poseEditorObjectId.empty() || boneSelection.objectId.empty() || boneSelection.boneId.empty()) return;
    const std::string objectId = boneSelection.objectId, boneId = boneSelection.boneId;
    CanvasObject* o = FirstObjectWithId(poseScene, objectId);
    if (!o || o->locked || HasChildBone(o->bones, boneId)) return;
    const std::vector<Bone> before = o->bones;
    std::erase_if(o->bones, [&](const Bone& b) { return b.id == boneId; });
    // The link change is recorded before the bone change, so Undo takes the
    // bone back first.
    RemoveBoneFromLinks(objectId, boneId);
    ClearBoneSelection();
    poseScene.selectedIds.clear();
    poseScene.selectedMaskObjectId.clear();
    if (poseScene.FindObject(objectId)) {
        poseScene.primarySelectedId = objectId;
        poseScene.selectedIds.push_back(objectId);
    } else {
        poseScene.primarySelectedId.clear();
    }
    if (CanvasObject* now = poseScene.FindObject(objectId)) SetBoneDefinitions(objectId, before, now->bones);
    SetModifiedFlag(true);
    UpdateAllViews();
}

bool CQuillfenEditorDoc::CanCopyFromParent() const {
    if (!IsPoseEditorOpen() || boneSelection.objectId.empty() || boneSelection.boneId.empty()) return false;
    const CanvasObject* o = poseScene.FindObject(boneSelection.objectId);
    if (!o || o->locked) return false;
    const Bone* b = FindBone(o->bones, boneSelection.boneId);
    return b && b->hasParent && FindBone(o->bones, b->parentId);
}

void CQuillfenEditorDoc::OnBoneCopyFromParent() {
    if (poseEditorObjectId.empty() || boneSelection.objectId.empty() || boneSelection.boneId.empty()) return;
    CanvasObject* o = FirstObjectWithId(poseScene, boneSelection.objectId);
    if (!o || o->locked) return;
    const Bone* bone = FindBone(o->bones, boneSelection.boneId);
    if (!bone || !bone->hasParent) return;
    const Bone* parent = FindBone(o->bones, bone->parentId);
    if (!parent) return;
    const std::vector<Bone> before = o->bones;
    const Bone p = *parent;
    Bone& b = *FindBone(o->bones, boneSelection.boneId);
    // Only the shape: coordinates, parent, stretch, round caps and the
    // whole-image flag stay the bone's own.
    b.width = p.width;
    b.feather = p.feather;
    b.headCapWidth = p.headCapWidth;
    b.headCapLength = p.headCapLength;
    b.headShift = p.headShift;
    b.headOffset = p.headOffset;
    b.tailCapWidth = p.tailCapWidth;
    b.tailCapLength = p.tailCapLength;
    b.tailShift = p.tailShift;
    b.tailOffset = p.tailOffset;
    SetBoneDefinitions(o->id, before, o->bones);
    SetModifiedFlag(true);
    UpdateAllViews();
}

// --- Stretchable and Round Endpoint ---

bool CQuillfenEditorDoc::CanToggleBone(bool roundEnd, bool& checked) const {
    checked = false;
    const CanvasObject* o = boneSelection.objectId.empty() ? nullptr : poseScene.FindObject(boneSelection.objectId);
    const Bone* b = (o && !boneSelection.boneId.empty()) ? FindBone(o->bones, boneSelection.boneId) : nullptr;
    // The check follows the bone also while a lock disables the command.
    if (b) {
        if (!roundEnd)
            checked = b->stretchable;
        else
            checked = (boneSelection.handleIndex == 0 ? b->roundHeadCap : b->roundTailCap) == 1;
    }
    if (!IsPoseEditorOpen() || !b || o->locked) return false;
    return !roundEnd || boneSelection.selected;
}

void CQuillfenEditorDoc::OnBoneStretchable() {
    if (!IsPoseEditorOpen()) return;
    CanvasObject* o = boneSelection.objectId.empty() ? nullptr : poseScene.FindObject(boneSelection.objectId);
    if (!o || o->locked || boneSelection.boneId.empty()) return;
    Bone* b = FindBone(o->bones, boneSelection.boneId);
    if (!b) return;
    const std::vector<Bone> before = o->bones;
    b->stretchable = !b->stretchable;
    SetBoneDefinitions(o->id, before, o->bones);
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CQuillfenEditorDoc::OnBoneRoundEndpoint() {
    if (!IsPoseEditorOpen() || !boneSelection.selected) return;
    CanvasObject* o = boneSelection.objectId.empty() ? nullptr : poseScene.FindObject(boneSelection.objectId);
    if (!o || o->locked || boneSelection.boneId.empty()) return;
    Bone* b = FindBone(o->bones, boneSelection.boneId);
    if (!b) return;
    const std::vector<Bone> before = o->bones;
    int32_t& cap = boneSelection.handleIndex == 0 ? b->roundHeadCap : b->roundTailCap;
    cap = cap == 1 ? 0 : 1;
    SetBoneDefinitions(o->id, before, o->bones);
    SetModifiedFlag(true);
    UpdateAllViews();
}

// --- Break Link ---

bool CQuillfenEditorDoc::CanBreakLink() const {
    const CanvasObject* o = FindPrimaryObject(poseScene);
    if (!IsPoseEditorOpen() || !o) return false;
    for (const JointLink& l : poseLinkGroups)
        for (const JointLinkEnd& e : l.ends)
            if (e.objectId == o->id) return true;
    return false;
}

void CQuillfenEditorDoc::OnBreakLink() {
    const CanvasObject* o = FindPrimaryObject(poseScene);
    if (!o) return;
    const std::string id = o->id;
    const bool named = std::any_of(poseLinkGroups.begin(), poseLinkGroups.end(), [&](const JointLink& l) {
        return std::any_of(l.ends.begin(), l.ends.end(), [&](const JointLinkEnd& e) { return e.objectId == id; });
    });
    if (!named) return;
    const std::vector<JointLink> before = poseLinkGroups;
    RemoveObjectFromLinks(poseLinkGroups, id);
    CommitLinks(before, poseLinkGroups);
    SetModifiedFlag(true);
    UpdateAllViews();
}

// --- Test Bones ---

void CQuillfenEditorDoc::OnTestBones() {
    if (!IsPoseEditorOpen()) return;
    // The preview shows what was painted so far; a painting that cannot be
    // stored stops here (the session has said why).
    if (!CommitPaintSession()) return;
    if (dialogs_) dialogs_->RunTestBonesDialog(poseScene, poseLinkGroups);
}

// --- Use Partial IK ---

bool CQuillfenEditorDoc::CanUsePartialIK(bool& checked) const {
    const CanvasObject* o = FindPrimaryObject(mainScene);
    const bool enabled = o && o->kind == kObjectPosable;
    checked = enabled && o->posableScene.usePartialIK;
    return enabled;
}

void CQuillfenEditorDoc::OnUsePartialIK() {
    CanvasObject* o =
        mainScene.primarySelectedId.empty() ? nullptr : mainScene.FindObject(mainScene.primarySelectedId);
    if (!o || o->kind != kObjectPosable) return;
    o->posableScene.usePartialIK = !o->posableScene.usePartialIK;
    SetModifiedFlag(true);
    UpdateAllViews();
}

// --- Entering the Pose Editor, multi-part objects ---

bool CQuillfenEditorDoc::EnterBoneEditor() { return poseEditor_ ? poseEditor_->EnterBoneEditor(*this) : false; }

bool CQuillfenEditorDoc::CanEnterBoneEditor() const {
    return workspaceMode == kWorkspaceCanvas && FindPrimaryObject(mainScene) && mainScene.selectedIds.size() == 1;
}

bool CQuillfenEditorDoc::CanCreateMultiObject() const {
    return poseEditor_ && poseEditor_->CanCreateMultiObject(*this);
}

void CQuillfenEditorDoc::OnCreateMultiObject() {
    // The parts are copies of the selected objects: the painting goes in first.
    if (poseEditor_ && CanCreateMultiObject() && CommitPaintSession()) poseEditor_->CreateMultiObject(*this);
}
