#pragma once

// The reader as a writer of tags into copies (varnel-tags --serve-writes): each request carries
// one copy's descriptor, open for reading and writing, the tags to write, and the cover as a
// sealed memory file; each is answered with how the tagging ended (TagMessages.h). It runs
// under the same limits as the reading, with the writes to its descriptors allowed. Returns the
// exit status.
int ServeWrites(unsigned long long memoryBudget, int cpuSeconds);
