#include "brushes/ui/CBrushControls.h"

#include "brushes/BrushLibrary.h"
#include "brushes/BrushLibraryEdits.h"
#include "platform/Codecs.h"
#include "platform/qt/CMemDC2.h"
#include "platform/qt/ShellFonts.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

QImage ImageOf(const Bitmap& b) {
    return QImage(b.Data(), b.Width(), b.Height(), b.Stride(), QImage::Format_ARGB32).copy();
}

QString LocalText(const std::string& s) { return QString::fromUtf8(s.data(), int(s.size())); }

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

void EnsureBrushPreview(BrushEntry& entry) {
    if (entry.decodedPreview) return;
    if (!entry.preview.empty()) {
        if (BitmapPtr decoded = DecodeBrushPreview(entry.preview)) {
            entry.decodedPreview = decoded;
            return;
        }
    }
    BitmapPtr rendered = Bitmap::Create(400, 130);
    if (rendered && RenderBrushPreview(*rendered, entry.settings)) entry.decodedPreview = rendered;
}

// ------------------------------------------------------------------ well

CPropBrushWell::CPropBrushWell(QWidget* parent, int id) : CWndBase(parent, id) { setCursor(Qt::PointingHandCursor); }

void CPropBrushWell::SetSlot(ToolBrushSlot* slot) {
    slot_ = slot;
    update();
}

void CPropBrushWell::SetActive(bool active) {
    if (active_ == active) return;
    active_ = active;
    update();
}

void CPropBrushWell::OnLButtonDown(unsigned, QPoint) {
    SetCapture();
    pressed_ = true;
    update();
}

void CPropBrushWell::OnMouseMove(unsigned, QPoint point) {
    if (!HasCapture()) return;
    const bool inside = rect().contains(point);
    if (inside != pressed_) {
        pressed_ = inside;
        update();
    }
}

void CPropBrushWell::OnLButtonUp(unsigned, QPoint point) {
    ReleaseCapture();
    const bool was = pressed_;
    pressed_ = false;
    update();
    if (was && rect().contains(point)) SendCommandToParent(0);
}

void CPropBrushWell::OnCaptureLost() {
    if (!pressed_) return;
    pressed_ = false;
    update();
}

void CPropBrushWell::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    const QRect client = rect();
    p.fillRect(client, QColor(40, 44, 50));
    if (active_) {
        p.setPen(Qt::NoPen);
        const QColor c(80, 110, 160);
        p.fillRect(QRect(0, 0, client.width(), 2), c);
        p.fillRect(QRect(0, client.height() - 2, client.width(), 2), c);
        p.fillRect(QRect(0, 0, 2, client.height()), c);
        p.fillRect(QRect(client.width() - 2, 0, 2, client.height()), c);
    } else {
        p.setPen(pressed_ ? QColor(92, 100, 112) : QColor(72, 78, 86));
        p.drawRect(client.adjusted(0, 0, -1, -1));
    }
    const QRect area(client.left() + 4, client.top() + 4, client.width() - 8, client.height() - 26);
    if (!slot_) {
        p.setFont(UiFont(18));
        p.setPen(QColor(0xAA, 0xB4, 0xC3));
        p.drawText(area, Qt::AlignCenter, "?");
        return;
    }
    const BrushSettings& settings = slot_->settings;
    const int limit = std::max(4, std::min(area.width(), area.height()));
    const int s = std::min(limit, int(std::ceil(std::max(1.0f, std::min(settings.size, 100000.0f)))));
    BrushSettings copy = settings;
    copy.size = float(s);
    const std::vector<float>& tip = renderer_.BuildTip(copy).Tip();
    const int n = renderer_.TipSize();
    if (!tip.empty() && s > 0 && n == s) {
        QImage image(s, s, QImage::Format_ARGB32);
        for (int y = 0; y < s; ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < s; ++x) {
                const float v = std::clamp(tip[size_t(y) * s + x], 0.0f, 1.0f);
                row[x] = qRgba(0xE6, 0xE8, 0xEE, int(255.0f * v + 0.5f));
            }
        }
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawImage(QPoint(area.left() + (area.width() - s) / 2, area.top() + (area.height() - s) / 2), image);
    }
    p.setFont(UiFont(11));
    p.setPen(QColor(220, 226, 235));
    const int px = int(std::lround(std::max(1.0f, std::min(settings.size, 1e6f))));
    p.drawText(QRect(area.left(), client.bottom() - 20, area.width(), 16), Qt::AlignCenter,
               QString("%1 px").arg(px));
}

// ------------------------------------------------------------------ preset list

CPropBrushLibrary::CPropBrushLibrary(QWidget* parent, int id) : CWndBase(parent, id) {
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
}

