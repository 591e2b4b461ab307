#include "properties/ui/CPropDialogs.h"

#include "platform/qt/ShellFonts.h"
#include "properties/ui/CColorWheelWnd.h"
#include "properties/ui/CPropColorWell.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

namespace {
QFont DialogFont() { return UiFont(11); }

// The dialogs' client: a window of the editor's own kind, so that owner-drawn
// children (the swatch) can report to it.
class DialogClient : public CWndBase {
public:
    explicit DialogClient(QWidget* parent) : CWndBase(parent) {}
    std::function<void(int id, int code)> onCommand;
    bool OnCommand(int id, int code, CWndBase*) override {
        if (onCommand) onCommand(id, code);
        return true;
    }
};

QPushButton* MakeButton(QWidget* parent, const QString& text, const QRect& r, bool isDefault) {
    auto* b = new QPushButton(text, parent);
    b->setGeometry(r);
    b->setDefault(isDefault);
    b->setAutoDefault(isDefault);
    return b;
}

QLabel* MakeStatic(QWidget* parent, const QString& text, const QRect& r) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(r);
    return l;
}
}  // namespace

QRect DialogUnits::Rect(int left, int top, int width, int height) const {
    return QRect(int(std::lround(left * x)), int(std::lround(top * y)), int(std::lround(width * x)),
                 int(std::lround(height * y)));
}

DialogUnits DialogUnitsOf(const QFont& font) {
    const QFontMetricsF m(font);
    DialogUnits du;
    // The average width of the letters, as dialog base units are measured,
    // so that texts laid out in dialog units fit in any font.
    du.x = std::max(1.0, m.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0 / 4.0);
    du.y = std::max(1.0, m.height() / 8.0);
    return du;
}

// --- Colour dialog ---
CMyColorSelectDlg::CMyColorSelectDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Color");
    setFont(DialogFont());
    const DialogUnits du = DialogUnitsOf(font());
    setFixedSize(du.Rect(0, 0, 171, 248).size());
    auto* client = new DialogClient(this);
    client->setGeometry(rect());
    client->onCommand = [this](int id, int code) {
        // Every change in the wheel: the chosen colour follows it.
        if (id == 1009 && code == kColorWheelChanged && wheel_) {
            color = ArgbToColorRef(wheel_->Argb());
            changed_ = true;
        }
    };
    client_ = client;
    auto* ok = MakeButton(client, "OK", du.Rect(52, 227, 50, 14), true);
    auto* cancel = MakeButton(client, "Cancel", du.Rect(114, 227, 50, 14), false);
    connect(ok, &QPushButton::clicked, this, &CMyColorSelectDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CMyColorSelectDlg::reject);
    auto* frame = new QFrame(client);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setGeometry(du.Rect(7, 7, 157, 213));
    placeholder_ = frame;
}

CMyColorSelectDlg::~CMyColorSelectDlg() = default;

void CMyColorSelectDlg::InitDialog() {
    if (wheel_ || !placeholder_) return;
    const QRect r = placeholder_->geometry();
    placeholder_->hide();
    wheel_ = new CColorWheelWnd(client_, 1009);
    wheel_->setGeometry(r);
    wheel_->show();
    wheel_->showPrevious = hasPrevious;
    if (hasPrevious) wheel_->SetColor(previousColor);
    wheel_->SetColor(color);  // the previous swatch keeps the colour set before
}

int CMyColorSelectDlg::exec() {
    InitDialog();
    return QDialog::exec();
}

void CMyColorSelectDlg::accept() {
    // Untouched, the starting colour comes back exactly: reading it back
    // through the wheel's HSL could lower a channel by one.
    if (wheel_ && changed_) color = ArgbToColorRef(wheel_->Argb());
    QDialog::accept();
}

