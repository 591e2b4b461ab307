#include "brushes/ui/CManageKitbashDlg.h"

#include "brushes/StencilLibraryStore.h"
#include "platform/Files.h"
#include "platform/Prompts.h"
#include "platform/qt/CMemDC2.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPaintEvent>
#include <QPushButton>
#include <QUrl>

#include <algorithm>

namespace {

constexpr char kLoadFilter[] =
    "PNG (*.png)|*.png|All images (*.png;*.jpg;*.jpeg;*.bmp;*.tif;*.tiff)|*.png;*.jpg;*.jpeg;*.bmp;*.tif;*.tiff|"
    "All files (*.*)|*.*||";

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

bool EqualNoCase(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

}  // namespace

// ------------------------------------------------------------------ preview

CKitbashPreview::CKitbashPreview(QWidget* parent, int id) : CWndBase(parent, id) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CKitbashPreview::SetBitmap(BitmapPtr bitmap) {
    bitmap_ = std::move(bitmap);
    update();
}

void CKitbashPreview::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    const int w = width(), h = height();
    for (int y = 0; y < h; y += 8)
        for (int x = 0; x < w; x += 8)
            p.fillRect(x, y, 8, 8, ((y / 8 + x / 8) % 2) ? QColor(160, 160, 160) : QColor(200, 200, 200));
    if (bitmap_ && bitmap_->Width() > 0 && bitmap_->Height() > 0 && w > 0 && h > 0) {
        const QImage image(bitmap_->Data(), bitmap_->Width(), bitmap_->Height(), bitmap_->Stride(), QImage::Format_ARGB32);
        const double s = std::min(double(w) / image.width(), double(h) / image.height());
        const double dw = s * image.width(), dh = s * image.height();
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawImage(QRectF((w - dw) / 2, (h - dh) / 2, dw, dh), image);
    }
    // The frame as four filled strips of the edge pixels: a 1-pixel pen at a
    // fractional device pixel ratio leaves a sliver of the checker outside it.
    const QColor frame = QColor::fromRgba(0xFF282C32);
    p.fillRect(0, 0, w, 1, frame);
    p.fillRect(0, h - 1, w, 1, frame);
    p.fillRect(0, 0, 1, h, frame);
    p.fillRect(w - 1, 0, 1, h, frame);
}

// ------------------------------------------------------------------ dialog

CManageKitbashDlg::CManageKitbashDlg(QWidget* parent, Prompts* prompts) : QDialog(parent), prompts_(prompts) {
    setWindowTitle("Manage Kitbash");
    QFont font("MS Shell Dlg");
    font.setPointSize(8);
    setFont(font);
    // Dialog units from the font: a quarter of the average character width
    // across, an eighth of the line height down.
    const QFontMetrics fm(font);
    const double ux = fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0 / 4.0;
    const double uy = fm.height() / 8.0;
    auto place = [&](QWidget* w, int x, int y, int cx, int cy) {
        w->setGeometry(int(x * ux + 0.5), int(y * uy + 0.5), int(cx * ux + 0.5), int(cy * uy + 0.5));
    };
    setFixedSize(int(309 * ux + 0.5), int(195 * uy + 0.5));

    auto* label = new QLabel("Folder", this);
    place(label, 7, 7, 21, 8);
    list_ = new QListWidget(this);
    place(list_, 7, 26, 128, 115);
    auto* newButton = new QPushButton("New", this);
    place(newButton, 7, 146, 38, 14);
    edit_ = new QLineEdit(this);
    place(edit_, 49, 146, 86, 14);
    auto* explorer = new QPushButton("Open Folder", this);
    place(explorer, 7, 174, 95, 14);
    auto* load = new QPushButton("Load", this);
    place(load, 155, 7, 147, 14);
    preview_ = new CKitbashPreview(this, 1018);
    place(preview_, 153, 27, 149, 114);
    auto* ok = new QPushButton("OK", this);
    place(ok, 198, 174, 50, 14);
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    place(cancel, 252, 174, 50, 14);

    connect(load, &QPushButton::clicked, this, [this] { OnLoad(); });
    connect(newButton, &QPushButton::clicked, this, [this] { OnNewFolder(); });
    connect(explorer, &QPushButton::clicked, this, [this] { OnOpenFolder(); });
    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    CreateDirectories(StencilPaths::GetUserRoot());
    FillFolderList(StencilLibraryStore::Instance().activeName);
}

