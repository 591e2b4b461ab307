#include "app/ui/CVerticalToolStripWnd.h"

#include "platform/qt/CMemDC2.h"
#include "platform/qt/CommandUi.h"
#include "platform/qt/IconImage.h"
#include "platform/qt/ShellFonts.h"

#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {
QRect ToQRect(const RectI& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
const QColor kDisabledFill(43, 47, 53);
}  // namespace

// ---------------------------------------------------------------- flyout

CVerticalToolFlyoutWnd::CVerticalToolFlyoutWnd(CVerticalToolStripWnd* strip)
    : CWndBase(nullptr, 0), strip_(strip) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setObjectName("ToolFlyout");
}

CVerticalToolFlyoutWnd::~CVerticalToolFlyoutWnd() = default;

bool CVerticalToolFlyoutWnd::Open(int entry, const std::vector<ToolFlyoutItem>& items, const std::vector<bool>& enabled,
                                  int current, const QRect& button) {
    entry_ = entry;
    items_ = items;
    enabled_ = enabled;
    hover_ = current_ = current;
    if (items_.empty()) return false;
    QFontMetrics fm(UiFont(12));
    int widest = 0;
    for (const ToolFlyoutItem& it : items_) widest = std::max(widest, fm.horizontalAdvance(QString::fromStdString(it.label)));
    const int w = std::max(170, widest + 52), h = 32 * int(items_.size()) + 2;
    QScreen* screen = QGuiApplication::screenAt(button.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
    const RectI placed = PlaceToolFlyout({button.left(), button.top(), button.right() + 1, button.bottom() + 1}, w, h,
                                         {work.left(), work.top(), work.right() + 1, work.bottom() + 1});
    setGeometry(placed.left, placed.top, w, h);
    show();
    raise();
    SetCapture();
    // The popup never takes the focus; it reads the keys while it is open.
    grabKeyboard();
    return true;
}

int CVerticalToolFlyoutWnd::RowAt(QPoint p) const {
    if (!rect().contains(p)) return -1;
    return ToolFlyoutRowAt(p.y(), int(items_.size()));
}

void CVerticalToolFlyoutWnd::Close(int row) {
    if (closing_) return;
    closing_ = true;
    CVerticalToolStripWnd* strip = strip_;
    strip_ = nullptr;
    ReleaseCapture();
    releaseKeyboard();
    hide();
    if (strip) strip->PickFlyoutItem(entry_, row);
}

void CVerticalToolFlyoutWnd::OnLButtonDown(unsigned, QPoint p) { Close(rect().contains(p) ? RowAt(p) : -1); }

void CVerticalToolFlyoutWnd::OnLButtonUp(unsigned, QPoint p) {
    const int row = RowAt(p);
    if (row >= 0) Close(row);
}

void CVerticalToolFlyoutWnd::OnMouseMove(unsigned, QPoint p) {
    const int row = RowAt(p);
    if (row != hover_ && row >= 0) {
        hover_ = row;
        update();
    }
}

void CVerticalToolFlyoutWnd::OnCaptureLost() {
    if (strip_) Close(-1);
}

void CVerticalToolFlyoutWnd::keyPressEvent(QKeyEvent* e) {
    const int n = int(items_.size());
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: Close(hover_ >= 0 ? hover_ : current_); return;
    case Qt::Key_Escape: Close(-1); return;
    case Qt::Key_Up: hover_ = ToolFlyoutStep(hover_, n, false); update(); return;
    case Qt::Key_Down: hover_ = ToolFlyoutStep(hover_, n, true); update(); return;
    default: CWndBase::keyPressEvent(e);
    }
}