BrushLibrary& CPropBrushLibrary::Library() const { return library_ ? *library_ : GetBrushLibrary(); }
int CPropBrushLibrary::Count() const { return int(Library().entries.size()); }
int CPropBrushLibrary::ListWidth() const {
    return width() > PresetListGeometry::kStripWidth ? width() - PresetListGeometry::kStripWidth : width();
}

void CPropBrushLibrary::ClampSelection() {
    const int count = Count();
    selected_ = std::min(selected_, count - 1);
    if (hot_ >= count) hot_ = -1;
    offset_ = PresetListGeometry{count, height()}.ClampOffset(offset_);
    update();
}

const BrushSettings* CPropBrushLibrary::GetSelectedEntry() const {
    BrushLibrary& lib = Library();
    if (selected_ < 0 || selected_ >= int(lib.entries.size())) return nullptr;
    return &lib.entries[size_t(selected_)].settings;
}

void CPropBrushLibrary::SetSelectedIndex(int index) {
    const int next = std::min(std::max(index, -1), Count() - 1);
    if (next == selected_) return;
    selected_ = next;
    update();
}

void CPropBrushLibrary::OnLButtonDown(unsigned, QPoint point) {
    const PresetListGeometry g{Count(), height()};
    if (point.x() >= ListWidth() && width() > PresetListGeometry::kStripWidth) {
        // The scroll strip: grab the thumb, or jump a page toward the click.
        int top = 0, h = 0;
        if (!g.Thumb(offset_, top, h)) return;
        if (point.y() >= top && point.y() < top + h) {
            dragging_ = true;
            dragY_ = point.y();
            dragOffset_ = offset_;
            SetCapture();
        } else {
            offset_ = g.ClampOffset(offset_ + (point.y() < top ? -height() : height()));
        }
        update();
        return;
    }
    const int row = g.RowAt(point.y(), offset_);
    if (row < 0 || row == selected_) return;
    selected_ = row;
    update();
    SendCommandToParent(0);
}

void CPropBrushLibrary::OnMouseMove(unsigned, QPoint point) {
    const PresetListGeometry g{Count(), height()};
    if (dragging_) {
        int top = 0, h = 0;
        if (g.Thumb(dragOffset_, top, h) && height() > h) {
            const int travel = height() - h;
            offset_ = g.ClampOffset(dragOffset_ + int(int64_t(point.y() - dragY_) * g.MaxOffset() / travel));
        }
        update();
        return;
    }
    const int row = point.x() < ListWidth() ? g.RowAt(point.y(), offset_) : -1;
    if (row != hot_) {
        hot_ = row;
        update();
    }
}

void CPropBrushLibrary::OnLButtonUp(unsigned, QPoint) {
    ReleaseCapture();
    dragging_ = false;
}

void CPropBrushLibrary::OnCaptureLost() { dragging_ = false; }

bool CPropBrushLibrary::OnMouseWheel(unsigned, int delta, QPoint) {
    const int next = PresetListGeometry{Count(), height()}.ClampOffset(offset_ + (delta <= 0 ? 30 : -30));
    if (next != offset_) {
        offset_ = next;
        update();
    }
    return true;
}

void CPropBrushLibrary::OnMouseLeave() {
    if (hot_ != -1) {
        hot_ = -1;
        update();
    }
}

void CPropBrushLibrary::resizeEvent(QResizeEvent*) {
    offset_ = PresetListGeometry{Count(), height()}.ClampOffset(offset_);
    update();
}

