#pragma once
// The system clipboard through Qt: the program's own format names travel as
// MIME types of the same name, "PNG" as image/png, and the bitmap formats as
// the toolkit's image data. Every copy offers exactly one format.
#include "platform/Clipboard.h"

class QtClipboard : public IClipboard {
public:
    bool Empty() override;
    bool SetData(const std::string& format, const std::vector<uint8_t>& bytes) override;
    bool GetData(const std::string& format, std::vector<uint8_t>& out) const override;
    bool HasFormat(const std::string& format) const override;
    BitmapPtr GetImage() const override;

    // The MIME type a format name travels as; empty for the bitmap formats,
    // which are the toolkit's image data.
    static std::string MimeTypeOf(const std::string& format);
};
