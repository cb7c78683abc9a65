#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QWidget;

// The About box: the program's name, version and trademark notice on the first tab and the
// revision history on the second. Created for one showing and destroyed after it.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    // The text of LblAbout, composed from the application title.
    static QString AboutText();
    // The revision history, one entry per line.
    static QString RevisionHistory();

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* LblAbout = nullptr;
    QWidget* TabSheet2 = nullptr;
    QPlainTextEdit* TxtRevision = nullptr;
    QPushButton* BtnOK = nullptr;

public slots:
    void FormCreate();
    void BtnOKClick();
};
