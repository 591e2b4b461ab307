// The brush headers come before any Qt header: Qt's `slots` keyword macro
// would otherwise rewrite the brush slots' member of that name.
#include "brushes/ui/StencilOverlayDrawing.h"

#include "brushes/StencilLibraryStore.h"
#include "brushes/ui/CPropStencilLibrary.h"
#include "platform/qt/CMemDC2.h"
#include "platform/qt/ShellFonts.h"

#include <QFontMetrics>
#include <QPaintEvent>

#include <algorithm>

namespace {

bool SameNoCase(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

const QColor kStripColour(32, 35, 40);

}  // namespace

// ------------------------------------------------------------------ strip

CStripScrolledWnd::CStripScrolledWnd(QWidget* parent, int id, int wheelStep, int minThumb)
    : CWndBase(parent, id), wheelStep_(wheelStep), minThumb_(minThumb) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void CStripScrolledWnd::ClampScroll() {
    scrollOffset = std::clamp(scrollOffset, 0, std::max(0, ContentHeight() - height()));
}

bool CStripScrolledWnd::Thumb(int& top, int& h) const {
    const int client = height(), content = ContentHeight();
    if (content <= client || client <= 0) return false;
    h = std::max(minThumb_, int(int64_t(client) * client / content));
    top = int(int64_t(client - h) * scrollOffset / (content - client));
    return true;
}

bool CStripScrolledWnd::StripPress(QPoint point) {
    if (point.x() < std::max(0, width() - kStrip)) return false;
    int top = 0, h = 0;
    if (!Thumb(top, h)) return true;
    if (point.y() >= top && point.y() < top + h) {
        SetCapture();
        thumbDragging = true;
        dragStartY = point.y();
        dragStartScroll = scrollOffset;
    } else {
        scrollOffset += point.y() < top ? -height() : height();
        ClampScroll();
    }
    update();
    return true;
}

bool CStripScrolledWnd::ThumbDragMove(QPoint point) {
    if (!thumbDragging || !HasCapture()) return false;
    int top = 0, h = 0;
    if (!Thumb(top, h)) return true;
    const int range = ContentHeight() - height(), track = height() - h;
    const int startTop = int(int64_t(track) * dragStartScroll / std::max(1, range));
    const int thumbTop = std::clamp(startTop + (point.y() - dragStartY), 0, track);
    scrollOffset = track > 0 ? int(int64_t(thumbTop) * range / track) : 0;
    ClampScroll();
    update();
    return true;
}

void CStripScrolledWnd::OnLButtonUp(unsigned, QPoint) {
    if (!thumbDragging) return;
    thumbDragging = false;
    ReleaseCapture();
    update();
}

void CStripScrolledWnd::OnCaptureLost() {
    thumbDragging = false;
    update();
}

bool CStripScrolledWnd::OnMouseWheel(unsigned, int delta, QPoint) {
    scrollOffset -= (delta / 120) * wheelStep_;
    ClampScroll();
    update();
    return true;
}

void CStripScrolledWnd::resizeEvent(QResizeEvent*) { ClampScroll(); }

void CStripScrolledWnd::DrawStrip(QPainter& p, int thumbInset) {
    const int content = std::max(0, width() - kStrip);
    p.fillRect(content, 0, width() - content, height(), kStripColour);
    int top = 0, th = 0;
    if (Thumb(top, th))
        p.fillRect(content + thumbInset, top, kStrip - thumbInset, th,
                   thumbDragging ? QColor(110, 122, 138) : QColor(86, 96, 108));
}

// ------------------------------------------------------------------ grid

CPropStencilLibrary::CPropStencilLibrary(QWidget* parent, int id) : CStripScrolledWnd(parent, id, kPitchY, 16) {}

int CPropStencilLibrary::EntryCount() const { return int(StencilLibraryStore::Instance().entries.size()); }

int CPropStencilLibrary::Columns() const {
    const int content = std::max(0, width() - kStrip);
    return std::max(1, (content - kMargin) / kPitchX);
}

int CPropStencilLibrary::ContentHeight() const {
    const int n = EntryCount(), cols = Columns();
    const int rows = n > 0 ? (n + cols - 1) / cols : 0;
    return rows * kPitchY + kMargin;
}

int CPropStencilLibrary::HitTest(QPoint p) const {
    const int content = std::max(0, width() - kStrip);
    if (p.x() < 0 || p.x() >= content || p.y() < 0 || p.y() >= height()) return -1;
    const int bx = p.x() - kMargin, by = p.y() + scrollOffset - kMargin;
    if (bx < 0 || by < 0) return -1;
    const int col = bx / kPitchX, cols = Columns();
    if (col >= cols) return -1;
    const int index = col + cols * (by / kPitchY);
    if (index >= EntryCount()) return -1;
    if (bx % kPitchX >= kTile || by % kPitchY >= kTile + kCaption) return -1;
    return index;
}

void CPropStencilLibrary::OnLButtonDown(unsigned, QPoint point) {
    if (StripPress(point)) return;
    const int index = HitTest(point);
    if (index < 0) return;
    if (index != selectedIndex) {
        selectedIndex = index;
        update();
    }
    SendCommandToParent(0);
}

void CPropStencilLibrary::OnMouseMove(unsigned, QPoint point) {
    if (ThumbDragMove(point)) return;
    const int hit = HitTest(point);
    if (hit != hoverIndex) {
        hoverIndex = hit;
        update();
    }
}

void CPropStencilLibrary::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    const int w = width(), h = height(), content = std::max(0, w - kStrip);
    p.fillRect(0, 0, w, h, QColor(44, 48, 54));
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    StencilLibraryStore& store = StencilLibraryStore::Instance();
    const int n = int(store.entries.size());
    if (n == 0) {
        p.setFont(UiFont(11));
        p.setPen(QColor::fromRgba(0xFF82868C));
        p.drawText(QRect(8, 0, std::max(0, content - 16), h), Qt::AlignCenter | Qt::TextWordWrap, QString::fromStdString(EmptyStencilLibraryHint(store.activeName)));
        p.fillRect(content, 0, w - content, h, kStripColour);
        return;
    }
    const int cols = Columns();
    p.save();
    p.setClipRect(0, 0, content, h);
    p.setFont(UiFont(9));
    const QFontMetrics fm(p.font());
    for (int i = 0; i < n; ++i) {
        const int y = (i / cols) * kPitchY - scrollOffset + kMargin, x = (i % cols) * kPitchX + kMargin;
        if (y + kPitchY < 0 || y > h) continue;
        const bool selected = i == selectedIndex;
        p.fillRect(x, y, kTile, kTile,
                   QColor::fromRgba(selected ? 0xFF3C5882 : i == hoverIndex ? 0xFF383E48 : 0xFF24272C));
        const QImage thumb = StencilPreviewImage(store.GetThumbnail(i));
        if (!thumb.isNull()) {
            p.setRenderHint(QPainter::SmoothPixmapTransform, true);
            p.drawImage(QRectF(x, y, kTile, kTile), thumb);
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(selected ? QPen(QColor::fromRgba(0xFF78A0DC), 2) : QPen(QColor::fromRgba(0xFF484E56), 1));
        p.drawRect(QRectF(x, y, 59, 59));
        p.setPen(QColor::fromRgba(selected ? 0xFFC8CCD2 : 0xFF82868C));
        const QString caption = fm.elidedText(QString::fromStdString(store.entries[size_t(i)].name), Qt::ElideRight, kTile);
        p.drawText(QRect(x, y + kTile, kTile, kCaption), Qt::AlignCenter | Qt::TextSingleLine, caption);
    }
    p.restore();
    DrawStrip(p, 0);
}

// ------------------------------------------------------------------ library list

CPropStencilLibraryList::CPropStencilLibraryList(QWidget* parent, int id)
    : CStripScrolledWnd(parent, id, kRow, 24) {
    Reload();
}

void CPropStencilLibraryList::Reload() {
    names = StencilLibraryStore::Instance().ListLibraries();
    ClampScroll();
    update();
}

int CPropStencilLibraryList::HitTest(QPoint p) const {
    if (p.x() >= std::max(0, width() - kStrip)) return -1;
    const int row = (p.y() + scrollOffset) / kRow;
    if (p.y() + scrollOffset < 0 || row >= int(names.size())) return -1;
    return row;
}

void CPropStencilLibraryList::OnLButtonDown(unsigned, QPoint point) {
    if (StripPress(point)) return;
    const int row = HitTest(point);
    if (row < 0) return;
    StencilLibraryStore& store = StencilLibraryStore::Instance();
    if (SameNoCase(names[size_t(row)], store.activeName)) {
        update();
        return;
    }
    store.SaveActiveLibrary(names[size_t(row)]);
    update();
    SendCommandToParent(0);
}

void CPropStencilLibraryList::OnMouseMove(unsigned, QPoint point) {
    if (ThumbDragMove(point)) return;
    const int hit = HitTest(point);
    if (hit != hoverRow) {
        hoverRow = hit;
        update();
    }
}

void CPropStencilLibraryList::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    const int w = width(), h = height(), content = std::max(0, w - kStrip);
    p.fillRect(0, 0, w, h, QColor(50, 54, 60));
    p.setFont(UiFont(11));
    const std::string& active = StencilLibraryStore::Instance().activeName;
    const int first = scrollOffset / kRow, last = std::min((h + scrollOffset) / kRow, int(names.size()) - 1);
    for (int row = first; row <= last; ++row) {
        const int top = row * kRow - scrollOffset;
        const bool isActive = SameNoCase(names[size_t(row)], active);
        if (isActive) p.fillRect(0, top, content, kRow, QColor::fromRgba(0xFF506EA0));
        else if (row == hoverRow) p.fillRect(0, top, content, kRow, QColor::fromRgba(0xFF464C56));
        p.setPen(QColor::fromRgba(isActive ? 0xFFDCE0E6 : 0xFF969AA0));
        p.drawText(QRect(8, top + 4, content - 8, kRow - 4), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   QString::fromStdString(names[size_t(row)]));
    }
    DrawStrip(p, 1);
}
