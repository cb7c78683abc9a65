#pragma once

#include <QDialog>

#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class VolumeSource;

// Lets the user pick the mounted volume of a player and hands back the path of the player's
// database on it. Created for one showing and destroyed after it.
class TSelectIPodForm : public QDialog {
    Q_OBJECT
public:
    // The candidate volumes come from `volumes`, the system's own unless a test installed others.
    explicit TSelectIPodForm(QWidget* parent = nullptr);
    TSelectIPodForm(QWidget* parent, VolumeSource& volumes);

    // Fills the list, shows the dialog modally and returns the database path on the chosen
    // volume (UTF-8), or an empty text when the user gave up.
    std::string ChooseDatabasePath();
    // Lists the candidate volumes, sorted, and preselects the first.
    void FillDriveList();

    QLabel* Label1 = nullptr;
    QComboBox* CbDrive = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnCancel = nullptr;
    std::string SelectedPath;

public slots:
    void BtnOKClick();
    void BtnCancelClick();

private:
    void FitToItems();

    VolumeSource& Volumes;
};
