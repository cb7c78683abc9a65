// The status bar's fourth area: what the last command did, with a button that opens its folder,
// and while an extraction runs, the whole run's progress with a Stop button.
#include "TMainForm.h"

#include "RunSummaryText.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QUrl>

namespace {

// The run's progress is shown this often at most.
constexpr auto kRunProgressInterval = std::chrono::milliseconds(250);
// The time left is told once the run has gone this long.
constexpr double kEstimateAfterSeconds = 2.0;

} // namespace

void TMainForm::CreateSummaryArea()
{
    SummaryPanel = new QWidget;
    SummaryPanel->setObjectName("SummaryPanel");
    auto* layout = new QHBoxLayout(SummaryPanel);
    layout->setContentsMargins(4, 0, 2, 0);
    layout->setSpacing(6);
    LblRunSummary = new QLabel;
    LblRunSummary->setObjectName("LblRunSummary");
    LblRunSummary->setTextFormat(Qt::PlainText);
    BtnOpenFolder = new QPushButton("Open Folder");
    BtnOpenFolder->setObjectName("BtnOpenFolder");
    BtnOpenFolder->setFocusPolicy(Qt::NoFocus);
    BtnStop = new QPushButton("Stop");
    BtnStop->setObjectName("BtnStop");
    BtnStop->setFocusPolicy(Qt::NoFocus);
    BtnStop->setToolTip("Stop the extraction (Escape)");
    for (QPushButton* button : {BtnOpenFolder, BtnStop}) {
        button->setFlat(false);
        button->setMaximumHeight(20);
        button->setVisible(false);
    }
    layout->addWidget(LblRunSummary);
    layout->addWidget(BtnOpenFolder);
    layout->addWidget(BtnStop);
    StatusBar->addPermanentWidget(SummaryPanel);
    connect(BtnOpenFolder, &QPushButton::clicked, this, [this] {
        if (!SummaryFolder.isEmpty())
            QDesktopServices::openUrl(QUrl::fromLocalFile(SummaryFolder));
    });
    connect(BtnStop, &QPushButton::clicked, this, &TMainForm::StopRun);
    // Escape anywhere in the window stops a run; the filter field keeps it for clearing itself.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &TMainForm::StopRun);
}

void TMainForm::ShowSummary(const QString& text, const QString& folder)
{
    LblRunSummary->setText(text);
    LblRunSummary->setToolTip(text);
    SummaryFolder = folder;
    BtnOpenFolder->setVisible(!folder.isEmpty());
    BtnStop->setVisible(false);
}

void TMainForm::ClearSummary()
{
    ShowSummary(QString(), QString());
}

void TMainForm::BeginRunProgress(const QString& items)
{
    RunItems = items;
    StopAsked = false;
    RunStarted = std::chrono::steady_clock::now();
    LastRunProgress = {};
    ShowSummary(QString(), QString());
    BtnStop->setVisible(true);
}

void TMainForm::ShowRunProgress(std::size_t done, std::size_t tracks, std::uint64_t bytesDone, std::uint64_t bytes)
{
    const auto now = std::chrono::steady_clock::now();
    if (now - LastRunProgress < kRunProgressInterval && done < tracks)
        return;
    LastRunProgress = now;
    const double elapsed = std::chrono::duration<double>(now - RunStarted).count();
    double left = -1;
    if (elapsed >= kEstimateAfterSeconds && bytesDone > 0 && bytes >= bytesDone)
        left = elapsed * static_cast<double>(bytes - bytesDone) / static_cast<double>(bytesDone);
    LblRunSummary->setText(RunProgressText(done, tracks, bytesDone, bytes, left, RunItems));
}

void TMainForm::StopRun()
{
    if (!BtnStop->isVisible())
        return;
    StopAsked = true;
    BtnStop->setEnabled(false);
}

void TMainForm::EndRunProgress()
{
    BtnStop->setVisible(false);
    BtnStop->setEnabled(true);
}
