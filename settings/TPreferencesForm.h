#pragma once

#include "Settings.h"

#include <QDialog>

#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Holds the user's settings and is the Preferences dialog that edits three of them.
// Constructing it loads the settings (LoadSettings); every setter saves the whole record at once.
// Loading throws std::runtime_error("Invalid data type for '<name>'") when a stored value is not
// text; a failed save throws std::runtime_error("Failed to create key <the store file's path>").
class TPreferencesForm : public QDialog {
    Q_OBJECT
public:
    explicit TPreferencesForm(QWidget* parent = nullptr);
    ~TPreferencesForm() override;

    void LoadSettings();
    void SaveSettings();

    std::int32_t GetTrackLimit() const { return Record.TrackLimit; }
    std::int32_t GetOverwriteFiles() const { return Record.OverwriteFiles; }
    const std::string& GetFileFormat() const { return Record.FileFormat; }
    const std::string& GetExtractPath() const { return Record.ExtractPath; }
    void SetExtractPath(const std::string& path);
    const std::string& GetLastExtractFolder() const { return Record.LastExtractFolder; }
    void SetLastExtractFolder(const std::string& folder);
    bool GetFirstRun() const { return Record.FirstRun; }
    bool GetShowMenuBar() const { return Record.ShowMenuBar; }
    bool GetShowToolbar() const { return Record.ShowToolbar; }
    bool GetShowStatusBar() const { return Record.ShowStatusBar; }
    void SetShowMenuBar(bool show);
    void SetShowToolbar(bool show);
    void SetShowStatusBar(bool show);
    bool GetShowCover() const { return Record.ShowCover; }
    void SetShowCover(bool show);
    const std::string& GetTrackListColumns() const { return Record.TrackListColumns; }
    void SetTrackListColumns(const std::string& columns);
    WindowBounds GetWindowBounds() const { return Record.Bounds; }
    void SetWindowBounds(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);

    // Fills the dialog from the record and shows it modally, centred over its parent.
    void ShowPreferences();

public slots:
    // The dialog's handlers, attached to its controls. BtnOKClick shows a failed save in an
    // error box itself and leaves the dialog open.
    void RbAllSongsClick();
    void RbMaxSongsClick();
    void BtnOKClick();
    void BtnCancelClick();
    void BtnHelpClick();

private:
    void CreateControls();

    Settings Record;

    QGroupBox* GroupBox1 = nullptr;
    QRadioButton* RbAllSongs = nullptr;
    QRadioButton* RbMaxSongs = nullptr;
    QLineEdit* TxtSongLimit = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* CbFormat = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* CbOverwrite = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnCancel = nullptr;
    QPushButton* BtnHelp = nullptr;
};
