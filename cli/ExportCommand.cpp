#include "ExportCommand.h"

#include "CliError.h"
#include "CopyHooks.h"
#include "FileCopy.h"
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
    // Refused before anything is made: a file on the player, or a descriptor open on one. Pipes
    // and terminals are written as they are. The write judges its folder again.
    const WriteGate gate(db.PlayerRoot);
    const int fd = DescriptorNamedBy(file);
    if (fd >= 0 ? gate.RefusesOpenedFile(fd) : gate.RefusesFile(file))
        throw CliError(kExportOnPlayerMessage);
    if (const CopyHooks* hooks = CurrentCopyHooks(); hooks && hooks->AtStep)
        hooks->AtStep(CopyStep::GatePassed, file);

    std::string bytes;
    AppendExportHeader(bytes);
    for (const OneTrack* track : rows)
        AppendExportRow(bytes, *track);

    CatchInterrupts();
    const std::string failure = WriteExportTarget(file, bytes, Interrupted, gate);
    EndIfInterrupted();
    if (failure == kExportOnPlayerMessage)
        throw CliError(kExportOnPlayerMessage);
    if (!failure.empty())
        throw CliError("Error opening file for writing: " + file + ": " + failure);
    return ExitDone;
}