void CVerticalToolFlyoutWnd::paintEvent(QPaintEvent* ev) {
    CMemDC2 dc(this, ev->rect());
    QPainter& p = dc.Painter();
    p.setRenderHint(QPainter::Antialiasing);
    const QRect r = rect();
    p.fillRect(r, QColor(36, 39, 44));
    p.setPen(QColor(120, 140, 170));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setFont(UiFont(12));
    for (int i = 0; i < int(items_.size()); ++i) {
        const int top = 1 + 32 * i;
        if (i == hover_) p.fillRect(QRect(1, top, r.width() - 2, 32), QColor(60, 108, 168));
        const bool enabled = i >= int(enabled_.size()) || enabled_[size_t(i)];
        const QRect box(7, top, 32, 32);
        if (strip_) strip_->DrawToolIcon(p, items_[size_t(i)], box, enabled);
        p.setPen(enabled ? QColor(220, 224, 230) : QColor(110, 116, 124));
        p.drawText(QRect(box.right() + 9, top, r.width() - box.right() - 12, 32), Qt::AlignVCenter | Qt::AlignLeft,
                   QString::fromStdString(items_[size_t(i)].label));
    }
}

// ---------------------------------------------------------------- strip

CVerticalToolStripWnd::CVerticalToolStripWnd(QWidget* parent) : CWndBase(parent, 1) {
    setObjectName("VerticalToolStrip");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    icons_.SetInvertFiles(true);
    const QColor pal[9] = {QColor(34, 38, 44),    QColor(58, 63, 71),    QColor(48, 54, 63),
                           QColor(108, 126, 147), QColor(59, 67, 78),    QColor(72, 95, 126),
                           QColor(118, 163, 220), QColor(150, 158, 170), QColor(210, 218, 228)};
    std::copy(pal, pal + 9, palette_);
}

CVerticalToolStripWnd::~CVerticalToolStripWnd() { CloseFlyout(); }

void CVerticalToolStripWnd::SetCommandUi(CommandUi* ui) {
    if (commandUi_) disconnect(commandUi_, nullptr, this, nullptr);
    commandUi_ = ui;
    if (ui) connect(ui, &CommandUi::Updated, this, &CVerticalToolStripWnd::UpdateCommandUI);
    UpdateCommandUI();
}

void CVerticalToolStripWnd::SetMode(int mode, int iconSize) {
    update();
    const int size = std::max(iconSize, 24);
    if (size != buttonSize_) {
        buttonSize_ = size;
        icons_.ClearScaled();
    }
    CloseFlyout();
    StopHold();
    entries_.clear();
    buttons_.clear();
    hover_ = pressed_ = -1;
    for (ToolStripEntry& e : ToolStripEntriesForMode(mode)) {
        if (e.kind == 1) AddGroup(e.heading);
        else if (e.flyout.empty()) AddTool(e.head);
        else AddToolWithFlyout(e.head, std::move(e.flyout));
    }
    RebuildButtons();
    RecalcLayout();
    UpdateCommandUI();
    update();
}

void CVerticalToolStripWnd::AddGroup(const std::string& heading) {
    ToolStripEntry e;
    e.kind = 1;
    e.heading = heading;
    entries_.push_back(std::move(e));
}

void CVerticalToolStripWnd::AddTool(const ToolItem& item) {
    ToolStripEntry e;
    e.head = item;
    entries_.push_back(std::move(e));
}

void CVerticalToolStripWnd::AddToolWithFlyout(const ToolItem& head, std::vector<ToolFlyoutItem> items) {
    ToolStripEntry e;
    e.head = head;
    e.flyout = std::move(items);
    entries_.push_back(std::move(e));
}

void CVerticalToolStripWnd::RebuildButtons() {
    buttons_.clear();
    for (size_t i = 0; i < entries_.size(); ++i) {
        Button b;
        b.entry = int(i);
        b.kind = entries_[i].kind;
        b.item = entries_[i].Displayed();
        b.hasFlyout = !entries_[i].flyout.empty();
        b.enabled = b.item.enabled;
        b.checked = b.item.checked;
        buttons_.push_back(std::move(b));
    }
}

