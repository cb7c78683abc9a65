#include "TerminalText.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <streambuf>
#include <string>
#include <unistd.h>

namespace {

// Passes text on to `Target`, writing control characters (C0 but the line end, DEL, and the C1
// range as UTF-8 spells it) as escapes.
class EscapingBuffer : public std::streambuf {
public:
    explicit EscapingBuffer(std::streambuf* target) : Target(target) {}

    void Raw(std::string_view bytes)
    {
        PutPending();
        Target->sputn(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        xsputn(&byte, 1);
        return c;
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override
    {
        std::streamsize plain = 0; // start of the run of bytes that pass as they are
        for (std::streamsize i = 0; i < count; ++i) {
            const auto byte = static_cast<unsigned char>(text[i]);
            const bool lead = byte == 0xC2;
            const bool control = (byte < 0x20 && byte != '\n') || byte == 0x7F || (PendingC2 && byte >= 0x80 && byte <= 0x9F);
            if (!lead && !control && !PendingC2)
                continue;
            Target->sputn(text + plain, i - plain);
            plain = i + 1;
            if (PendingC2 && byte >= 0x80 && byte <= 0x9F) {
                PendingC2 = false;
                Escape("\\u%04x", byte);
                continue;
            }
            PutPending();
            if (lead)
                PendingC2 = true;
            else if (control)
                Escape("\\x%02x", byte);
            else
                Target->sputc(static_cast<char>(byte));
        }
        Target->sputn(text + plain, count - plain);
        return count;
    }

    int sync() override
    {
        PutPending();
        return Target->pubsync();
    }

private:
    void PutPending()
    {
        if (PendingC2)
            Target->sputc('\xC2');
        PendingC2 = false;
    }
    void Escape(const char* format, unsigned char byte)
    {
        char text[8];
        const int size = std::snprintf(text, sizeof text, format, byte);
        Target->sputn(text, size);
    }

    std::streambuf* Target;
    bool PendingC2 = false; // a 0xC2 byte held back: it may begin a C1 control
};

void EscapeOn(std::ostream& out, int fd)
{
    if (::isatty(fd) != 1 || dynamic_cast<EscapingBuffer*>(out.rdbuf()))
        return;
    // Never freed: the standard streams are flushed after static objects are gone.
    out.rdbuf(new EscapingBuffer(out.rdbuf()));
}

} // namespace

void EscapeControlsOnTerminals()
{
    EscapeOn(std::cout, STDOUT_FILENO);
    EscapeOn(std::cerr, STDERR_FILENO);
}

void WriteTerminalControl(std::ostream& out, std::string_view control)
{
    if (auto* escaping = dynamic_cast<EscapingBuffer*>(out.rdbuf()))
        escaping->Raw(control);
    else
        out << control;
}

bool PlainTerminal()
{
    const char* term = std::getenv("TERM");
    const char* noColor = std::getenv("NO_COLOR");
    return !term || !*term || std::strcmp(term, "dumb") == 0 || (noColor && *noColor);
}

void RedrawTerminalLine(std::ostream& out, std::string_view line, std::size_t shownBefore)
{
    WriteTerminalControl(out, "\r");
    out << line;
    if (!PlainTerminal()) {
        WriteTerminalControl(out, "\033[K");
    } else if (shownBefore > line.size()) {
        out << std::string(shownBefore - line.size(), ' ');
        if (line.empty())
            WriteTerminalControl(out, "\r");
    }
}
