#pragma once

#include <string>
#include <string_view>

class WriteGate;

// Writes the export's bytes where FILE names, as a careful Unix tool does:
// - "-", /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N name a descriptor that is
//   already open; the bytes go to it as it is, so that ">>log" appends and ">(...)" works;
// - a FIFO, a device or anything else that is not a regular file is written through;
// - a symbolic link keeps being one: the file it leads to is replaced, atomically, in that
//   file's folder;
// - a regular file, or a new one, is replaced atomically (complete or not at all).
// What is written is judged by the gate as it is written: the descriptor, the device opened, or
// the folder of the file replaced; a refusal writes nothing and returns kExportOnPlayerMessage.
// Returns an empty text, or the system's reason for the failure. `stop` is asked before an
// atomic replacement is put in place; returning true makes it a failure that leaves nothing.
std::string WriteExportTarget(const std::string& file, std::string_view bytes, bool (*stop)(), const WriteGate& gate);

// The descriptor that `file` names ("-", /dev/stdout, ...), or -1 when it names none.
int DescriptorNamedBy(std::string_view file);
