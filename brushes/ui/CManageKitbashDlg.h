#pragma once
// The Manage Kitbash dialog: turns an image file into a stencil. The user
// loads an image, picks a library (or types a new one) and OK writes the image
// as a PNG into that library's folder under the user root. It also creates
// empty library folders and opens a library folder in the file browser. It
// never changes the active library: the caller activates the result.
#include "platform/Bitmap.h"
#include "platform/qt/WindowBase.h"

#include <QDialog>

#include <string>

class Prompts;
class QLineEdit;
class QListWidget;
class QPushButton;

// The loaded image on a checkerboard, fitted and centred.
class CKitbashPreview : public CWndBase {
    Q_OBJECT
public:
    explicit CKitbashPreview(QWidget* parent = nullptr, int id = 1018);
    void SetBitmap(BitmapPtr bitmap);
    const BitmapPtr& Bitmap() const { return bitmap_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    BitmapPtr bitmap_;
};

class CManageKitbashDlg : public QDialog {
    Q_OBJECT
public:
    CManageKitbashDlg(QWidget* parent, Prompts* prompts);

    // The library the stencil was saved into; empty unless OK saved one.
    const std::string& ResultLibrary() const { return result_; }

    // The buttons' actions (public so tests can drive them).
    void OnLoad();
    void OnNewFolder();
    void OnOpenFolder();
    void OnOK();
    // Writes the loaded image as base.png (or "base N.png") into the library;
    // false, with the message already shown, when it could not.
    bool SaveStencil(const std::string& library, const std::string& base);
    void FillFolderList(const std::string& select);

    QListWidget* List() const { return list_; }
    QLineEdit* FolderEdit() const { return edit_; }
    CKitbashPreview* Preview() const { return preview_; }
    const BitmapPtr& Image() const { return image_; }

private:
    Prompts* prompts_;
    CKitbashPreview* preview_ = nullptr;
    QListWidget* list_ = nullptr;
    QLineEdit* edit_ = nullptr;
    BitmapPtr image_;
    std::string baseName_;
    std::string result_;
};