void CVerticalToolStripWnd::RecalcLayout() {
    const std::vector<ToolStripBox> boxes = LayoutToolStrip(entries_, width(), buttonSize_, GetDpi());
    for (size_t i = 0; i < buttons_.size() && i < boxes.size(); ++i) {
        buttons_[i].rect = boxes[i].button;
        buttons_[i].mark = boxes[i].mark;
    }
}

bool CVerticalToolStripWnd::QueryToolEnabled(const ToolItem& item) {
    if (item.commandId == 0 || !commandUi_) return item.enabled;
    CommandTable& t = commandUi_->Table();
    if (!t.HasUpdateRule(item.commandId)) return item.enabled;
    return t.QueryState(item.commandId, CommandUiKind::ToolbarButton).enabled;
}

void CVerticalToolStripWnd::UpdateCommandUI() {
    bool changed = false;
    for (Button& b : buttons_) {
        if (b.kind != 0 || b.item.commandId == 0 || !b.item.queryState) continue;
        bool enabled = b.item.enabled, checked = b.item.checked;
        if (commandUi_ && commandUi_->Table().HasUpdateRule(b.item.commandId)) {
            const CommandState s = commandUi_->Table().QueryState(b.item.commandId, CommandUiKind::ToolbarButton);
            enabled = s.enabled;
            checked = s.checked.value_or(false);
        }
        if (enabled != b.enabled || checked != b.checked) {
            b.enabled = enabled;
            b.checked = checked;
            changed = true;
        }
    }
    if (changed) update();
}

int CVerticalToolStripWnd::ContentHeight(int width) const {
    return ToolStripContentHeight(LayoutToolStrip(entries_, width, buttonSize_, GetDpi()), GetDpi());
}

int CVerticalToolStripWnd::HitTest(QPoint p) const {
    for (size_t i = 0; i < buttons_.size(); ++i)
        if (buttons_[i].kind == 0 && !buttons_[i].rect.IsEmpty() && buttons_[i].rect.Contains(p.x(), p.y()))
            return int(i);
    return -1;
}

void CVerticalToolStripWnd::InvalidateButton(int i) {
    if (i >= 0 && i < int(buttons_.size())) update(ToQRect(buttons_[size_t(i)].rect));
}

void CVerticalToolStripWnd::SendCommand(uint32_t id) {
    if (commandUi_ && id != 0) commandUi_->Execute(id, CommandUiKind::ToolbarButton);
}

void CVerticalToolStripWnd::StopHold() {
    KillTimer(kHoldTimer);
    holding_ = false;
}

void CVerticalToolStripWnd::OnMouseMove(unsigned, QPoint p) {
    const int hit = HitTest(p);
    if (hit != hover_) {
        InvalidateButton(hover_);
        hover_ = hit;
        InvalidateButton(hover_);
    }
    if (holding_ && hit != pressed_) StopHold();
}

void CVerticalToolStripWnd::OnMouseLeave() {
    InvalidateButton(hover_);
    hover_ = -1;
}

void CVerticalToolStripWnd::OnLButtonDown(unsigned, QPoint p) {
    const int hit = HitTest(p);
    if (hit < 0) return;
    const Button& b = buttons_[size_t(hit)];
    if (!b.enabled && !b.hasFlyout) return;
    pressed_ = hit;
    InvalidateButton(hit);
    SetCapture();
    if (b.hasFlyout) {
        SetTimer(kHoldTimer, 400);
        holding_ = true;
    }
}

void CVerticalToolStripWnd::OnLButtonUp(unsigned, QPoint p) {
    StopHold();
    ReleaseCapture();
    const int was = pressed_;
    pressed_ = -1;
    InvalidateButton(was);
    if (was < 0 || HitTest(p) != was) return;
    const Button& b = buttons_[size_t(was)];
    if (b.kind != 0 || !b.enabled || b.item.commandId == 0) return;
    SendCommand(b.item.commandId);
    UpdateCommandUI();
    update();
}

void CVerticalToolStripWnd::OnCaptureLost() {
    // A press whose capture is taken away ends as if released elsewhere.
    StopHold();
    InvalidateButton(pressed_);
    pressed_ = -1;
}

