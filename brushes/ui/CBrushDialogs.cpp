#include "brushes/ui/CBrushDialogs.h"

#include "brushes/BrushLibraryEdits.h"
#include "brushes/ui/CBrushControls.h"
#include "platform/Prompts.h"
#include "platform/qt/ShellFonts.h"
#include "platform/qt/WindowBase.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

namespace {

// Dialog units of the dialog's font: a quarter of the average character
// width across, an eighth of the height down.
struct DialogUnits {
    double x = 1.5, y = 1.625;
    explicit DialogUnits(const QWidget* w) {
        const QFontMetrics m(w->font());
        x = m.averageCharWidth() / 4.0;
        y = m.height() / 8.0;
    }
    QRect Rect(int l, int t, int width, int height) const {
        return QRect(int(std::lround(l * x)), int(std::lround(t * y)), int(std::lround(width * x)),
                     int(std::lround(height * y)));
    }
};

QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), int(s.size())); }
std::string FromQ(const QString& s) { return s.toUtf8().toStdString(); }

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

void Warn(Prompts* prompts, const std::string& text) {
    if (prompts) prompts->Warn(text);
}

// Hosts an owner-drawn control inside a dialog and hands its command
// notifications to the dialog.
class CommandRelay : public CWndBase {
public:
    CommandRelay(QWidget* parent, std::function<void(int, int)> onCommand)
        : CWndBase(parent), onCommand_(std::move(onCommand)) {}
    bool OnCommand(int id, int code, CWndBase*) override {
        if (onCommand_) onCommand_(id, code);
        return true;
    }

protected:
    void resizeEvent(QResizeEvent*) override {
        for (QObject* c : children())
            if (auto* w = qobject_cast<QWidget*>(c)) w->setGeometry(rect());
    }

private:
    std::function<void(int, int)> onCommand_;
};

}  // namespace

// ------------------------------------------------------------------ Add Brush

