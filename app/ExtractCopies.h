#pragma once

#include "ExtractRun.h"

#include <chrono>

class TMainForm;

// The window's side of an extraction run: the overwrite prompt, a question after each failure
// whether to go on (a failure that takes several copies at once, a failed flush, asks once,
// naming the first of them), an error box when the destination goes away, the progress bar and
// the file name in the status line, and the window closing (or a signal) as the stop request.
// A window that is closing asks nothing more.
class ExtractCopies : public ExtractRunHost {
public:
    explicit ExtractCopies(TMainForm& form) : Form(form) {}

    OverwriteAnswer AskOverwrite(const RunItem& item) override;
    bool Failed(const RunItem& item, const std::string& reason, const std::vector<const RunItem*>& alike,
                const std::string& fatal) override;
    void Unconfirmed(int copies, int error) override;
    void Progress(const RunProgress& progress) override;
    bool StopRequested() override;

    // False once the user said No, or the destination went away.
    bool GoingOn() const { return !Ended; }

private:
    TMainForm& Form;
    const RunItem* Named = nullptr; // the item whose name the status line shows
    bool Ended = false;
    bool UnconfirmedTold = false;
};
