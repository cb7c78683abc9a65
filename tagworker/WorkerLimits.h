#pragma once

// The hard limits the tag reader puts on itself before it reads a file; every file it is given
// is hostile input for TagLib.
namespace workerlimits {

// Caps the process's address space at its size now plus `budget` bytes (RLIMIT_AS), forbids
// core files and caps its open descriptors. False when the address space was left alone (no
// /proc to measure it, or a build under a sanitizer, which reserves terabytes of it).
bool LimitResources(unsigned long long budget);

// Makes a timer of the process's processor time that ends it with SIGXCPU; Arm starts the
// timer afresh for `seconds` (0 stops it). False when there is none.
bool MakeCpuTimer();
void ArmCpuTimer(int seconds);

// Confines the process to the system calls that reading descriptors it was given and answering
// on its socket need (a seccomp filter, through libseccomp): it can open no file, start no
// program, make no connection, and map no memory executable. A call outside the list ends the
// process; an open is refused with EACCES. False when the kernel or the build has no seccomp.
bool Confine(bool writing);

} // namespace workerlimits
