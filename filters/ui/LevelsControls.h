#pragma once
// The two marker controls of the Levels view: a logarithmic histogram of the
// object's image for one channel with the input low, gamma and input high
// markers under it, and a grey ramp with the output low and high markers.
// Both report 0x1001 when a drag begins, 0x1000 per change, 0x1002 at the end.
#include "platform/Bitmap.h"
#include "platform/qt/WindowBase.h"

#include <array>
#include <cstdint>
#include <vector>

// The x of a level on the marker track of a control of that width, and back.
int LevelsValueToX(int clientWidth, int level);
int LevelsXToValue(int clientWidth, int x);
// Where gamma puts its marker between the input markers: 0 at low, 1 at high.
float GammaToMarkerFraction(float gamma);
// The gamma a marker fraction stands for, at most two decimals.
float MarkerFractionToGamma(float t);

struct LevelsCounts {
    // red, green, blue, luminance
    std::array<std::array<int32_t, 256>, 4> bins{};
    bool valid = false;
};
// Counts the visible pixels, every s-th row and column once the image has
// more than 250000 pixels (s = trunc(sqrt(pixels / 250000))).
LevelsCounts CountLevels(const Bitmap* source);

void DrawLevelsMarker(class QPainter& p, int x, int bottom, uint32_t fill, uint32_t outline);

// What both marker controls share: a press picks the marker under the
// pointer (or the nearest one, which then jumps to the pointer), a drag
// moves it, and the drag is one interaction between its begin and end
// notifications; disabling the control ends a drag without them.
class CLevelsMarkerWnd : public CWndBase {
    Q_OBJECT
public:
    static constexpr uint8_t kNoMarker = 0;
    using CWndBase::CWndBase;
    virtual int HitTestMarker(QPoint point) const = 0;

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    void OnCaptureLost() override;

protected:
    void changeEvent(QEvent* e) override;
    // The marker a press away from every marker takes: the nearest to x.
    virtual int NearestMarker(int x) const = 0;
    virtual void DragTo(int x) = 0;
    uint8_t drag_ = kNoMarker;

private:
    void EndDrag(bool notify);
    bool beginSent_ = false;
};

class CPropLevelsHistogram : public CLevelsMarkerWnd {
    Q_OBJECT
public:
    enum Marker : uint8_t { kNone = 0, kInputLow = 1, kGamma = 2, kInputHigh = 3 };
    explicit CPropLevelsHistogram(QWidget* parent = nullptr, int controlId = 1009);

    // Counts again only when the bitmap differs from the current source.
    void SetSource(const BitmapPtr& source);
    const BitmapPtr& Source() const { return source_; }
    const LevelsCounts& Counts() const { return counts_; }
    int CountRuns() const { return countRuns_; }
    void SetChannel(uint8_t channel);
    void SetInputLow(int level);
    void SetInputHigh(int level);
    void SetGamma(float gamma);
    int InputLow() const { return inputLow_; }
    int InputHigh() const { return inputHigh_; }
    float Gamma() const { return gamma_; }
    int HitTestMarker(QPoint point) const override;
    int MarkerX(int marker) const;

protected:
    void paintEvent(QPaintEvent* e) override;
    int NearestMarker(int x) const override;
    void DragTo(int x) override;

private:
    int PlotBottom() const;

    BitmapPtr source_;
    uint8_t channel_ = 0;
    int inputLow_ = 0, inputHigh_ = 255;
    float gamma_ = 1.0f;
    LevelsCounts counts_;
    int countRuns_ = 0;
};

class CPropLevelsOutput : public CLevelsMarkerWnd {
    Q_OBJECT
public:
    enum Marker : uint8_t { kNone = 0, kOutputLow = 1, kOutputHigh = 2 };
    explicit CPropLevelsOutput(QWidget* parent = nullptr, int controlId = 1010);

    void SetOutputLow(int level);
    void SetOutputHigh(int level);
    int OutputLow() const { return outputLow_; }
    int OutputHigh() const { return outputHigh_; }
    int HitTestMarker(QPoint point) const override;

protected:
    void paintEvent(QPaintEvent* e) override;
    int NearestMarker(int x) const override;
    void DragTo(int x) override;

private:
    int StripBottom() const;

    int outputLow_ = 0, outputHigh_ = 255;
};
