#include "ExportCommand.h"

#include "FileCopy.h"
#include "CliError.h"
#include "ExportTarget.h"
#include "Interrupt.h"
#include "PlayerDestination.h"
#include "PlayerFilesSource.h"
#include "TrackListExport.h"

int RunExport(const ExportOptions& options)
{
    const std::string& file = options.File;
    if (file.empty())
        throw CliError("FILE is empty; give the file to write, or - for standard output");
    const PlayerDatabase db = OpenForCommand(options.Path, options.Limit, options.FromFiles);
    const std::vector<const OneTrack*> rows = PickTracks(ChosenRows(db, options.Playlist), options.Picks);
    if (rows.empty())
        throw CliError("There are no tracks to export.");
    // A descriptor (standard output, a pipe) is written as it is; a file is written only off the player.
    if (DescriptorNamedBy(file) < 0 && WriteGate(db.PlayerRoot).RefusesFile(file))
        throw CliError(kExportOnPlayerMessage);

    std::string bytes;
    AppendExportHeader(bytes);
    for (const OneTrack* track : rows)
        AppendExportRow(bytes, *track);

    CatchInterrupts();
    const std::string failure = WriteExportTarget(file, bytes, Interrupted);
    EndIfInterrupted();
    if (!failure.empty())
        throw CliError("Error opening file for writing: " + file + ": " + failure);
    return ExitDone;
}
