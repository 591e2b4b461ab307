#pragma once
// The modal dialogs the document's commands run. The dialogs live in the
// window layers above the document; the application installs one provider
// with CQuillfenEditorDoc::SetDialogProvider. Without one (null) every
// command behaves as though its dialog was cancelled. Each method has a
// "no dialog" default so a provider overrides only the dialogs it has.
#include <cstdint>
#include <vector>

class CQuillfenEditorDoc;
class CanvasDocument;
struct JointLink;

// What the "Set Canvas" dialog shows and returns. The custom colour is a
// colour value with red in the low byte (0x00BBGGRR).
struct CanvasSizeDialogValues {
    int32_t width = 0, height = 0;
    int32_t colorChoice = 0;  // 0 White, 1 Transparent, 2 Custom
    uint32_t customColor = 0xFFFFFF;
    int32_t anchor = 4;  // 0..8 row by row from the top-left, 4 the centre
};

class DialogProvider {
public:
    virtual ~DialogProvider() = default;
    // The "Set Canvas" dialog; true when it ends with OK, values then hold
    // the user's choice.
    virtual bool RunCanvasSizeDialog(CanvasSizeDialogValues& values) {
        (void)values;
        return false;
    }
    // The brightness adjustment dialog for the selected bitmap object; it
    // previews, applies and records its change itself.
    virtual void RunBrightnessDialog(CQuillfenEditorDoc& doc) { (void)doc; }
    // The articulation preview of the Pose Editor scene and its links; it
    // builds its own runtime rig and changes nothing of the document.
    virtual void RunTestBonesDialog(const CanvasDocument& poseScene, const std::vector<JointLink>& links) {
        (void)poseScene, (void)links;
    }
};