void CVerticalToolStripWnd::OnTimer(int id) {
    if (id != kHoldTimer) return;
    KillTimer(kHoldTimer);
    if (!holding_) return;
    holding_ = false;
    ReleaseCapture();
    const int button = pressed_;
    pressed_ = -1;
    InvalidateButton(button);
    OpenFlyout(button);
}

void CVerticalToolStripWnd::OpenFlyout(int index) {
    if (index < 0 || index >= int(buttons_.size()) || buttons_[size_t(index)].kind != 0) return;
    const int entry = buttons_[size_t(index)].entry;
    if (entry < 0 || entry >= int(entries_.size()) || entries_[size_t(entry)].flyout.empty()) return;
    CloseFlyout();
    const ToolStripEntry& e = entries_[size_t(entry)];
    std::vector<bool> enabled;
    for (const ToolFlyoutItem& it : e.flyout) enabled.push_back(QueryToolEnabled(it));
    const RectI& r = buttons_[size_t(index)].rect;
    const QRect global(mapToGlobal(QPoint(r.left, r.top)), QSize(r.Width(), r.Height()));
    auto* f = new CVerticalToolFlyoutWnd(this);
    if (!f->Open(entry, e.flyout, enabled, e.selected, global)) {
        delete f;
        return;
    }
    flyout_ = f;
    flyoutButton_ = index;
    InvalidateButton(index);
}

void CVerticalToolStripWnd::CloseFlyout() {
    if (!flyout_) return;
    CVerticalToolFlyoutWnd* f = flyout_;
    flyout_ = nullptr;
    flyoutButton_ = -1;
    f->Close(-1);  // detaches it; it picks nothing now that it is forgotten
    f->deleteLater();
}

void CVerticalToolStripWnd::PickFlyoutItem(int entry, int row) {
    if (flyout_) {
        flyout_->deleteLater();
        flyout_ = nullptr;
        flyoutButton_ = -1;
    }
    if (entry < 0 || entry >= int(entries_.size())) return;
    ToolStripEntry& e = entries_[size_t(entry)];
    if (row < 0 || row >= int(e.flyout.size())) return;
    e.selected = row;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        if (buttons_[i].entry != entry) continue;
        buttons_[i].item = e.flyout[size_t(row)];
        buttons_[i].enabled = buttons_[i].item.enabled;
        buttons_[i].checked = buttons_[i].item.checked;
        InvalidateButton(int(i));
    }
    const ToolItem& picked = e.flyout[size_t(row)];
    if (picked.commandId != 0 && QueryToolEnabled(picked)) SendCommand(picked.commandId);
    UpdateCommandUI();
}

IconRequest CVerticalToolStripWnd::IconOf(const ToolItem& item) const {
    IconRequest s;
    s.imageSource = item.imageSource;
    s.name = item.icon;
    s.polygon = item.polygon;
    const uint32_t bg = uint32_t(palette_[0].rgb() & 0xFFFFFF);
    s.tint = item.tint < 0 ? DefaultIconTint(bg) : uint32_t(item.tint);
    s.commandId = item.commandId;
    return s;
}

void CVerticalToolStripWnd::DrawToolIcon(QPainter& p, const ToolItem& item, const QRect& rect, bool enabled) {
    const int h = std::max(12, rect.height() - MulDiv(10, GetDpi(), 96));
    const QImage img = ScaledIconImage(icons_, IconOf(item), h, devicePixelRatioF());
    if (img.isNull()) {
        const int m = MulDiv(6, GetDpi(), 96);
        p.setPen(QColor(170, 170, 170));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect.adjusted(m, m, -m - 1, -m - 1));
        return;
    }
    const QSizeF size = ClientSize(img);
    const int iw = int(std::lround(size.width())), ih = int(std::lround(size.height()));
    const int x = rect.left() + (rect.width() - iw) / 2, y = rect.top() + (rect.height() - ih) / 2;
    p.drawImage(QPointF(x, y), enabled ? img : DisabledIcon(img));
}

