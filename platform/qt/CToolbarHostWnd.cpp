#include "platform/qt/CToolbarHostWnd.h"

#include "platform/qt/CMemDC2.h"
#include "platform/qt/CommandUi.h"
#include "platform/qt/IconImage.h"
#include "platform/qt/ShellFonts.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {
uint32_t Rgb(const QColor& c) { return uint32_t(c.red()) << 16 | uint32_t(c.green()) << 8 | uint32_t(c.blue()); }
}  // namespace

CToolbarHostWnd::CToolbarHostWnd(QWidget* parent, int controlId) : CWndBase(parent, controlId) {
    setObjectName("ToolbarHost");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    theme_ = {QColor(248, 248, 248), QColor(218, 218, 218), QColor(236, 242, 249), QColor(170, 196, 227),
              QColor(222, 232, 245), QColor(226, 236, 248), QColor(158, 186, 218)};
    font_ = UiFont(12);
}

void CToolbarHostWnd::SetCommandUi(CommandUi* ui) {
    if (commandUi_) disconnect(commandUi_, nullptr, this, nullptr);
    commandUi_ = ui;
    if (ui) connect(ui, &CommandUi::Updated, this, &CToolbarHostWnd::UpdateCommandUI);
    UpdateCommandUI();
}

void CToolbarHostWnd::SetButtons(const std::vector<CToolbarButtonDesc>& buttons) {
    entries_.clear();
    entries_.reserve(buttons.size());
    // Tooltips come from the descriptors; the program has no command strings.
    for (const CToolbarButtonDesc& d : buttons) entries_.push_back(MakeToolbarEntry(d, {}));
    hot_ = pressed_ = -1;
    RecalcLayout();
    UpdateCommandUI();
    update();
}

void CToolbarHostWnd::SetIconSize(int size) {
    size = std::max(size, 24);
    if (size == iconSize_) return;
    iconSize_ = size;
    icons_.ClearScaled();
    RecalcLayout();
    update();
    updateGeometry();
}

void CToolbarHostWnd::SetDarkTheme() {
    theme_ = {QColor(34, 38, 44), QColor(58, 63, 71), QColor(48, 54, 63), QColor(108, 126, 147),
              QColor(59, 67, 78), QColor(72, 95, 126), QColor(118, 163, 220)};
    icons_.SetInvertFiles(invertIcons_ && BackgroundIsDark());
    RecalcLayout();
    update();
}

void CToolbarHostWnd::SetThemeColours(const uint32_t (&rgb)[7]) {
    auto c = [](uint32_t v) { return QColor(int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)); };
    theme_ = {c(rgb[0]), c(rgb[1]), c(rgb[2]), c(rgb[3]), c(rgb[4]), c(rgb[5]), c(rgb[6])};
    icons_.SetInvertFiles(invertIcons_ && BackgroundIsDark());
    RecalcLayout();
    update();
}

void CToolbarHostWnd::SetInvertIcons(bool invert) {
    if (invert == invertIcons_) return;
    invertIcons_ = invert;
    icons_.SetInvertFiles(invertIcons_ && BackgroundIsDark());
    RecalcLayout();
    update();
}

bool CToolbarHostWnd::BackgroundIsDark() const { return IsDarkColor(Rgb(theme_.background)); }

IconRequest CToolbarHostWnd::IconOf(const ToolbarButtonEntry& e) const {
    const bool group = e.desc.kind == CToolbarButtonDesc::Group;
    IconRequest s;
    s.imageSource = group ? e.desc.group.imageSource : e.desc.face.imageSource;
    s.name = group ? e.desc.group.imageName : e.desc.face.imageName;
    s.polygon = group ? e.desc.group.polygon : e.desc.face.polygon;
    const int64_t tint = group ? e.desc.group.tint : e.desc.face.tint;
    s.tint = tint < 0 ? (BackgroundIsDark() ? 0xF4F6F8u : 0x181A1Cu) : uint32_t(tint);
    s.commandId = uint32_t(e.CommandId());
    return s;
}

QImage CToolbarHostWnd::IconFor(const ToolbarButtonEntry& e, int height) {
    if (!e.IsButton()) return {};
    return ScaledIconImage(icons_, IconOf(e), height, devicePixelRatioF());
}

void CToolbarHostWnd::RecalcLayout() {
    auto iconWidth = [this](const ToolbarButtonEntry& e, int h) {
        BitmapPtr b = icons_.Scaled(IconOf(e), h);
        return b ? b->Width() : 0;
    };
    QFontMetrics fm(font_);
    auto textWidth = [&fm](const std::string& t) { return fm.horizontalAdvance(QString::fromStdString(t)); };
    LayoutToolbar(entries_, width(), height(), GetDpi(), iconWidth, textWidth);
}

