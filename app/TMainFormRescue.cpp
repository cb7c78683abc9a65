// The main window's rescue of a player whose database is damaged or gone: every media file of
// the player, from what the database still holds and from the files' own tags.
#include "TMainForm.h"

#include "FittingLabel.h"
#include "PlayerFiles.h"
#include "PlayerPaths.h"
#include "RescuePlayer.h"
#include "UserDialogs.h"
#include "Volumes.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <optional>

namespace {

// The chooser starts at the first mounted volume that holds a player's folder, else at home.
QString RescueStartFolder()
{
    for (const Volume& volume : VolumeSource::Current().ListVolumes()) {
        if (FindPathNoCase(volume.MountPoint, "iPod_Control"))
            return QFile::decodeName(QByteArray::fromStdString(volume.MountPoint));
    }
    return QDir::homePath();
}

QString PathText(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace

void TMainForm::ActionFileRescueExecute()
{
    if (IsBusy())
        return;
    // Not the drive dialog: it refuses players without a readable database.
    const QString chosen = UserDialogs::Current().ChooseFolder(this, "Select the Player's Folder", RescueStartFolder());
    if (chosen.isEmpty())
        return;
    LoadPlayerFiles(PlayerRootAbove(QFile::encodeName(chosen).toStdString()));
}

int TMainForm::LoadPlayerFiles(const std::string& root)
{
    const DatabaseTask task(*this);
    if (!FindPathNoCase(root, "iPod_Control")) {
        UserDialogs::ShowWarning(this, PathText(root) + " holds no iPod_Control folder.");
        SetStatusText(IdleStatusText());
        return 0;
    }
    // The open database stays, shown, until the rescue has tracks to put in its place.
    ShowProgress(true);

    // The status line and the bar follow the files, a few times a second at most. Closing the
    // window stops the reading: a large player takes minutes.
    auto lastShown = std::chrono::steady_clock::time_point{};
    RescuedPlayer rescued = RescuePlayer(root, [&](int done, int total) {
        const auto now = std::chrono::steady_clock::now();
        if (done < total && now - lastShown < std::chrono::milliseconds(50))
            return !CloseWhenIdle;
        lastShown = now;
        SetStatusText("Reading tags: " + std::to_string(done) + " of " + std::to_string(total));
        SetProgress(static_cast<int>(static_cast<long long>(done) * 100 / total));
        return !CloseWhenIdle;
    });
    ShowProgress(false);
    SetStatusText(IdleStatusText());
    if (CloseWhenIdle)
        return 0;
    const int count = rescued.FromDatabase + rescued.FromTags;
    if (count == 0) {
        UserDialogs::ShowWarning(this, "None of the " + QString::number(rescued.FilesSeen) + " files in " + PathText(root) +
                                           " is a media file Varnel can read.");
        return 0;
    }

    const bool damaged = rescued.Database->FoundDamage();
    CloseDatabase();
    PutAllFilesFirst(rescued);
    IPodDrive = root;
    Database = std::move(rescued.Database);
    ShowPlaylists();
    const auto unreadable = std::count_if(rescued.Skipped.begin(), rescued.Skipped.end(),
                                          [](const SkippedFile& file) { return file.Unreadable; });
    std::string done = "Rescued " + std::to_string(count) + " track(s)";
    if (rescued.FromDatabase > 0)
        done += ", " + std::to_string(rescued.FromDatabase) +
                (damaged ? " from the damaged database" : " from the database");
    if (unreadable > 0)
        done += "; " + std::to_string(unreadable) + " file(s) could not be read";
    // The summary is longer than any text the status line was made for; it widens to show it whole.
    if (auto* line = qobject_cast<FittingLabel*>(StatusLine))
        line->FitAlso(QString::fromStdString(done));
    SetStatusText(done);
    return count;
}
