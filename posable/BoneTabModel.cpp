#include "posable/BoneTabModel.h"

#include "document/CQuillfenEditorDoc.h"
#include "document/Undo.h"
#include "posable/PoseEditorTools.h"
#include "posable/PoseTabEdits.h"

#include <algorithm>

// --- Bone tab ---

const std::vector<BoneNumericField>& BoneNumericFields() {
    // Width and feather are small fractions of the part; the tab shows them
    // as friendlier numbers (width x 600, feather in percent).
    static const std::vector<BoneNumericField> fields = {
        {kBoneTabWidth, "Width", &Bone::width, 600.0, 0, 500, 1, 0},
        {kBoneTabFeather, "Feather", &Bone::feather, 100.0, 0, 50, 0.5f, 1},
        {kBoneTabHeadCap, "Head", &Bone::headCapLength, 1.0, 0, 1.5f, 0.01f, 3},
        {kBoneTabTailCap, "Tail", &Bone::tailCapLength, 1.0, 0, 1.5f, 0.01f, 3},
        {kBoneTabHeadCapWidth, "Head W", &Bone::headCapWidth, 1.0, 0, 1.5f, 0.01f, 3},
        {kBoneTabTailCapWidth, "Tail W", &Bone::tailCapWidth, 1.0, 0, 1.5f, 0.01f, 3},
        {kBoneTabHeadShift, "Head S", &Bone::headShift, 1.0, -1, 1, 0.01f, 3},
        {kBoneTabTailShift, "Tail S", &Bone::tailShift, 1.0, -1, 1, 0.01f, 3},
        {kBoneTabHeadOffset, "Head Ps", &Bone::headOffset, 1.0, -1, 1, 0.01f, 3},
        {kBoneTabTailOffset, "Tail Ps", &Bone::tailOffset, 1.0, -1, 1, 0.01f, 3},
    };
    return fields;
}

const BoneNumericField* FindBoneNumericField(int id) {
    for (const BoneNumericField& f : BoneNumericFields())
        if (f.id == id) return &f;
    return nullptr;
}

double BoneFieldShown(const Bone& bone, int id) {
    const BoneNumericField* f = FindBoneNumericField(id);
    return f ? double(bone.*(f->field)) * f->scale : 0.0;
}

bool WriteBoneField(Bone& bone, int id, double shown) {
    const BoneNumericField* f = FindBoneNumericField(id);
    if (!f) return false;
    bone.*(f->field) = float(shown / f->scale);
    return true;
}

bool BoneCheckShown(const Bone& bone, int id) {
    switch (id) {
    case kBoneTabRoundHead: return bone.roundHeadCap == 1;
    case kBoneTabRoundTail: return bone.roundTailCap == 1;
    case kBoneTabStretchable: return bone.stretchable;
    default: return false;
    }
}

bool WriteBoneCheck(Bone& bone, int id, bool checked) {
    switch (id) {
    case kBoneTabRoundHead: bone.roundHeadCap = checked ? 1 : 0; return true;
    case kBoneTabRoundTail: bone.roundTailCap = checked ? 1 : 0; return true;
    case kBoneTabStretchable: bone.stretchable = checked; return true;
    default: return false;
    }
}

CanvasObject* FindPoseEditorObject(CQuillfenEditorDoc& doc, const std::string& objectId) {
    return objectId.empty() ? nullptr : doc.poseScene.FindObject(objectId);
}

namespace {
Bone* FindBoneIn(CanvasObject& o, const std::string& boneId) {
    for (Bone& b : o.bones)
        if (b.id == boneId) return &b;
    return nullptr;
}
}  // namespace

Bone* FindPoseEditorBone(CQuillfenEditorDoc& doc, const std::string& objectId, const std::string& boneId) {
    CanvasObject* o = boneId.empty() ? nullptr : FindPoseEditorObject(doc, objectId);
    return o ? FindBoneIn(*o, boneId) : nullptr;
}

bool BoneTabEdit::Begin(CQuillfenEditorDoc& doc, const std::string& objectId, const std::string& boneId) {
    if (open_) return false;
    const CanvasObject* o = FindPoseEditorObject(doc, objectId);
    if (!o) return false;
    objectId_ = objectId;
    boneId_ = boneId;
    snapshot_ = o->bones;
    open_ = true;
    return true;
}

bool BoneTabEdit::Live(CQuillfenEditorDoc& doc, int id, double shown) {
    if (!open_) return false;
    CanvasObject* o = FindPoseEditorObject(doc, objectId_);
    Bone* b = o ? FindBoneIn(*o, boneId_) : nullptr;
    if (!b || !WriteBoneField(*b, id, shown)) return false;
    o->BumpGeneration();
    doc.SetModifiedFlag(true);
    doc.RefreshAllViews();
    return true;
}