// --- Anchor grid ---
CAnchorGridWnd::CAnchorGridWnd(QWidget* parent) : CWndBase(parent, 1004) {
    setObjectName("AnchorGrid");
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QRectF CAnchorGridWnd::CellRect(int i) const {
    const double cw = (width() - 12) / 3.0, ch = (height() - 12) / 3.0;
    const int col = i % 3, row = i / 3;
    return QRectF(3 + col * (cw + 3), 3 + row * (ch + 3), cw, ch);
}

void CAnchorGridWnd::OnLButtonDown(unsigned, QPoint point) {
    setFocus(Qt::MouseFocusReason);
    if (!rect().contains(point) || CellRect(0).width() <= 0 || CellRect(0).height() <= 0) return;
    for (int i = 0; i < 9; ++i) {
        const QRectF c = CellRect(i);
        if (point.x() >= c.left() && point.x() <= c.right() && point.y() >= c.top() && point.y() <= c.bottom()) {
            if (i != selected) selected = i, update();
            return;
        }
    }
}

void CAnchorGridWnd::keyPressEvent(QKeyEvent* e) {
    int col = selected % 3, row = selected / 3;
    switch (e->key()) {
    case Qt::Key_Left: col = std::max(0, col - 1); break;
    case Qt::Key_Right: col = std::min(2, col + 1); break;
    case Qt::Key_Up: row = std::max(0, row - 1); break;
    case Qt::Key_Down: row = std::min(2, row + 1); break;
    default: CWndBase::keyPressEvent(e); return;
    }
    const int next = col + 3 * row;
    if (next != selected) selected = next, update();
}

namespace {
void DrawAnchorArrow(QPainter& p, QPointF c, QPointF d, QPointF tip, double m, const QColor& color) {
    const QPointF s = c + d * (0.13 * m + 0.05 * m);
    const QPointF b = tip - d * (0.2 * m);
    const QPointF bs = b - s;
    if (bs.x() * d.x() + bs.y() * d.y() > 0.5) {
        QPen pen(color, 1.4);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.drawLine(s, b);
    }
    QPolygonF head;
    head << tip << b + QPointF(-d.y(), d.x()) * (0.11 * m) << b + QPointF(d.y(), -d.x()) * (0.11 * m);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(head);
}
}  // namespace

void CAnchorGridWnd::paintEvent(QPaintEvent*) {
    if (width() <= 0 || height() <= 0) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), ArgbColor(0xFFF0F0F0));
    static const double f[3] = {0.27, 0.5, 0.73};
    for (int i = 0; i < 9; ++i) {
        const QRectF c = CellRect(i);
        const bool sel = i == selected;
        QLinearGradient g(c.topLeft(), c.bottomLeft());
        g.setColorAt(0, ArgbColor(sel ? 0xFF6CA8EE : 0xFFFEFEFF));
        g.setColorAt(1, ArgbColor(sel ? 0xFF387ED6 : 0xFFD8DCE4));
        QPainterPath path;
        path.addRoundedRect(c, 3, 3);
        p.fillPath(path, g);
        p.setPen(QPen(ArgbColor(sel ? 0xFF2660AF : 0xFF98A0AE), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        if (sel) {
            p.setPen(QPen(ArgbColor(0x46FFFFFF), 1));
            p.drawLine(QPointF(c.x() + 3, c.y() + 0.7), QPointF(c.x() + c.width() - 3, c.y() + 0.7));
        }
        const QColor mark = ArgbColor(sel ? 0xFFFFFFFF : 0xFF1C1C1C);
        const int col = i % 3, row = i / 3;
        const double m = std::min(c.width(), c.height());
        const QPointF pt(c.x() + c.width() * f[col], c.y() + c.height() * f[row]);
        p.setPen(Qt::NoPen);
        p.setBrush(mark);
        p.drawEllipse(pt, 0.13 * m, 0.13 * m);
        if (row > 0) DrawAnchorArrow(p, pt, {0, -1}, {pt.x(), c.y() + 0.1 * m}, m, mark);
        if (row < 2) DrawAnchorArrow(p, pt, {0, 1}, {pt.x(), c.y() + c.height() - 0.1 * m}, m, mark);
        if (col > 0) DrawAnchorArrow(p, pt, {-1, 0}, {c.x() + 0.1 * m, pt.y()}, m, mark);
        if (col < 2) DrawAnchorArrow(p, pt, {1, 0}, {c.x() + c.width() - 0.1 * m, pt.y()}, m, mark);
    }
    if (hasFocus()) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

// --- Canvas size dialog ---
CSetCanvasSizeDlg::CSetCanvasSizeDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Set Canvas");
    setFont(DialogFont());
    const DialogUnits du = DialogUnitsOf(font());
    setFixedSize(du.Rect(0, 0, 223, 214).size());
    auto* client = new DialogClient(this);
    client->setGeometry(rect());
    client->onCommand = [this](int id, int code) {
        if (id == 1008 && code == kPropClick) PickColor();
    };
    QWidget* c = client;
    auto* ok = MakeButton(c, "OK", du.Rect(112, 193, 50, 14), true);
    auto* cancel = MakeButton(c, "Cancel", du.Rect(166, 193, 50, 14), false);
    connect(ok, &QPushButton::clicked, this, &CSetCanvasSizeDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CSetCanvasSizeDlg::reject);
    MakeStatic(c, "New Size", du.Rect(7, 7, 40, 8));
    MakeStatic(c, "Anchor", du.Rect(7, 52, 40, 8));
    widthEdit = new QLineEdit(c);
    widthEdit->setGeometry(du.Rect(61, 20, 30, 14));
    heightEdit = new QLineEdit(c);
    heightEdit->setGeometry(du.Rect(61, 37, 30, 14));
    unitCombo = new QComboBox(c);
    unitCombo->setGeometry(du.Rect(98, 20, 64, 14));
    linkedCheck = new QCheckBox("Linked", c);
    linkedCheck->setGeometry(du.Rect(99, 39, 44, 10));
    widthPreview = MakeStatic(c, "W:", du.Rect(170, 23, 52, 8));
    heightPreview = MakeStatic(c, "H:", du.Rect(170, 39, 52, 8));
    grid_ = new CAnchorGridWnd(c);
    grid_->setGeometry(du.Rect(63, 60, 68, 55));
    MakeStatic(c, "Canvas Color", du.Rect(7, 122, 52, 8));
    const char* radioTexts[3] = {"White", "Transparent", "Custom"};
    const QRect radioRects[3] = {du.Rect(59, 134, 40, 10), du.Rect(59, 149, 60, 10), du.Rect(59, 165, 42, 10)};
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        colorRadios[i] = new QRadioButton(radioTexts[i], c);
        colorRadios[i]->setGeometry(radioRects[i]);
        group->addButton(colorRadios[i], i);
    }
    swatch_ = new CColorWellWnd(c);
    swatch_->Create(c, 1008, du.Rect(103, 162, 19, 15));
    swatch_->hide();
    connect(unitCombo, &QComboBox::currentIndexChanged, this, [this](int) { OnUnitChange(); });
    connect(widthEdit, &QLineEdit::textChanged, this, [this] { OnSizeChange(true); });
    connect(heightEdit, &QLineEdit::textChanged, this, [this] { OnSizeChange(false); });
    connect(group, &QButtonGroup::idClicked, this, [this](int) { OnColorMode(); });
    onInvalidInput = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
    runColorDialog = [this](uint32_t& colorRef) {
        CMyColorSelectDlg dlg(this);
        dlg.color = colorRef;
        dlg.previousColor = colorRef;
        dlg.hasPrevious = true;
        if (dlg.exec() != QDialog::Accepted) return false;
        colorRef = dlg.color;
        return true;
    };
}