void CToolbarHostWnd::UpdateCommandUI() {
    bool changed = false;
    for (ToolbarButtonEntry& e : entries_) {
        if (!e.IsButton()) continue;
        const int id = e.CommandId();
        bool enabled = true, checked = false;
        if (id == 0) {
            enabled = e.desc.kind == CToolbarButtonDesc::Group ? e.desc.group.enabled : e.desc.face.enabled;
        } else if (commandUi_) {
            CommandTable& table = commandUi_->Table();
            const CommandState s = table.QueryState(uint32_t(id), CommandUiKind::ToolbarButton);
            enabled = s.enabled;
            checked = e.desc.kind == CToolbarButtonDesc::Button && s.checked.value_or(false);
        }
        if (enabled != e.enabled || checked != e.checked) {
            e.enabled = enabled;
            e.checked = checked;
            changed = true;
        }
    }
    if (changed) update();
}

void CToolbarHostWnd::InvalidateEntry(int index) {
    if (index < 0 || index >= int(entries_.size())) return;
    const RectI& r = entries_[size_t(index)].rect;
    update(QRect(r.left, r.top, r.Width(), r.Height()));
}

void CToolbarHostWnd::OnMouseMove(unsigned, QPoint p) {
    const int hit = ToolbarHitTest(entries_, p.x(), p.y());
    if (hit != hot_) {
        InvalidateEntry(hot_);
        hot_ = hit;
        InvalidateEntry(hot_);
    }
}

void CToolbarHostWnd::OnMouseLeave() {
    InvalidateEntry(hot_);
    hot_ = -1;
}

void CToolbarHostWnd::OnLButtonDown(unsigned, QPoint p) {
    const int hit = ToolbarHitTest(entries_, p.x(), p.y());
    if (hit < 0 || !entries_[size_t(hit)].enabled) return;
    pressed_ = hit;
    InvalidateEntry(hit);
    SetCapture();
}

void CToolbarHostWnd::OnCaptureLost() {
    // A press whose capture is taken away ends without a click.
    InvalidateEntry(pressed_);
    pressed_ = -1;
}

void CToolbarHostWnd::OnLButtonUp(unsigned, QPoint p) {
    ReleaseCapture();
    const int was = pressed_;
    pressed_ = -1;
    InvalidateEntry(was);
    const int hit = ToolbarHitTest(entries_, p.x(), p.y());
    if (was < 0 || hit != was) return;
    ToolbarButtonEntry& e = entries_[size_t(hit)];
    if (!e.enabled) return;
    const bool flip = e.desc.kind == CToolbarButtonDesc::Group;
    if (flip) e.expanded = !e.expanded;
    const int id = e.CommandId();  // e may not survive the command
    if (id != 0 && commandUi_) commandUi_->Execute(uint32_t(id), CommandUiKind::ToolbarButton);
    if (flip) RecalcLayout();
    UpdateCommandUI();
    update();
}

void CToolbarHostWnd::resizeEvent(QResizeEvent* e) {
    CWndBase::resizeEvent(e);
    RecalcLayout();
    update();
}

bool CToolbarHostWnd::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const int hit = ToolbarHitTest(entries_, help->pos().x(), help->pos().y());
        if (hit < 0) {
            QToolTip::hideText();
            e->ignore();
            return true;
        }
        const ToolbarButtonEntry& entry = entries_[size_t(hit)];
        const QString title = QString::fromStdString(entry.tipTitle).toHtmlEscaped();
        const QString text =
            QString::fromStdString(entry.tipText.empty() ? entry.tipTitle : entry.tipText).toHtmlEscaped();
        QString html = title.isEmpty() ? text : "<b>" + title + "</b>";
        if (!title.isEmpty() && !text.isEmpty() && text != title) html += "<br>" + text;
        const RectI& r = entry.rect;
        QToolTip::showText(help->globalPos(), html, this, QRect(r.left, r.top, r.Width(), r.Height()));
        return true;
    }
    return CWndBase::event(e);
}

