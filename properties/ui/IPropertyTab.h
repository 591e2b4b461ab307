#pragma once
// A page of the properties pane: a child window that also implements
// IPropertyTab. The pane owns one instance of every tab for the life of the
// main window, asks each whether it applies to the current TabContext, shows
// the applicable ones in a fixed order and hands them the context.
//
// A tab of another subsystem registers its factory with
// CPropertiesPane::RegisterTabFactory(PropTabKind, factory) at start-up,
// before the frame is created (see CPropertiesPane.h).
#include "properties/TabContext.h"

#include <cstdint>
#include <string>

class CQuillfenEditorDoc;
class QWidget;

// A colour target: the colour wheel and the eyedropper feed the active tab's
// sink. Colours are 0xAARRGGBB.
class IColorSinkhole {
public:
    virtual ~IColorSinkhole() = default;
    virtual void SetColor(uint32_t argb) = 0;
    virtual uint32_t GetColor() = 0;
    // Shown as the colour wheel's caption while the sink is the target.
    virtual std::string GetTitle() = 0;
    // One interaction with the colour wheel (a drag or a click on it or its
    // sliders): the colours given in between show live, and the change from
    // the colour at the beginning is recorded as one undo step at the end,
    // none when it ends where it began. Outside them every SetColor is an
    // interaction of its own.
    virtual void BeginColorEdit() = 0;
    virtual void EndColorEdit() = 0;
};

class IPropertyTab {
public:
    virtual ~IPropertyTab() = default;
    // Whether the tab shows for the context; no side effects.
    virtual bool AppliesTo(const TabContext& ctx) const = 0;
    virtual std::string GetTitle() const = 0;
    // The tab's width in the strip, in pixels (at least 40 is used).
    virtual int GetTabWidth() const { return 80; }
    // The tab's window: the tab object itself when it is a QWidget.
    virtual QWidget* GetWnd();
    // The pane hands the context after choosing the visible tabs.
    virtual void OnContext(const TabContext& ctx) { (void)ctx; }
    // Re-read the model into the controls, the context unchanged.
    virtual void Refresh() {}
    virtual IColorSinkhole* GetColorSink() { return nullptr; }
    // The brush libraries changed.
    virtual void OnLibrariesChanged() {}
};

// What the pane and its tabs need of the main frame: the document of the
// workspace view and the right pane's colour wheel. The frame installs one.
class PropertiesPaneHost {
public:
    virtual ~PropertiesPaneHost() = default;
    virtual CQuillfenEditorDoc* GetActiveDocument() = 0;
    // Whether the right pane with its colour wheel exists.
    virtual bool HasColorWheel() { return false; }
    virtual std::string ColorWheelCaption() { return {}; }
    virtual void SetColorWheelCaption(const std::string& text) { (void)text; }
    // Loads a colour (0x00BBGGRR) into the colour wheel.
    virtual void LoadColorWheel(uint32_t colorRef) { (void)colorRef; }
    // Whether the stencil overlay has an active stencil (the Kitbash tab is
    // brought forward on entering its tool when it has none).
    virtual bool HasActiveStencil() { return true; }
};

void SetPropertiesPaneHost(PropertiesPaneHost* host);
PropertiesPaneHost* GetPropertiesPaneHost();
// The document of the main frame's workspace view, or null. Tabs reach the
// model only through this, at the moment of use.
CQuillfenEditorDoc* GetActiveDocument();