void CSetCanvasSizeDlg::InitDialog() {
    if (initialised_) return;
    initialised_ = true;
    oldWidth_ = std::max(1, resultWidth);
    oldHeight_ = std::max(1, resultHeight);
    unit_ = kCanvasUnitPixels;
    updating_ = true;  // writing the fields runs no change handler
    widthEdit->setText(QString::number(oldWidth_));
    heightEdit->setText(QString::number(oldHeight_));
    linkedCheck->setChecked(true);
    colorRadios[std::clamp(colorMode, 0, 2)]->setChecked(true);
    unitCombo->clear();
    unitCombo->addItem("Pixels");
    unitCombo->addItem("Percent");
    unitCombo->setCurrentIndex(0);
    grid_->selected = std::clamp(initialAnchor, 0, 8);
    updating_ = false;
    UpdateSizeLabels();
    UpdateSwatch();
}

int CSetCanvasSizeDlg::exec() {
    InitDialog();
    return QDialog::exec();
}

void CSetCanvasSizeDlg::UpdateSizeLabels() {
    const int32_t w = CanvasSidePreview(ParseCanvasSizeNumber(widthEdit->text().toStdString()), oldWidth_, unit_);
    const int32_t h = CanvasSidePreview(ParseCanvasSizeNumber(heightEdit->text().toStdString()), oldHeight_, unit_);
    widthPreview->setText(QString("W: %1 px").arg(w));
    heightPreview->setText(QString("H: %1 px").arg(h));
}

