#pragma once

#include "ExtractRun.h"

class ExtractProgress;

// The command line's side of an extraction run: the overwrite question on the terminal, a line
// on standard error for each failure (the run goes on unless no later file can be written), the
// progress line, and Ctrl+C as the stop request.
class ExtractCopier : public ExtractRunHost {
public:
    explicit ExtractCopier(ExtractProgress& progress) : Shown(progress) {}

    // The run whose progress is shown; until then nothing is drawn.
    void Show(const ExtractRun& run) { Run = &run; }
    // From now on the files written are playlists, which the progress line does not count.
    void PlaylistsFollow() { Run = nullptr; }

    OverwriteAnswer AskOverwrite(const RunItem& item) override;
    bool Failed(const RunItem& item, const std::string& reason, const std::vector<const RunItem*>& alike,
                const std::string& fatal) override;
    void Copied(const RunItem& item) override;
    void Unconfirmed(int copies, int error) override;
    void Progress(const RunProgress& progress) override;
    bool StopRequested() override;

private:
    ExtractProgress& Shown;
    const ExtractRun* Run = nullptr;
};

// "varnel-cli: Error extracting SOURCE to DESTINATION: REASON", or for a playlist
// "varnel-cli: Error writing playlist PATH: REASON".
std::string FailureLine(const RunItem& item, const std::string& reason);
