#pragma once
// The owner-drawn brush controls of the brush tabs and the Brush Manager: a
// brush well showing one tool slot, the preset list of the current library,
// and the list of library files. Each reports a pick to its parent with
// SendCommandToParent(0) and reads the library and slots directly.
#include "brushes/BrushSettings.h"
#include "brushes/DabRenderer.h"
#include "platform/qt/WindowBase.h"

#include <string>
#include <vector>

struct BrushEntry;
class BrushLibrary;

class CPropBrushWell : public CWndBase {
    Q_OBJECT
public:
    CPropBrushWell(QWidget* parent, int id);
    void SetSlot(ToolBrushSlot* slot);
    ToolBrushSlot* Slot() const { return slot_; }
    void SetActive(bool active);
    bool Active() const { return active_; }

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnCaptureLost() override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    ToolBrushSlot* slot_ = nullptr;
    bool pressed_ = false;
    bool active_ = false;
    DabRenderer renderer_;
};

// The presets of the current library: a preview strip and a name per row.
class CPropBrushLibrary : public CWndBase {
    Q_OBJECT
public:
    CPropBrushLibrary(QWidget* parent, int id);
    // Null for the current library (GetBrushLibrary).
    void SetLibrary(BrushLibrary* library) { library_ = library; }
    BrushLibrary& Library() const;
    void ClampSelection();
    const BrushSettings* GetSelectedEntry() const;
    void SetSelectedIndex(int index);
    int SelectedIndex() const { return selected_; }
    int ScrollOffset() const { return offset_; }

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnCaptureLost() override;
    bool OnMouseWheel(unsigned flags, int delta, QPoint point) override;
    void OnMouseLeave() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    int Count() const;
    int ListWidth() const;
    BrushLibrary* library_ = nullptr;
    int selected_ = -1;
    int hot_ = -1;
    int offset_ = 0;
    bool dragging_ = false;
    int dragY_ = 0, dragOffset_ = 0;
};

// The ".brs" files of the brushes folder; a click makes one current.
class CPropBrushLibraryList : public CWndBase {
    Q_OBJECT
public:
    CPropBrushLibraryList(QWidget* parent, int id = 398);
    void Reload();
    const std::vector<std::string>& Names() const { return names_; }
    int ScrollOffset() const { return offset_; }

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    bool OnMouseWheel(unsigned flags, int delta, QPoint point) override;
    void OnMouseLeave() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    std::vector<std::string> names_;
    int hot_ = -1;
    int offset_ = 0;
};

// Makes sure the entry holds a preview bitmap: its stored PNG decoded, else
// a rendered stroke.
void EnsureBrushPreview(BrushEntry& entry);
