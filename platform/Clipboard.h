#pragma once
// The system clipboard as the document sees it: named formats of raw bytes,
// plus a decoded picture for pastes from other programs. The Qt half maps the
// program's own format names to MIME types of the same name.
#include "platform/Bitmap.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class IClipboard {
public:
    virtual ~IClipboard() = default;
    // Removes every format; false when the clipboard cannot be opened.
    virtual bool Empty() = 0;
    // Replaces the clipboard's content with one format.
    virtual bool SetData(const std::string& format, const std::vector<uint8_t>& bytes) = 0;
    virtual bool GetData(const std::string& format, std::vector<uint8_t>& out) const = 0;
    virtual bool HasFormat(const std::string& format) const = 0;
    // A picture offered as image data by another program (straight BGRA), or null.
    virtual BitmapPtr GetImage() const = 0;
};

// A clipboard held in memory, for tests and for running without a display.
class MemoryClipboard : public IClipboard {
public:
    bool Empty() override {
        formats_.clear();
        image_.reset();
        return true;
    }
    bool SetData(const std::string& format, const std::vector<uint8_t>& bytes) override {
        Empty();
        formats_[format] = bytes;
        return true;
    }
    bool GetData(const std::string& format, std::vector<uint8_t>& out) const override {
        auto it = formats_.find(format);
        if (it == formats_.end()) return false;
        out = it->second;
        return true;
    }
    bool HasFormat(const std::string& format) const override { return formats_.count(format) != 0; }
    BitmapPtr GetImage() const override { return image_; }

    // Test hooks standing for what another program put on the clipboard.
    void AddFormat(const std::string& format, const std::vector<uint8_t>& bytes) { formats_[format] = bytes; }
    void SetImage(BitmapPtr image) { image_ = std::move(image); }

private:
    std::map<std::string, std::vector<uint8_t>> formats_;
    BitmapPtr image_;
};