void CManageKitbashDlg::FillFolderList(const std::string& select) {
    list_->clear();
    const QString wanted = QString::fromStdString(select);
    int row = -1;
    for (const std::string& name : StencilLibraryStore::Instance().ListLibraries()) {
        list_->addItem(QString::fromStdString(name));
        if (EqualNoCase(list_->item(list_->count() - 1)->text(), wanted)) row = list_->count() - 1;
    }
    if (row < 0 && list_->count() > 0) row = 0;
    if (row >= 0) list_->setCurrentRow(row);
}

void CManageKitbashDlg::OnLoad() {
    if (!prompts_) return;
    OpenFileRequest request;
    request.filters = ParseFileFilters(kLoadFilter);
    request.defaultExtension = "png";
    const std::vector<std::string> chosen = prompts_->AskOpenFiles(request);
    if (chosen.empty()) return;
    BitmapPtr image = DecodeStencilFile(chosen.front());
    if (!image) {
        prompts_->Fail("Failed to load image.");
        return;
    }
    image_ = std::move(image);
    baseName_ = FileStem(chosen.front());
    preview_->SetBitmap(image_);
}

void CManageKitbashDlg::OnNewFolder() {
    const std::string name = CleanFolderName(edit_->text().toStdString());
    if (name.empty()) {
        if (prompts_) prompts_->Inform("Enter a folder name.");
        edit_->setFocus();
        return;
    }
    if (!CreateDirectories(StencilPaths::GetUserRoot() + name)) {
        if (prompts_) prompts_->Fail("Could not create folder.");
        return;
    }
    FillFolderList(name);
    edit_->clear();
}

void CManageKitbashDlg::OnOpenFolder() {
    std::string target = StencilPaths::GetUserRoot();
    if (const QListWidgetItem* item = list_->currentItem()) {
        const std::string name = item->text().toStdString();
        if (IsSafeFileName(name) && DirectoryExists(target + name)) target += name;
    }
    CreateDirectories(target);
    // The desktop's file manager shows the folder (xdg-open underneath).
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(target))) && prompts_)
        prompts_->Inform("No file manager could open the folder " + target + ".");
}

void CManageKitbashDlg::OnOK() {
    if (!image_) {
        if (prompts_) prompts_->Inform("Load an image first.");
        return;
    }
    std::string library = CleanFolderName(edit_->text().toStdString());
    if (library.empty()) {
        const QListWidgetItem* item = list_->currentItem();
        if (!item) {
            if (prompts_) prompts_->Inform("Select a folder or type a new one.");
            return;
        }
        library = item->text().toStdString();
    }
    std::string base = Trim(baseName_);
    if (base.empty()) base = "stencil";
    if (!SaveStencil(library, base)) return;
    result_ = library;
    accept();
}

bool CManageKitbashDlg::SaveStencil(const std::string& library, const std::string& base) {
    if (!image_) return false;
    const StencilSaveResult r = SaveStencilPng(StencilPaths::GetUserRoot(), library, base, *image_);
    if (r == StencilSaveResult::kSaved) return true;
    if (prompts_) {
        if (r == StencilSaveResult::kNoFreeName) prompts_->Fail("Every file name for this stencil is taken in that folder.");
        else if (r == StencilSaveResult::kBadName) prompts_->Fail("That folder name cannot be used.");
        else prompts_->Fail("Failed to save PNG.");
    }
    return false;
}