CAddBrushDlg::CAddBrushDlg(QWidget* parent, Prompts* prompts) : QDialog(parent), prompts_(prompts) {
    setWindowTitle("Add Brush");
    setModal(true);
    setFont(UiFont(12));
    const DialogUnits du(this);
    setFixedSize(du.Rect(0, 0, 193, 153).size());
    preview_ = new QWidget(this);
    preview_->setGeometry(du.Rect(7, 7, 179, 33));
    preview_->installEventFilter(this);
    auto* label = new QLabel("Name", this);
    label->setGeometry(du.Rect(7, 44, 40, 9));
    name_ = new QLineEdit(this);
    name_->setGeometry(du.Rect(7, 55, 179, 14));
    current_ = new QRadioButton("Current Library", this);
    current_->setGeometry(du.Rect(7, 76, 179, 10));
    user_ = new QRadioButton("User", this);
    user_->setGeometry(du.Rect(7, 91, 40, 10));
    fresh_ = new QRadioButton("New", this);
    fresh_->setGeometry(du.Rect(7, 107, 32, 10));
    newLibrary_ = new QLineEdit(this);
    newLibrary_->setGeometry(du.Rect(41, 105, 61, 14));
    auto* ok = new QPushButton("OK", this);
    ok->setGeometry(du.Rect(81, 132, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setGeometry(du.Rect(135, 132, 50, 14));
    connect(ok, &QPushButton::clicked, this, &CAddBrushDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CAddBrushDlg::reject);
    for (QRadioButton* b : {current_, user_, fresh_}) connect(b, &QRadioButton::toggled, this, [this] { OnLibraryChoice(); });

    RenderPreview();
    current_->setChecked(true);
    newLibrary_->setText(Utf8(ProposeLibraryName(ListBrushLibraries())));
    OnLibraryChoice();
}

void CAddBrushDlg::SetSettings(const BrushSettings& settings) {
    settings_ = settings;
    RenderPreview();
    preview_->update();
}

void CAddBrushDlg::SetBrushName(const std::string& name) { name_->setText(Utf8(name)); }
std::string CAddBrushDlg::BrushName() const { return FromQ(name_->text()); }

void CAddBrushDlg::OnLibraryChoice() {
    const bool fresh = fresh_->isChecked();
    newLibrary_->setEnabled(fresh);
    if (fresh && isVisible()) {
        newLibrary_->setFocus();
        newLibrary_->selectAll();
    }
}

void CAddBrushDlg::RenderPreview() {
    std::fill(coverage_.begin(), coverage_.end(), 0);
    BrushSettings s = settings_;
    if (!(s.size >= 3.0f)) s.size = 3.0f;
    const int n = TipSizeFor(s.size);
    const std::vector<float>& tip = renderer_.BuildTip(s).Tip();
    if (tip.empty()) return;
    const float half = float(n) / 2.0f;
    const float margin = std::max(half + 2.0f, 4.0f);
    const float end = 350.0f - margin;
    const float amplitude = std::max(50.0f - half - 4.0f, 1.0f);
    const float step = std::max(SpacingFactor(s) * s.size, 0.5f);
    if (!(end > margin)) return;
    const float k = 2.0f * 3.14159265f / (end - margin);
    for (float x = margin; x <= end; x += step) {
        const int y = int(std::floor(std::sin((x - margin) * k) * amplitude + 50.0f));
        const int x0 = int(std::floor(x));
        for (int i = 0; i < n; ++i) {
            const int row = y - n / 2 + i;
            if (row < 0 || row >= 100) continue;
            for (int j = 0; j < n; ++j) {
                const int col = x0 - n / 2 + j;
                const float t = tip[size_t(i) * n + j];
                if (col < 0 || col >= 350 || t <= 0.0f) continue;
                const float c = std::min(t, 1.0f);
                uint8_t& v = coverage_[size_t(row) * 350 + col];
                v = uint8_t(std::min(1.0f, v / 255.0f * (1.0f - c) + c) * 255.0f + 0.5f);
            }
        }
    }
}

bool CAddBrushDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == preview_ && event->type() == QEvent::Paint) {
        QPainter p(preview_);
        QImage image(350, 100, QImage::Format_ARGB32);
        for (int y = 0; y < 100; ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < 350; ++x) {
                const int g = 255 - coverage_[size_t(y) * 350 + x];
                row[x] = qRgb(g, g, g);
            }
        }
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawImage(preview_->rect(), image);
        p.setPen(Qt::black);
        p.drawRect(preview_->rect().adjusted(0, 0, -1, -1));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CAddBrushDlg::accept() {
    if (user_->isChecked()) {
        choice_ = 1;
        newLibraryFile_.clear();
    } else if (fresh_->isChecked()) {
        choice_ = 2;
        std::string file;
        const LibraryNameResult result = CleanLibraryFileName(FromQ(newLibrary_->text()), file);
        if (result != LibraryNameResult::Ok) {
            Warn(prompts_, LibraryNameMessage(result));
            newLibrary_->setFocus();
            return;
        }
        newLibraryFile_ = file;
    } else {
        choice_ = 0;
        newLibraryFile_.clear();
    }
    QDialog::accept();
}

// ------------------------------------------------------------------ Brush Manager

CBrushManager::CBrushManager(QWidget* parent, Prompts* prompts) : QDialog(parent), prompts_(prompts) {
    setWindowTitle("Brush Manager");
    setModal(true);
    setFont(UiFont(12));
    const DialogUnits du(this);
    setFixedSize(du.Rect(0, 0, 309, 214).size());
    BrushLibrary& library = GetBrushLibrary();
    backup_ = library.entries;

    combo_ = new QComboBox(this);
    combo_->setGeometry(du.Rect(7, 7, 119, 14));
    for (const std::string& name : ListBrushLibraries()) combo_->addItem(Utf8(name));
    SelectComboItemOfCurrent();

    auto* relay = new CommandRelay(this, [this](int id, int) {
        if (id == 1100) OnBrushListSelect();
    });
    relay->setGeometry(du.Rect(7, 25, 119, 182));
    list_ = new CPropBrushLibrary(relay, 1100);
    list_->setGeometry(relay->rect());

    auto* label = new QLabel("Name", this);
    label->setGeometry(du.Rect(133, 25, 40, 9));
    name_ = new QLineEdit(this);
    name_->setGeometry(du.Rect(132, 38, 115, 14));
    auto button = [&](const char* text, QRect r, void (CBrushManager::*slot)()) {
        auto* b = new QPushButton(text, this);
        b->setGeometry(r);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    button("Apply", du.Rect(252, 38, 50, 14), &CBrushManager::OnApply);
    button("Move Up", du.Rect(135, 63, 50, 14), &CBrushManager::OnMoveUp);
    button("Move Down", du.Rect(135, 81, 50, 14), &CBrushManager::OnMoveDown);
    button("Delete", du.Rect(135, 116, 50, 14), &CBrushManager::OnDelete);
    QPushButton* ok = button("OK", du.Rect(198, 193, 50, 14), &CBrushManager::accept);
    ok->setDefault(true);
    button("Cancel", du.Rect(252, 193, 50, 14), &CBrushManager::reject);
    connect(combo_, QOverload<int>::of(&QComboBox::activated), this, [this](int) { OnLibrarySelChange(); });

    if (!library.entries.empty()) list_->SetSelectedIndex(0);
    list_->ClampSelection();
    UpdateNameField();
}

void CBrushManager::SelectComboItemOfCurrent() {
    const std::string& current = GetBrushLibrary().name;
    int match = -1;
    for (int i = 0; i < combo_->count(); ++i)
        if (SameName(FromQ(combo_->itemText(i)), current)) match = i;
    combo_->setCurrentIndex(match);
}

void CBrushManager::UpdateNameField() {
    const BrushLibrary& library = GetBrushLibrary();
    const int i = list_->SelectedIndex();
    name_->setText(i >= 0 && i < int(library.entries.size()) ? Utf8(library.entries[size_t(i)].name) : QString());
}

void CBrushManager::OnBrushListSelect() { UpdateNameField(); }

void CBrushManager::OnApply() {
    BrushLibrary& library = GetBrushLibrary();
    const int i = list_->SelectedIndex();
    if (i >= 0 && i < int(library.entries.size())) {
        library.entries[size_t(i)].name = FromQ(name_->text());
        modified_ = true;
    }
    list_->update();
}

void CBrushManager::OnMoveUp() {
    bool changed = false;
    const int next = MoveBrushUp(GetBrushLibrary().entries, list_->SelectedIndex(), changed);
    if (!changed) return;
    modified_ = true;
    list_->SetSelectedIndex(next);
    list_->update();
}

void CBrushManager::OnMoveDown() {
    bool changed = false;
    const int next = MoveBrushDown(GetBrushLibrary().entries, list_->SelectedIndex(), changed);
    if (!changed) return;
    modified_ = true;
    list_->SetSelectedIndex(next);
    list_->update();
}

void CBrushManager::OnDelete() {
    bool changed = false;
    const int next = DeleteBrush(GetBrushLibrary().entries, list_->SelectedIndex(), changed);
    if (!changed) return;
    modified_ = true;
    list_->SetSelectedIndex(next);
    list_->ClampSelection();
    UpdateNameField();
}

void CBrushManager::OnLibrarySelChange() {
    const int index = combo_->currentIndex();
    if (index < 0) return;
    const std::string chosen = FromQ(combo_->itemText(index));
    BrushLibrary& library = GetBrushLibrary();
    if (SameName(chosen, library.name)) return;
    if (modified_) {
        PromptAnswer answer = PromptAnswer::No;
        if (prompts_)
            answer = prompts_->ShowMessage(MakeMessage("Save changes to \"" + library.name + "\" before switching?",
                                                       PromptIcon::Question, PromptButtons::YesNoCancel));
        if (answer == PromptAnswer::Cancel) {
            SelectComboItemOfCurrent();
            return;
        }
        if (answer == PromptAnswer::Yes && (library.path.empty() || !library.Save(library.path))) {
            // Switching now would drop the edits the user asked to keep: the
            // library and its edits stay, so they can be saved another way.
            Warn(prompts_, "Could not save the previous brush library to disk.");
            SelectComboItemOfCurrent();
            return;
        }
    }
    if (SelectBrushLibrary(chosen)) {
        backup_ = GetBrushLibrary().entries;
        modified_ = false;
        list_->SetSelectedIndex(GetBrushLibrary().entries.empty() ? -1 : 0);
        list_->ClampSelection();
        UpdateNameField();
    } else {
        Warn(prompts_, "Could not load the selected brush library.");
        SelectComboItemOfCurrent();
    }
}

void CBrushManager::accept() {
    const BrushLibrary& library = GetBrushLibrary();
    if (library.path.empty() || !library.Save(library.path)) Warn(prompts_, "Could not save the brush library to disk.");
    saved_ = true;
    QDialog::accept();
}

void CBrushManager::reject() {
    if (!saved_) GetBrushLibrary().entries = backup_;
    QDialog::reject();
}
