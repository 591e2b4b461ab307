#pragma once
// The smart-fill (inpaint) session, provided by the selection subsystem and
// installed with CQuillfenEditorDoc::SetSmartFillProvider. The document owns
// the session record (CQuillfenEditorDoc::inpaintSession) but only the
// provider knows its type. Without a provider (null) there is no Inpaint.
#include <cstdint>
#include <memory>

class CQuillfenEditorDoc;
class InpaintSession;

// The fields of an inpaint session that the source commands work on; a null
// mask is an empty one.
struct InpaintSourceAccess {
    bool active = false;
    int32_t cropWidth = 0, cropHeight = 0;
    uint8_t* hole = nullptr;
    int64_t holeStride = 0;
    uint8_t* source = nullptr;
    int64_t sourceStride = 0;
    const uint8_t* alpha = nullptr;
    int64_t alphaStride = 0;
    bool* eraseFlag = nullptr;  // set: the inpaint brush removes from the source
};

class SmartFillProvider {
public:
    virtual ~SmartFillProvider() = default;
    // A new session record: inactive, empty images, brush radius 24.
    virtual std::shared_ptr<InpaintSession> CreateSession() = 0;
    // Fills the session from the document's active paint session and the main
    // scene's pixel selection; false when it cannot.
    virtual bool Begin(InpaintSession& session, CQuillfenEditorDoc& doc) = 0;
    // The session's crop size, masks and erase flag; false when it has none.
    virtual bool Access(InpaintSession& session, InpaintSourceAccess& out) = 0;
};