void CSetCanvasSizeDlg::OnUnitChange() {
    if (updating_) return;
    const int unit = unitCombo->currentIndex() == 1 ? kCanvasUnitPercent : kCanvasUnitPixels;
    if (unit == unit_) return;
    const auto w = ParseCanvasSizeNumber(widthEdit->text().toStdString());
    const auto h = ParseCanvasSizeNumber(heightEdit->text().toStdString());
    updating_ = true;
    widthEdit->setText(QString::number(CanvasSideConverted(w, oldWidth_, unit)));
    heightEdit->setText(QString::number(CanvasSideConverted(h, oldHeight_, unit)));
    unit_ = unit;
    updating_ = false;
    UpdateSizeLabels();
}

void CSetCanvasSizeDlg::OnSizeChange(bool widthTyped) {
    if (updating_) return;
    QLineEdit* typed = widthTyped ? widthEdit : heightEdit;
    QLineEdit* other = widthTyped ? heightEdit : widthEdit;
    const auto n = ParseCanvasSizeNumber(typed->text().toStdString());
    if (linkedCheck->isChecked() && n && *n > 0) {
        updating_ = true;
        const uint32_t v = widthTyped ? CanvasLinkedSide(*n, oldWidth_, oldHeight_, unit_)
                                      : CanvasLinkedSide(*n, oldHeight_, oldWidth_, unit_);
        other->setText(QString::number(v));
        updating_ = false;
    }
    UpdateSizeLabels();
}

void CSetCanvasSizeDlg::OnColorMode() {
    for (int i = 0; i < 3; ++i)
        if (colorRadios[i]->isChecked()) colorMode = i;
    UpdateSwatch();
}

void CSetCanvasSizeDlg::UpdateSwatch() {
    if (!swatch_) return;
    if (colorMode != 2) {
        swatch_->hide();
        return;
    }
    swatch_->color = customColor;
    swatch_->update();
    swatch_->show();
}

void CSetCanvasSizeDlg::PickColor() {
    uint32_t c = customColor;
    if (!runColorDialog || !runColorDialog(c)) return;
    customColor = c;
    colorMode = 2;
    colorRadios[2]->setChecked(true);
    UpdateSwatch();
}

void CSetCanvasSizeDlg::accept() {
    const auto w = ParseCanvasSizeInteger(widthEdit->text().toStdString());
    const auto h = ParseCanvasSizeInteger(heightEdit->text().toStdString());
    if (!w || !h) {
        if (onInvalidInput) onInvalidInput("Enter an integer.");
        (w ? heightEdit : widthEdit)->setFocus();
        return;
    }
    resultWidth = CanvasSideResult(*w, oldWidth_, unit_);
    resultHeight = CanvasSideResult(*h, oldHeight_, unit_);
    for (int i = 0; i < 3; ++i)
        if (colorRadios[i]->isChecked()) colorMode = i;
    QDialog::accept();
}

// --- Provider ---
bool PropDialogProvider::RunCanvasSizeDialog(CanvasSizeDialogValues& values) {
    CSetCanvasSizeDlg dlg(parent);
    dlg.resultWidth = values.width;
    dlg.resultHeight = values.height;
    dlg.colorMode = values.colorChoice;
    dlg.customColor = values.customColor;
    dlg.initialAnchor = values.anchor;
    dlg.InitDialog();
    if (onDialogShown) QMetaObject::invokeMethod(&dlg, [this, &dlg] { onDialogShown(dlg); }, Qt::QueuedConnection);
    if (dlg.exec() != QDialog::Accepted) return false;
    values.width = dlg.resultWidth;
    values.height = dlg.resultHeight;
    values.colorChoice = dlg.colorMode;
    values.customColor = dlg.customColor;
    values.anchor = dlg.Anchor();
    return true;
}