bool BoneTabEdit::Commit(CQuillfenEditorDoc& doc) {
    if (!open_) return false;
    open_ = false;
    const std::vector<Bone> before = std::move(snapshot_);
    snapshot_.clear();
    const CanvasObject* o = FindPoseEditorObject(doc, objectId_);
    if (!o) return false;
    doc.SetBoneDefinitions(objectId_, before, o->bones);
    doc.SetModifiedFlag(true);
    doc.UpdateAllViews();
    return true;
}

bool ApplyBoneCheck(CQuillfenEditorDoc& doc, const std::string& objectId, const std::string& boneId, int id,
                    bool checked) {
    CanvasObject* o = boneId.empty() ? nullptr : FindPoseEditorObject(doc, objectId);
    Bone* b = o ? FindBoneIn(*o, boneId) : nullptr;
    if (!b) return false;
    const std::vector<Bone> before = o->bones;
    if (!WriteBoneCheck(*b, id, checked) || BoneListsEqual(before, o->bones)) return false;
    o->BumpGeneration();
    doc.SetBoneDefinitions(objectId, before, o->bones);
    doc.SetModifiedFlag(true);
    doc.UpdateAllViews();
    return true;
}

// --- Add Bone tab ---

CanvasObject* AddBoneTabPart(CQuillfenEditorDoc& doc) {
    CanvasObject* first = FindPoseEditorPart(doc);
    if (!first) return nullptr;
    CanvasObject* selected = SelectedPoseEditorPart(doc);
    return selected ? selected : first;
}

bool CanDeleteLastBone(const CanvasObject& part) {
    if (part.bones.empty() || part.locked) return false;
    const std::string& lastId = part.bones.back().id;
    return std::none_of(part.bones.begin(), part.bones.end(),
                        [&](const Bone& b) { return b.hasParent && b.parentId == lastId; });
}

AddBoneTabState ReadAddBoneTab(CQuillfenEditorDoc& doc) {
    AddBoneTabState s;
    if (const CanvasObject* part = AddBoneTabPart(doc)) {
        s.hasPart = true;
        s.boneCount = int(part->bones.size());
        s.canDeleteLast = CanDeleteLastBone(*part);
    }
    return s;
}

bool DeleteLastBone(CQuillfenEditorDoc& doc) {
    CanvasObject* part = AddBoneTabPart(doc);
    if (!part || !CanDeleteLastBone(*part)) return false;
    const std::string partId = part->id;
    const std::vector<Bone> before = part->bones;
    const std::string boneId = part->bones.back().id;
    part->bones.pop_back();
    part->BumpGeneration();
    // The link step is recorded before the bone step, so Undo gives the bone
    // back before its link ends return.
    doc.RemoveBoneFromLinks(partId, boneId);
    if (doc.boneSelection.objectId == partId && doc.boneSelection.boneId == boneId) doc.ClearBoneSelection();
    const CanvasObject* after = doc.poseScene.FindObject(partId);
    if (after) doc.SetBoneDefinitions(partId, before, after->bones);
    doc.SetModifiedFlag(true);
    doc.UpdateAllViews();
    return true;
}

// --- Links tab ---

LinkCounts CountLinks(const std::vector<JointLink>& links) {
    LinkCounts c;
    c.groups = int(links.size());
    for (const JointLink& l : links) c.joints += int(l.ends.size());
    return c;
}

CanvasObject* IkTargetObject(CQuillfenEditorDoc& doc) {
    const std::string& id = doc.mainScene.primarySelectedId;
    CanvasObject* o = id.empty() ? nullptr : doc.mainScene.FindObject(id);
    return o && o->kind == kObjectPosable ? o : nullptr;
}

bool SetUseIk(CQuillfenEditorDoc& doc, bool on) {
    CanvasObject* o = IkTargetObject(doc);
    if (!o) return false;
    o->posableScene.usePartialIK = on;
    doc.SetModifiedFlag(true);
    doc.UpdateAllViews();
    return true;
}

bool RemoveAllLinks(CQuillfenEditorDoc& doc) {
    if (doc.poseLinkGroups.empty()) return false;
    const std::vector<JointLink> before = std::move(doc.poseLinkGroups);
    doc.poseLinkGroups.clear();
    doc.CommitLinks(before, doc.poseLinkGroups);
    doc.SetModifiedFlag(true);
    doc.UpdateAllViews();
    return true;
}
