#include "ExportCommand.h"

#include "FileCopy.h"
#include "CliError.h"
#include "Interrupt.h"
#include "PlayerFilesSource.h"
#include "TrackListExport.h"

int RunExport(const std::string& path, const std::optional<std::string>& playlist, int limit, const std::string& file,
              bool fromFiles)
{
    const PlayerDatabase db = OpenForCommand(path, limit, fromFiles);
    const std::vector<const OneTrack*> rows = ChosenRows(db, playlist);
    if (rows.empty())
        throw CliError("There are no tracks to export.");

    std::string bytes;
    AppendExportHeader(bytes);
    for (const OneTrack* track : rows)
        AppendExportRow(bytes, *track);

    CatchInterrupts();
    const std::string failure = WriteFileAtomically(file, bytes, Interrupted);
    EndIfInterrupted();
    if (!failure.empty())
        throw CliError("Error opening file for writing: " + file + ": " + failure);
    return ExitDone;
}
