#pragma once
// Every command id of the program, in one place: the menu, the accelerators,
// the tool buttons and every handler registered in the command table use
// these names. The numbers are the ones stored and sent as command messages;
// they never change.
#include <cstdint>

// File, application, window and view commands.
constexpr uint32_t kCmdFileNew = 57600;
constexpr uint32_t kCmdFileOpen = 57601;
constexpr uint32_t kCmdFileSave = 57603;
constexpr uint32_t kCmdFileSaveAs = 57604;
constexpr uint32_t kCmdFilePrintSetup = 57606;
constexpr uint32_t kCmdFilePrint = 57607;
constexpr uint32_t kCmdFilePrintPreview = 57609;
constexpr uint32_t kCmdFileRecentFile1 = 57616;
constexpr uint32_t kCmdAppAbout = 57664;
constexpr uint32_t kCmdAppExit = 57665;
constexpr uint32_t kCmdNextPane = 57680;
constexpr uint32_t kCmdPrevPane = 57681;
constexpr uint32_t kCmdViewToolbar = 59392;
constexpr uint32_t kCmdViewStatusBar = 59393;
constexpr uint32_t kCmdViewZoomIn = 32775;
constexpr uint32_t kCmdViewZoomOut = 32776;
constexpr uint32_t kCmdViewZoomActual = 32777;
constexpr uint32_t kCmdViewZoomFit = 32778;
constexpr uint32_t kCmdAddToKitbash = 32874;
constexpr uint32_t kCmdFilters = 32859;
// Stacking of the selected object within its layer (the canvas view).
constexpr uint32_t kCmdObjectRaise = 32868;
constexpr uint32_t kCmdObjectLower = 32869;
constexpr uint32_t kCmdObjectBringToTop = 32870;
constexpr uint32_t kCmdObjectSendToBottom = 32871;

constexpr uint32_t kCmdEditUndo = 57643;  // "&Undo\tCtrl+Z", Ctrl+Z
constexpr uint32_t kCmdEditRedo = 57644;  // "Redo", Ctrl+Y

// --- Edit, Modify, Image, Selection, tool, Pose Editor and Settings commands ---
constexpr uint32_t kCmdEditCopy = 57634;
constexpr uint32_t kCmdEditCut = 57635;
constexpr uint32_t kCmdEditPaste = 57637;
constexpr uint32_t kCmdEditDelete = 32787;
constexpr uint32_t kCmdFileImportImage = 32779;
constexpr uint32_t kCmdFileExportPng = 32815;

constexpr uint32_t kCmdSetCanvasSize = 32780;
constexpr uint32_t kCmdAddLayer = 32781;
constexpr uint32_t kCmdDeleteLayer = 32788;
constexpr uint32_t kCmdConvertToBitmap = 32840;
constexpr uint32_t kCmdResetWarp = 32812;
constexpr uint32_t kCmdInsertLightCone = 32814;
constexpr uint32_t kCmdBenchmark = 32843;
constexpr uint32_t kCmdAddMask = 32839;
constexpr uint32_t kCmdInpaint = 32860;
constexpr uint32_t kCmdInvert = 32837;
constexpr uint32_t kCmdBrightness = 32841;
constexpr uint32_t kCmdDeselect = 32828;
constexpr uint32_t kCmdReselect = 32829;
constexpr uint32_t kCmdInverse = 32830;
constexpr uint32_t kCmdSplitBitmap = 32844;
constexpr uint32_t kCmdObjectSelection = 32849;

// Tool commands, each choosing one ToolId.
constexpr uint32_t kCmdToolMove = 32789;
constexpr uint32_t kCmdToolEyedropper = 32872;
constexpr uint32_t kCmdToolPose = 32805;
constexpr uint32_t kCmdToolAddBone = 32794;
constexpr uint32_t kCmdToolSelectMoveJoint = 32795;
constexpr uint32_t kCmdToolLinkJoints = 32796;
constexpr uint32_t kCmdToolSkew = 32808;
constexpr uint32_t kCmdToolDistort = 32809;
constexpr uint32_t kCmdToolLight = 32816;
constexpr uint32_t kCmdToolPaintBrush = 32817;
constexpr uint32_t kCmdToolMixerBrush = 32818;
constexpr uint32_t kCmdToolBlendBrush = 32819;
constexpr uint32_t kCmdToolSmudgeBrush = 32820;
constexpr uint32_t kCmdToolCloneBrush = 32821;
constexpr uint32_t kCmdToolHealingCloneBrush = 32856;
constexpr uint32_t kCmdToolRecolorBrush = 32857;
constexpr uint32_t kCmdToolStencilKitbash = 32873;
constexpr uint32_t kCmdToolEraser = 32827;
constexpr uint32_t kCmdToolRectangleMarquee = 32822;
constexpr uint32_t kCmdToolEllipseMarquee = 32823;
constexpr uint32_t kCmdToolEllipseFromCenter = 32832;
constexpr uint32_t kCmdToolPolygonLasso = 32824;
constexpr uint32_t kCmdToolFreehandLasso = 32825;
constexpr uint32_t kCmdToolMagicWand = 32826;
constexpr uint32_t kCmdToolCurveLasso = 32831;
constexpr uint32_t kCmdToolRefine = 32853;
constexpr uint32_t kCmdToolPaintMask = 32833;
constexpr uint32_t kCmdToolEraseMask = 32834;

// Inpaint source tools.
constexpr uint32_t kCmdInpaintAddSource = 32861;
constexpr uint32_t kCmdInpaintRemoveSource = 32862;
constexpr uint32_t kCmdInpaintSelectAllSource = 32863;
constexpr uint32_t kCmdInpaintClearSource = 32864;

// Posable Editor.
constexpr uint32_t kCmdCreateMultiObject = 32807;
constexpr uint32_t kCmdGoToBoneEditor = 32792;
constexpr uint32_t kCmdFinishBoneEditor = 32793;
constexpr uint32_t kCmdBoneStretchable = 32801;
constexpr uint32_t kCmdBoneRoundEndpoint = 32803;
constexpr uint32_t kCmdBoneRemove = 32798;
constexpr uint32_t kCmdBoneCopyFromParent = 32846;
constexpr uint32_t kCmdDeleteBone = 32845;
constexpr uint32_t kCmdBreakLink = 32797;
constexpr uint32_t kCmdTestBones = 32799;
constexpr uint32_t kCmdUsePartialIK = 32806;

// "Settings" toggles.
constexpr uint32_t kCmdHideTopLayersOnBitmap = 32835;
constexpr uint32_t kCmdLayerListCompact = 32836;
constexpr uint32_t kCmdHighlightObjectUnderMouse = 32847;
constexpr uint32_t kCmdSelectionOverlay = 32855;
constexpr uint32_t kCmdBrushIsolation = 32867;
// --- end command ids ---

// Stacking of the selected object, from the main toolbar (answered by the canvas view).
constexpr uint32_t kCmdRaise = 32868;
constexpr uint32_t kCmdLower = 32869;
constexpr uint32_t kCmdBringToTop = 32870;
constexpr uint32_t kCmdSendToBottom = 32871;
