#include "canvas_view/ui/CPropTabEyedropper.h"

#include "canvas_view/EyedropperColor.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentHost.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropertiesPane.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>

namespace {

constexpr uint32_t kDefaultPaintColour = 0xFF1E74AA;
constexpr int kEditHeight = 16;

DocumentHost* ActiveHost() {
    CQuillfenEditorDoc* doc = GetActiveDocument();
    return doc ? doc->Host() : nullptr;
}

QLineEdit* MakeEdit(QWidget* parent, const QFont& font) {
    auto* e = new QLineEdit(parent);
    e->setFont(font);
    e->setFrame(false);
    e->setStyleSheet("QLineEdit { background: #24272C; color: #DCE0E6; border: none; padding: 0px; }");
    e->show();
    return e;
}

}  // namespace

CPropTabEyedropper::CPropTabEyedropper(QWidget* parent) : CWndBase(parent, 4112) {
    const QFont font = CreateUiFont();
    rgb_ = MakeEdit(this, font);
    rgb_->setObjectName("PickerRgb");
    hex_ = MakeEdit(this, font);
    hex_->setObjectName("PickerHex");
    rgb_->installEventFilter(this);
    hex_->installEventFilter(this);
    rgbCopy_ = new CPropTextButton(this);
    rgbCopy_->Create(this, kRgbCopy, "Copy", QRect(0, 0, 50, 25));
    hexCopy_ = new CPropTextButton(this);
    hexCopy_->Create(this, kHexCopy, "Copy", QRect(0, 0, 50, 25));
    PropGroup g;
    g.rows = 4;
    g.cells = {PropWindowCell(rgb_, 0, 0, 3), PropWindowCell(rgbCopy_, 3, 0), PropWindowCell(hex_, 0, 1, 3),
               PropWindowCell(hexCopy_, 3, 1)};
    layout_.push_back(g);
    UpdateReadouts(true);
}

bool CPropTabEyedropper::ReadPaintColour(uint32_t& argb) const {
    DocumentHost* host = ActiveHost();
    if (!host) return false;
    if (!host->GetPaintColour(argb)) argb = kDefaultPaintColour;
    argb |= 0xFF000000u;
    return true;
}

void CPropTabEyedropper::UpdateReadouts(bool force) {
    uint32_t argb = 0;
    if (!ReadPaintColour(argb)) return;
    if (!force && shownOnce_ && (argb & 0xFFFFFF) == (lastShown_ & 0xFFFFFF)) return;
    WriteReadouts(argb, false);
}

void CPropTabEyedropper::RestoreReadouts() {
    uint32_t argb = lastShown_;
    if (ReadPaintColour(argb) || shownOnce_) WriteReadouts(argb, true);
}

void CPropTabEyedropper::WriteReadouts(uint32_t argb, bool includeFocused) {
    lastShown_ = argb;
    shownOnce_ = true;
    // A field being typed in keeps its text.
    if (includeFocused || !rgb_->hasFocus()) rgb_->setText(QString::fromStdString(FormatRgbText(argb)));
    if (includeFocused || !hex_->hasFocus()) hex_->setText(QString::fromStdString(FormatHexText(argb)));
}

void CPropTabEyedropper::ApplyColour(uint32_t argb) {
    // The colour wheel takes it and it goes on to the active colour target.
    if (DocumentHost* host = ActiveHost()) host->SetPaintColour(argb);
    WriteReadouts(argb, true);
}

void CPropTabEyedropper::ApplyRgbText() {
    uint32_t argb = 0;
    if (ParseRgbText(rgb_->text().toStdString(), argb)) ApplyColour(argb);
    else RestoreReadouts();
}

void CPropTabEyedropper::ApplyHexText() {
    uint32_t argb = 0;
    if (ParseHexColor(hex_->text().toStdString(), argb)) ApplyColour(argb);
    else RestoreReadouts();
}

bool CPropTabEyedropper::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::FocusOut) {
        if (watched == rgb_) ApplyRgbText();
        else if (watched == hex_) ApplyHexText();
    }
    return CWndBase::eventFilter(watched, e);
}

bool CPropTabEyedropper::OnCommand(int id, int code, CWndBase* sender) {
    if (code == kPropClick && id == kRgbCopy) {
        CopyTextToClipboard(rgb_->text());
        return true;
    }
    if (code == kPropClick && id == kHexCopy) {
        CopyTextToClipboard(hex_->text());
        return true;
    }
    return CWndBase::OnCommand(id, code, sender);
}

void CPropTabEyedropper::OnTimer(int id) {
    if (id == kReadoutTimer) UpdateReadouts(false);
    else CWndBase::OnTimer(id);
}

void CPropTabEyedropper::showEvent(QShowEvent* e) {
    CWndBase::showEvent(e);
    // The wheel can change the colour without telling the tab: it is polled
    // while the tab is visible.
    if (!HasTimer(kReadoutTimer)) {
        SetTimer(kReadoutTimer, 100);
        UpdateReadouts(true);
    }
}

void CPropTabEyedropper::hideEvent(QHideEvent* e) {
    if (HasTimer(kReadoutTimer)) KillTimer(kReadoutTimer);
    CWndBase::hideEvent(e);
}

void CPropTabEyedropper::resizeEvent(QResizeEvent*) {
    if (width() <= 0 || height() <= 0) return;
    LayoutPropGroups(QPoint(0, 0), layout_);
    // The edits are one text line high, centred in their cells.
    for (const PropCell& c : layout_.front().cells) {
        if (c.window != rgb_ && c.window != hex_) continue;
        c.window->setGeometry(c.rect.left, c.rect.top + 2 + (c.rect.Height() - kEditHeight) / 2, c.rect.Width(),
                              kEditHeight);
    }
    update();
}

void CPropTabEyedropper::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    p.fillRect(e->rect(), ArgbColor(kPropPanelBackground));
}

void CopyTextToClipboard(const QString& text) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(text);
}

void RegisterEyedropperTab() {
    CPropertiesPane::RegisterTabFactory(PropTabKind::Eyedropper,
                                        [](QWidget* pane) -> IPropertyTab* { return new CPropTabEyedropper(pane); });
}