void CPropBrushLibrary::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    p.fillRect(rect(), QColor(40, 44, 50));
    BrushLibrary& lib = Library();
    const int count = int(lib.entries.size());
    const int listW = ListWidth();
    p.save();
    p.setClipRect(QRect(0, 0, listW, height()));
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const int rowH = PresetListGeometry::kRowHeight, previewH = PresetListGeometry::kPreviewHeight;
    for (int i = offset_ / rowH; i < count && i * rowH - offset_ < height(); ++i) {
        const int top = i * rowH - offset_;
        QColor preview, name;
        if (i == selected_) preview = QColor(0x42, 0x60, 0x80), name = QColor(0x30, 0x48, 0x64);
        else if (i == hot_) preview = QColor(0x3A, 0x40, 0x48), name = QColor(0x28, 0x2E, 0x36);
        else if (i % 2 == 0) preview = QColor(0x2C, 0x30, 0x36), name = QColor(0x20, 0x24, 0x2A);
        else preview = QColor(0x28, 0x2C, 0x32), name = QColor(0x20, 0x24, 0x2A);
        p.fillRect(QRect(0, top, listW, previewH), preview);
        p.fillRect(QRect(0, top + previewH, listW, rowH - previewH), name);
        BrushEntry& entry = lib.entries[size_t(i)];
        EnsureBrushPreview(entry);
        if (entry.decodedPreview) p.drawImage(QRect(0, top, listW, previewH), ImageOf(*entry.decodedPreview));
        // A name too long for the row is set a little smaller rather than cut;
        // only a name that fits at no readable size is elided.
        const QString label = LocalText(entry.name);
        const QRect nameRect(6, top + previewH, listW - 8, rowH - previewH);
        QFont font = UiFont(11);
        for (int size = 11; size >= 8; --size) {
            font = UiFont(size);
            if (QFontMetrics(font).horizontalAdvance(label) <= nameRect.width()) break;
        }
        p.setFont(font);
        p.setPen(QColor(235, 238, 242));
        p.drawText(nameRect, Qt::AlignVCenter | Qt::AlignLeft,
                   QFontMetrics(font).elidedText(label, Qt::ElideRight, nameRect.width()));
        p.fillRect(QRect(0, top + rowH - 1, listW, 1), QColor(0x38, 0x3D, 0x44));
    }
    p.restore();
    if (width() > PresetListGeometry::kStripWidth) {
        p.fillRect(QRect(listW, 0, width() - listW, height()), QColor(32, 35, 40));
        int top = 0, h = 0;
        if (PresetListGeometry{count, height()}.Thumb(offset_, top, h))
            p.fillRect(QRect(listW + 2, top, width() - listW - 4, h),
                       dragging_ ? QColor(110, 122, 138) : QColor(86, 96, 108));
    }
}

// ------------------------------------------------------------------ library list

CPropBrushLibraryList::CPropBrushLibraryList(QWidget* parent, int id) : CWndBase(parent, id) {
    setMouseTracking(true);
    Reload();
}

void CPropBrushLibraryList::Reload() {
    names_ = ListBrushLibraries();
    offset_ = LibraryListGeometry{int(names_.size()), height()}.ClampOffset(offset_);
    update();
}

void CPropBrushLibraryList::OnLButtonDown(unsigned, QPoint point) {
    const int row = LibraryListGeometry{int(names_.size()), height()}.RowAt(point.y(), offset_);
    if (row < 0) return;
    const std::string name = names_[size_t(row)];
    if (!SameName(name, GetBrushLibrary().name)) {
        if (SelectBrushLibrary(name)) {
            update();
            SendCommandToParent(0);
        }
        return;
    }
    update();
}

void CPropBrushLibraryList::OnMouseMove(unsigned, QPoint point) {
    const int row = LibraryListGeometry{int(names_.size()), height()}.RowAt(point.y(), offset_);
    if (row != hot_) {
        hot_ = row;
        update();
    }
}

bool CPropBrushLibraryList::OnMouseWheel(unsigned, int delta, QPoint) {
    const int next = LibraryListGeometry{int(names_.size()), height()}.ClampOffset(
        offset_ - (delta / 120) * LibraryListGeometry::kRowHeight);
    if (next != offset_) {
        offset_ = next;
        update();
    }
    return true;
}

void CPropBrushLibraryList::OnMouseLeave() {
    if (hot_ != -1) {
        hot_ = -1;
        update();
    }
}

void CPropBrushLibraryList::resizeEvent(QResizeEvent*) {
    offset_ = LibraryListGeometry{int(names_.size()), height()}.ClampOffset(offset_);
    update();
}

void CPropBrushLibraryList::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    p.fillRect(rect(), QColor(50, 54, 60));
    const int rowH = LibraryListGeometry::kRowHeight;
    const int count = int(names_.size());
    const std::string& current = GetBrushLibrary().name;
    p.setFont(UiFont(11));
    for (int i = offset_ / rowH; i <= std::min((height() + offset_) / rowH, count - 1); ++i) {
        const int top = i * rowH - offset_;
        const bool isCurrent = SameName(names_[size_t(i)], current);
        if (isCurrent) p.fillRect(QRect(0, top, width(), rowH), QColor(0x50, 0x6E, 0xA0));
        else if (i == hot_) p.fillRect(QRect(0, top, width(), rowH), QColor(0x46, 0x4C, 0x56));
        p.setPen(isCurrent ? QColor(0xDC, 0xE0, 0xE6) : QColor(0x96, 0x9A, 0xA0));
        p.drawText(QRect(8, top + 4, width() - 10, rowH - 4), Qt::AlignLeft | Qt::AlignTop,
                   LocalText(LibraryDisplayName(names_[size_t(i)])));
    }
}
