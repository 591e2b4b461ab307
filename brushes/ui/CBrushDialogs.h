#pragma once
// The Add Brush dialog (name a brush and choose the library that receives
// it) and the Brush Manager (switch libraries; rename, reorder and delete
// brushes; save or undo the edits).
#include "brushes/BrushLibrary.h"
#include "brushes/DabRenderer.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QRadioButton;
class Prompts;
class CPropBrushLibrary;

class CAddBrushDlg : public QDialog {
    Q_OBJECT
public:
    CAddBrushDlg(QWidget* parent, Prompts* prompts);

    // Set before the dialog runs.
    void SetSettings(const BrushSettings& settings);
    void SetBrushName(const std::string& name);

    // The answer after OK.
    std::string BrushName() const;
    int Choice() const { return choice_; }  // 0 current, 1 "user.brs", 2 new library
    const std::string& NewLibraryFile() const { return newLibraryFile_; }

    // The 350 x 100 preview coverage (0 empty .. 255 full).
    const std::vector<uint8_t>& PreviewCoverage() const { return coverage_; }

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RenderPreview();
    void OnLibraryChoice();

    Prompts* prompts_ = nullptr;
    BrushSettings settings_;
    std::vector<uint8_t> coverage_ = std::vector<uint8_t>(350 * 100, 0);
    DabRenderer renderer_;
    QWidget* preview_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* newLibrary_ = nullptr;
    QRadioButton* current_ = nullptr;
    QRadioButton* user_ = nullptr;
    QRadioButton* fresh_ = nullptr;
    int choice_ = 0;
    std::string newLibraryFile_;
};

class CBrushManager : public QDialog {
    Q_OBJECT
public:
    CBrushManager(QWidget* parent, Prompts* prompts);

    CPropBrushLibrary* List() const { return list_; }
    QComboBox* LibraryChooser() const { return combo_; }
    QLineEdit* NameField() const { return name_; }

    void OnLibrarySelChange();
    void OnBrushListSelect();
    void OnApply();
    void OnMoveUp();
    void OnMoveDown();
    void OnDelete();
    void accept() override;
    void reject() override;

private:
    void UpdateNameField();
    void SelectComboItemOfCurrent();

    Prompts* prompts_ = nullptr;
    QComboBox* combo_ = nullptr;
    CPropBrushLibrary* list_ = nullptr;
    QLineEdit* name_ = nullptr;
    std::vector<BrushEntry> backup_;
    bool saved_ = false;
    bool modified_ = false;
};
