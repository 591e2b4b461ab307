#pragma once
// The protocol between the "Effect" tab and the parameter view of the
// selected filter. A view never keeps a pointer into an object's stack: at
// every edit it asks the sink for the instance (the tab looks it up by object
// id and stack index each time), writes the control's value into it and
// reports the interaction: begin, changing (any number of times), committed.
#include "filters/EffectInstance.h"
#include "platform/Bitmap.h"
#include "platform/qt/WindowBase.h"

class IColorSinkhole;

class IEffectChangeSink {
public:
    virtual ~IEffectChangeSink() = default;
    virtual void BeginParamsEdit() = 0;
    virtual void OnParamsChanging() = 0;
    virtual void OnParamsCommitted() = 0;
    // The decoded image of the current object's first part, or null.
    virtual BitmapPtr GetSourceBitmap() = 0;
    // The instance being edited, looked up now; null when it is gone.
    virtual EffectInstance* CurrentInstance() = 0;
};

class IEffectParamsView : public CWndBase {
    Q_OBJECT
public:
    using CWndBase::CWndBase;
    // Shows the instance's values; the sink is kept for later edits.
    virtual void LoadParams(const EffectInstance& instance, IEffectChangeSink* sink) = 0;
    virtual IColorSinkhole* GetColorSink() { return nullptr; }
};
