#include "ExtractProgress.h"

#include "ExtractRun.h"
#include "TerminalText.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// The progress line is redrawn at most this often.
constexpr std::chrono::milliseconds kRedrawInterval{250};

std::string Duration(double seconds)
{
    const auto total = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

// A line as wide as the terminal would wrap, and the next redraw would start on the wrong line.
std::size_t TerminalWidth()
{
    struct winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
        return size.ws_col;
    return 80;
}

} // namespace

ExtractProgress::ExtractProgress() : Terminal(::isatty(STDERR_FILENO) == 1) {}

std::string ExtractProgress::Bytes(std::uint64_t bytes)
{
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

void ExtractProgress::Update(const RunProgress& progress)
{
    Now = progress;
    Draw(false);
}

std::string ExtractProgress::Counter(const char* unit) const
{
    std::string counter = std::to_string(Now.Copied + Now.Failed + Now.Kept) + "/" + std::to_string(Now.Items) + unit;
    if (Now.Failed > 0)
        counter += " (" + std::to_string(Now.Failed) + " failed)";
    return counter;
}

void ExtractProgress::Copied(const std::string& destination)
{
    if (Terminal)
        Draw(static_cast<std::size_t>(Now.Copied + Now.Failed + Now.Kept) == Now.Items);
    else if (!Quiet)
        std::cerr << ("copied " + Counter("") + ": " + destination + '\n'); // one write, not five
}

void ExtractProgress::Message(const std::string& line)
{
    Clear();
    std::cerr << line << '\n';
    Draw(true);
}

void ExtractProgress::Finish()
{
    Clear();
}

void ExtractProgress::Clear()
{
    if (LineShown) {
        RedrawTerminalLine(std::cerr, "", ShownLength);
        std::cerr << std::flush;
        LineShown = false;
        ShownLength = 0;
    }
}

void ExtractProgress::Draw(bool force)
{
    if (!Terminal || Quiet)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - LastDraw < kRedrawInterval)
        return;
    LastDraw = now;

    const std::uint64_t done = Now.BytesDone + Now.CurrentDone;
    const double elapsed = std::chrono::duration<double>(now - Start).count();
    std::string line = Counter(" files") + ", " + Bytes(done) + " of " + Bytes(Now.Bytes);
    // Rate and time left only once there is something to go by.
    if (elapsed >= 1.0 && done > 0) {
        const double rate = static_cast<double>(done) / elapsed;
        const double left = static_cast<double>(Now.Bytes > done ? Now.Bytes - done : 0) / rate;
        line += ", " + Bytes(static_cast<std::uint64_t>(rate)) + "/s, " + Duration(left) + " left";
    }
    // Only ASCII, so bytes are columns; the last column is left free, where some terminals wrap.
    line.resize(std::min(line.size(), TerminalWidth() - 1));
    RedrawTerminalLine(std::cerr, line, ShownLength);
    std::cerr << std::flush;
    LineShown = true;
    ShownLength = line.size();
}
