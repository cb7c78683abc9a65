#pragma once

#include "ExtractRun.h"
#include "TMainForm.h"

#include <string>

inline constexpr const char* kChosenFolderOnPlayer = "The chosen folder is on the iPod. Varnel only reads the iPod "
                                                      "and never writes to it: please choose a folder on your computer.";

// Ends a run of the window (tracks, photos) the same way on every way out: bar hidden, detail
// empty, idle status line.
class RunGuard {
public:
    explicit RunGuard(TMainForm& form) : Form(form) { Form.ShowProgress(true); }
    ~RunGuard()
    {
        Form.SetStatusDetail(std::u16string());
        Form.SetStatusText(Final.empty() ? TMainForm::IdleStatusText() : Final);
        // Last: a close asked for during the run happens once the window is idle again.
        Form.ShowProgress(false);
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

    // The status line's text after the run, instead of the idle one.
    std::string Final;

    // Says, after a run that was stopped, how many finished copies were put in place first.
    void After(const RunCounts& counts)
    {
        if (counts.Ended() && counts.PlacedAtStop > 0)
            Final = "Stopped; " + std::to_string(counts.PlacedAtStop) + " finished " +
                    (counts.PlacedAtStop == 1 ? "copy was" : "copies were") + " put in place first";
    }

private:
    TMainForm& Form;
};
