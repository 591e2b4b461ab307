#include "brushes/BrushRecord.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
    void WriteU8(uint8_t v) { out_.push_back(v); }
    void WriteU32(uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(uint8_t(v >> (8 * i)));
    }
    void WriteF32(float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        WriteU32(v);
    }
    void WriteBool(bool b) { WriteU8(b ? 1 : 0); }
    void WriteBytes(const std::vector<uint8_t>& bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }

private:
    std::vector<uint8_t>& out_;
};

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Remaining() const { return size_ - pos_; }
    bool U8(uint8_t& v) {
        if (Remaining() < 1) return false;
        v = data_[pos_++];
        return true;
    }
    bool U32(uint32_t& v) {
        if (Remaining() < 4) return false;
        v = uint32_t(data_[pos_]) | uint32_t(data_[pos_ + 1]) << 8 | uint32_t(data_[pos_ + 2]) << 16 |
            uint32_t(data_[pos_ + 3]) << 24;
        pos_ += 4;
        return true;
    }
    // A float that must be finite.
    bool F32(float& f) {
        uint32_t v;
        if (!U32(v)) return false;
        std::memcpy(&f, &v, 4);
        return std::isfinite(f);
    }
    bool Bool(bool& b) {
        uint8_t v;
        if (!U8(v)) return false;
        b = v != 0;
        return true;
    }
    bool Bytes(uint32_t n, std::vector<uint8_t>& out) {
        if (n > kBrushRecordMaxImageBytes || n > Remaining()) return false;
        out.assign(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace

void ClampBrushSettings(BrushSettings& s) {
    auto unit = [](float& v) { v = std::clamp(v, 0.0f, 1.0f); };
    s.size = std::clamp(s.size, 1.0f, 500.0f);
    unit(s.opacity);
    unit(s.flow);
    s.spacing = std::clamp(s.spacing, 0.01f, 2.0f);
    unit(s.hardness);
    s.scaleX = std::clamp(s.scaleX, 0.01f, 100.0f);
    s.scaleY = std::clamp(s.scaleY, 0.01f, 100.0f);
    s.angle = std::clamp(s.angle, -360.0f, 360.0f);
    s.scatter = std::clamp(s.scatter, 0.0f, 10.0f);
    for (float* f : {&s.spacingJitter, &s.sizeJitter, &s.angleJitter, &s.angleStep, &s.hueJitter,
                     &s.saturationJitter, &s.brightnessJitter, &s.opacityJitter})
        unit(*f);
}

std::vector<uint8_t> SerializeBrushSettings(const BrushSettings& s) {
    std::vector<uint8_t> out;
    if (s.tipImage.size() > kBrushRecordMaxImageBytes || s.grainImage.size() > kBrushRecordMaxImageBytes)
        return out;
    out.reserve(s.tipImage.size() + s.grainImage.size() + 128);
    ByteWriter w(out);
    for (char c : {'B', 'R', 'P', 'S'}) w.WriteU8(uint8_t(c));
    w.WriteU32(1);
    w.WriteF32(s.size);
    w.WriteF32(s.opacity);
    w.WriteF32(s.flow);
    w.WriteF32(s.spacing);
    w.WriteBool(s.erase);
    w.WriteBool(s.pressureSize);
    w.WriteBool(s.pressureOpacity);
    w.WriteBool(s.pressureFlow);
    w.WriteBool(s.pressureHardness);
    w.WriteF32(s.scatter);
    w.WriteF32(s.spacingJitter);
    w.WriteF32(s.sizeJitter);
    w.WriteF32(s.angleJitter);
    w.WriteF32(s.hueJitter);
    w.WriteF32(s.saturationJitter);
    w.WriteF32(s.brightnessJitter);
    w.WriteF32(s.opacityJitter);
    w.WriteF32(s.angleStep);
    w.WriteU8(s.tipKind);
    w.WriteF32(s.hardness);
    w.WriteF32(s.scaleX);
    w.WriteF32(s.scaleY);
    w.WriteF32(s.angle);
    w.WriteU32(s.tipAux1);
    w.WriteU32(s.tipAux2);
    w.WriteU32(uint32_t(s.tipRevision));
    w.WriteU32(uint32_t(s.tipRevision >> 32));
    w.WriteU32(uint32_t(s.tipImage.size()));
    w.WriteBytes(s.tipImage);
    w.WriteU32(s.grainAux1);
    w.WriteU32(s.grainAux2);
    w.WriteU32(uint32_t(s.grainImage.size()));
    w.WriteBytes(s.grainImage);
    return out;
}

bool DeserializeBrushSettings(const uint8_t* data, size_t size, BrushSettings& out) {
    if (!data || size < 8 || std::memcmp(data, "BRPS", 4) != 0) return false;
    ByteReader r(data + 4, size - 4);
    uint32_t version = 0;
    if (!r.U32(version) || version != 1) return false;
    BrushSettings s;
    uint32_t lo = 0, hi = 0, t = 0, g = 0;
    const bool ok = r.F32(s.size) && r.F32(s.opacity) && r.F32(s.flow) && r.F32(s.spacing) && r.Bool(s.erase) &&
                    r.Bool(s.pressureSize) && r.Bool(s.pressureOpacity) && r.Bool(s.pressureFlow) &&
                    r.Bool(s.pressureHardness) && r.F32(s.scatter) && r.F32(s.spacingJitter) &&
                    r.F32(s.sizeJitter) && r.F32(s.angleJitter) && r.F32(s.hueJitter) &&
                    r.F32(s.saturationJitter) && r.F32(s.brightnessJitter) && r.F32(s.opacityJitter) &&
                    r.F32(s.angleStep) && r.U8(s.tipKind) && s.tipKind <= 3 && r.F32(s.hardness) &&
                    r.F32(s.scaleX) && r.F32(s.scaleY) && r.F32(s.angle) && r.U32(s.tipAux1) &&
                    r.U32(s.tipAux2) && r.U32(lo) && r.U32(hi) && r.U32(t) && r.Bytes(t, s.tipImage) &&
                    r.U32(s.grainAux1) && r.U32(s.grainAux2) && r.U32(g) && r.Bytes(g, s.grainImage);
    if (!ok) return false;
    s.tipRevision = uint64_t(lo) | uint64_t(hi) << 32;
    ClampBrushSettings(s);
    out = std::move(s);
    return true;
}
