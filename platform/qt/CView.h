#pragma once
// The base of the views a workspace hosts: a window over the document with
// an initial update when it is first shown on a document, update
// notifications when the document changes, and the commands it answers as
// the active view.
#include "platform/qt/WindowBase.h"

class CQuillfenEditorDoc;
class CommandTable;
class DocumentHost;

class CView : public CWndBase {
    Q_OBJECT
public:
    explicit CView(QWidget* parent = nullptr) : CWndBase(parent, 0xE900) {}

    CQuillfenEditorDoc* GetDocument() const { return document_; }
    void SetDocument(CQuillfenEditorDoc* doc) { document_ = doc; }
    // The frame the view lives in, as the document host it is; null outside
    // a frame. Views reach the frame only through this interface.
    DocumentHost* GetFrameHost() const;

    // Once per creation and per opened document; the default sends OnUpdate(0).
    virtual void OnInitialUpdate() { OnUpdate(nullptr, 0); }
    // The document changed; the default repaints.
    virtual void OnUpdate(CView* sender, int hint);
    // Registers the view's commands as the active view.
    virtual void RegisterCommands(CommandTable& table);
    // The workspace mode the view stands for (0 canvas layout).
    virtual int WorkspaceMode() const { return 0; }

private:
    CQuillfenEditorDoc* document_ = nullptr;
};