void CVerticalToolStripWnd::resizeEvent(QResizeEvent* e) {
    CWndBase::resizeEvent(e);
    RecalcLayout();
    update();
}

bool CVerticalToolStripWnd::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const int hit = HitTest(help->pos());
        if (hit < 0 || flyout_) {
            QToolTip::hideText();
            return true;
        }
        const ToolItem& it = buttons_[size_t(hit)].item;
        const QString title = QString::fromStdString(it.name).toHtmlEscaped();
        const QString text = QString::fromStdString(it.description).toHtmlEscaped();
        QToolTip::showText(help->globalPos(), "<b>" + title + "</b>" + (text.isEmpty() ? "" : "<br>" + text), this,
                           ToQRect(buttons_[size_t(hit)].rect));
        return true;
    }
    return CWndBase::event(e);
}

void CVerticalToolStripWnd::paintEvent(QPaintEvent* ev) {
    CMemDC2 dc(this, ev->rect());
    QPainter& p = dc.Painter();
    auto s = [](int v) { return MulDiv(v, GetDpi(), 96); };
    p.fillRect(rect(), palette_[0]);
    const int line = std::max(1, s(1));
    p.fillRect(QRect(width() - line, 0, line, height()), palette_[1]);
    QFont bold = UiFont(11, QFont::Bold);
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const Button& b = buttons_[i];
        if (b.rect.IsEmpty()) continue;
        const QRect r = ToQRect(b.rect);
        if (b.kind == 1) {
            p.fillRect(r, palette_[0]);
            p.fillRect(QRect(r.left() + s(4), r.bottom(), r.width() - s(4) - s(2), 1), palette_[1]);
            p.setFont(bold);
            p.setPen(palette_[7]);
            const std::string& text = entries_[size_t(b.entry)].heading;
            p.drawText(QRect(r.left() + s(4), r.top() + (r.height() - 14) / 2 - 1, r.width(), 16),
                       Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(text));
            continue;
        }
        QColor fill = palette_[0], border;
        const bool pressed = int(i) == pressed_ || int(i) == flyoutButton_;
        if (b.checked && b.enabled) fill = palette_[5], border = palette_[6];
        if (int(i) == hover_ && b.enabled) fill = palette_[2], border = palette_[3];
        if (pressed) {
            if (b.enabled) fill = palette_[4], border = palette_[3];
            else fill = kDisabledFill, border = QColor();
        } else if (!b.enabled) {
            fill = kDisabledFill, border = QColor();
        }
        p.fillRect(r, fill);
        if (border.isValid()) {
            p.setPen(border);
            p.setBrush(Qt::NoBrush);
            p.drawRect(r.adjusted(0, 0, -1, -1));
        }
        DrawToolIcon(p, b.item, r, b.enabled);
        if (b.hasFlyout && !b.mark.IsEmpty()) {
            const float m = float(std::min(b.mark.Width(), b.mark.Height()) - 1);
            if (m > 1.5f) {
                const float R = float(b.mark.right) - 1, B = float(b.mark.bottom) - 1;
                QPainterPath tri;
                tri.moveTo(R - m, B);
                tri.lineTo(R, B);
                tri.lineTo(R, B - m);
                tri.closeSubpath();
                p.setRenderHint(QPainter::Antialiasing, true);
                p.fillPath(tri, palette_[8]);
                p.setRenderHint(QPainter::Antialiasing, false);
            }
        }
    }
}

// ---------------------------------------------------------------- pane

