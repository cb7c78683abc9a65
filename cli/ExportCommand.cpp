#include "ExportCommand.h"

#include "FileCopy.h"
#include "CliError.h"
#include "Interrupt.h"
#include "PlayerDatabase.h"
#include "TrackListExport.h"

int RunExport(const std::string& path, const std::optional<std::string>& playlist, int limit, const std::string& file)
{
    const PlayerDatabase db = OpenPlayerDatabase(path, limit);
    const std::vector<const OneTrack*> rows = PlaylistRows(*db.Parser, ChoosePlaylist(*db.Parser, playlist));
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
