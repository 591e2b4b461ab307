#pragma once
// The gradient sliders of the Hue/Saturation view: the hue slider shows the
// spectrum; the saturation and lightness sliders show grey to the hue and
// black through the hue to white, coloured by the hue slider's value.
#include "platform/qt/WindowBase.h"

#include <cstdint>
#include <vector>

// Bytes of an HSV colour, h, s, v in [0, 1].
void HsvToRgbBytes(float h, float s, float v, uint8_t& r, uint8_t& g, uint8_t& b);

class CPropHueSatSlider : public CWndBase {
    Q_OBJECT
public:
    CPropHueSatSlider(QWidget* parent, int controlId, int kind, float minimum, float maximum);

    // Clamped; repaints when it changes; sends nothing.
    void SetValue(float value);
    float Value() const { return value_; }
    void SetHueSource(const CPropHueSatSlider* source) { hueSource_ = source; }
    // The value under a client x.
    float ValueFromX(int x) const;

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    void OnCaptureLost() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void EndDrag(bool notify);
    const std::vector<uint32_t>& Gradient(int width);

    int kind_;
    float min_, max_, value_ = 0;
    bool dragging_ = false, beginSent_ = false;
    const CPropHueSatSlider* hueSource_ = nullptr;
    std::vector<uint32_t> cache_;
    int cacheWidth_ = 0;
    float cacheHue_ = -999;
};