void CToolbarHostWnd::DrawButton(QPainter& p, const ToolbarButtonEntry& e, bool hot, bool pressed) {
    const QRect r(e.rect.left, e.rect.top, e.rect.Width(), e.rect.Height());
    auto s = [](int v) { return MulDiv(v, GetDpi(), 96); };
    QColor fill = theme_.background, frame;
    if (e.checked && e.enabled) fill = theme_.checkedFill, frame = theme_.checkedFrame;
    if (hot && e.enabled) fill = theme_.hoverFill, frame = theme_.hoverFrame;
    if (pressed && e.enabled) fill = theme_.pressedFill, frame = theme_.hoverFrame;
    if (!e.enabled) fill = BackgroundIsDark() ? QColor(43, 47, 53) : QColor(242, 242, 242), frame = QColor();
    p.fillRect(r, fill);
    if (frame.isValid()) {
        p.setPen(frame);
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    // Content.
    const bool group = e.desc.kind == CToolbarButtonDesc::Group;
    const int d = std::max(s(12), r.height() - 2 * s(4));
    QImage icon = IconFor(e, d);
    const int contentRight = group ? std::max(r.left(), r.right() + 1 - s(2) - s(14)) : r.right() + 1;
    const bool caption = !group && e.desc.face.displayMode == 2 && !e.desc.face.caption.empty();
    if (!icon.isNull()) {
        const QSizeF size = ClientSize(icon);
        const int iw = int(std::lround(size.width())), ih = int(std::lround(size.height()));
        const int x = caption ? r.left() + s(8) : r.left() + (contentRight - r.left() - iw) / 2;
        const int y = r.top() + (r.height() - ih) / 2;
        p.drawImage(QPointF(x, y), e.enabled ? icon : DisabledIcon(icon));
        if (caption) {
            p.setPen(BackgroundIsDark() ? (e.enabled ? QColor(226, 231, 238) : QColor(120, 126, 134))
                                        : (e.enabled ? QColor(30, 30, 30) : QColor(140, 140, 140)));
            const QRect box(x + iw + s(6), r.top(), contentRight - s(8) - (x + iw + s(6)), r.height());
            p.drawText(box, Qt::AlignVCenter | Qt::AlignLeft,
                       p.fontMetrics().elidedText(QString::fromStdString(e.desc.face.caption), Qt::ElideRight, box.width()));
        }
    } else {
        p.setPen(QColor(170, 170, 170));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(s(10), s(8), -s(10) - 1, -s(8) - 1));
    }
    if (group) {
        const int x = std::max(r.left() + s(10), r.right() + 1 - s(2) - s(14));
        p.fillRect(QRect(x, r.top() + s(4), std::max(1, s(1)), r.height() - 2 * s(4)), QColor(208, 208, 208));
        p.setPen(e.enabled ? QColor(70, 70, 70) : QColor(140, 140, 140));
        p.drawText(QRect(x + 1, r.top(), r.right() + 1 - s(2) - x - 1, r.height()), Qt::AlignCenter,
                   e.expanded ? "<" : ">");
    }
}

void CToolbarHostWnd::paintEvent(QPaintEvent* ev) {
    if (width() <= 0 || height() <= 0) return;
    CMemDC2 dc(this, ev->rect());
    QPainter& p = dc.Painter();
    p.setFont(font_);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const int W = width(), H = height();
    const int line = std::max(1, MulDiv(1, GetDpi(), 96));
    p.fillRect(rect(), theme_.background);
    p.fillRect(QRect(0, H - line, W, line), theme_.bottomLine);
    auto s = [](int v) { return MulDiv(v, GetDpi(), 96); };
    for (size_t i = 0; i < entries_.size(); ++i) {
        const ToolbarButtonEntry& e = entries_[i];
        if (e.rect.IsEmpty() && e.desc.kind != CToolbarButtonDesc::Separator) continue;
        const QRect r(e.rect.left, e.rect.top, e.rect.Width(), e.rect.Height());
        switch (e.desc.kind) {
        case CToolbarButtonDesc::Button:
        case CToolbarButtonDesc::Group: DrawButton(p, e, int(i) == hot_, int(i) == pressed_); break;
        case CToolbarButtonDesc::Separator:
            if (r.width() > 0)
                p.fillRect(QRect(r.left() + r.width() / 2, r.top() + s(3), std::max(1, s(1)), r.height() - 2 * s(3)),
                           BackgroundIsDark() ? theme_.bottomLine : QColor(196, 196, 196));
            break;
        case CToolbarButtonDesc::Label:
            p.setPen(BackgroundIsDark() ? QColor(150, 158, 170) : QColor(72, 72, 72));
            p.drawText(r.adjusted(s(6), 0, -s(6), 0), Qt::AlignVCenter | Qt::AlignLeft,
                       p.fontMetrics().elidedText(QString::fromStdString(e.desc.labelText), Qt::ElideRight,
                                                  r.width() - 2 * s(6)));
            break;
        }
    }
}