namespace {

// The thin bar over the strip's right padding: a thumb to drag, the track to
// page, the wheel to scroll.
class CToolsScrollBar : public QWidget {
public:
    explicit CToolsScrollBar(CVerticalToolsPane* pane) : QWidget(pane), pane_(pane) { setMouseTracking(true); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const RectI& t = pane_->Scroll().thumb;
        const QColor colour = dragging_ || hot_ ? QColor(120, 128, 140) : QColor(78, 84, 94);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        const qreal r = width() / 2.0;
        p.drawRoundedRect(QRectF(0, t.top, width(), t.Height()), r, r);
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        const RectI& t = pane_->Scroll().thumb;
        const int y = int(e->position().y());
        if (y >= t.top && y < t.bottom) {
            dragging_ = true;
            pressY_ = y;
            pressOffset_ = pane_->Scroll().offset;
        } else {
            // A page towards the press.
            pane_->ScrollTo(pane_->Scroll().offset + (y < t.top ? -1 : 1) * std::max(1, pane_->height() - 20));
        }
        update();
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        const RectI& t = pane_->Scroll().thumb;
        const int y = int(e->position().y());
        const bool hot = y >= t.top && y < t.bottom;
        if (hot != hot_) {
            hot_ = hot;
            update();
        }
        if (!dragging_) return;
        const int travel = pane_->height() - t.Height();
        const int range = pane_->Strip()->ContentHeight(pane_->width()) - pane_->height();
        if (travel > 0) pane_->ScrollTo(pressOffset_ + int(int64_t(y - pressY_) * range / travel));
    }
    void mouseReleaseEvent(QMouseEvent*) override { EndDrag(); }
    void leaveEvent(QEvent*) override {
        hot_ = false;
        update();
    }
    bool event(QEvent* e) override {
        // A drag that loses the mouse ends where it is, as a release does.
        if (e->type() == QEvent::UngrabMouse) EndDrag();
        return QWidget::event(e);
    }
    void wheelEvent(QWheelEvent* e) override {
        pane_->OnMouseWheel(0, e->angleDelta().y(), e->position().toPoint());
    }

private:
    void EndDrag() {
        if (!dragging_) return;
        dragging_ = false;
        update();
    }
    CVerticalToolsPane* pane_;
    bool dragging_ = false, hot_ = false;
    int pressY_ = 0, pressOffset_ = 0;
};

}  // namespace

CVerticalToolsPane::CVerticalToolsPane(QWidget* parent) : CWndBase(parent, 133) {
    setObjectName("ToolsPane");
    strip_ = new CVerticalToolStripWnd(this);
    bar_ = new CToolsScrollBar(this);
    bar_->hide();
    SetMode(mode_);
    strip_->show();
    AdjustLayout();
}

void CVerticalToolsPane::SetMode(int mode) {
    mode_ = mode;
    strip_->SetMode(mode, iconSize_);
    AdjustLayout();
}

void CVerticalToolsPane::AdjustLayout() { ScrollTo(scroll_.offset); }

void CVerticalToolsPane::ScrollTo(int offset) {
    const int content = strip_->ContentHeight(width());
    scroll_ = ScrollToolStrip(offset, content, width(), height(), GetDpi());
    strip_->setGeometry(0, -scroll_.offset, width(), std::max(height(), content));
    if (scroll_.thumb.IsEmpty()) {
        bar_->hide();
        return;
    }
    bar_->setGeometry(scroll_.thumb.left, 0, scroll_.thumb.Width(), height());
    bar_->raise();
    bar_->show();
    bar_->update();
}

bool CVerticalToolsPane::OnMouseWheel(unsigned, int delta, QPoint) {
    if (scroll_.thumb.IsEmpty()) return false;
    // One notch moves about one row of buttons.
    ScrollTo(scroll_.offset - MulDiv(delta, MulDiv(37, GetDpi(), 96), 120));
    return true;
}

QSize CVerticalToolsPane::sizeHint() const { return {MulDiv(78, GetDpi(), 96), 240}; }
QSize CVerticalToolsPane::minimumSizeHint() const { return {MulDiv(78, GetDpi(), 96), 120}; }

void CVerticalToolsPane::resizeEvent(QResizeEvent* e) {
    CWndBase::resizeEvent(e);
    AdjustLayout();
}
