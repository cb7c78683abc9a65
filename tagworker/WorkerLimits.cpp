#include "WorkerLimits.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#if VARNEL_WORKER_CONFINED
#include <seccomp.h>
#endif

namespace workerlimits {
namespace {

timer_t CpuTimer{};
bool HaveTimer = false;

#if VARNEL_WORKER_CONFINED
// The process's virtual size now, from /proc/self/statm (its first field, in pages).
unsigned long long AddressSpaceNow()
{
    std::FILE* statm = std::fopen("/proc/self/statm", "re");
    unsigned long long pages = 0;
    if (!statm)
        return 0;
    if (std::fscanf(statm, "%llu", &pages) != 1)
        pages = 0;
    std::fclose(statm);
    return pages * static_cast<unsigned long long>(::sysconf(_SC_PAGESIZE));
}
#endif

void SetLimit(int resource, rlim_t value)
{
    const rlimit limit{value, value};
    ::setrlimit(resource, &limit);
}

} // namespace

bool LimitResources(unsigned long long budget)
{
    SetLimit(RLIMIT_CORE, 0);
    // The socket, the progress page, standard streams and a full batch of files.
    SetLimit(RLIMIT_NOFILE, 64);
#if VARNEL_WORKER_CONFINED
    const unsigned long long now = AddressSpaceNow();
    if (now == 0)
        return false;
    SetLimit(RLIMIT_AS, static_cast<rlim_t>(now + budget));
    return true;
#else
    (void)budget;
    return false;
#endif
}

bool MakeCpuTimer()
{
    sigevent event{};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = SIGXCPU; // its default action ends the process
    HaveTimer = ::timer_create(CLOCK_PROCESS_CPUTIME_ID, &event, &CpuTimer) == 0;
    return HaveTimer;
}

void ArmCpuTimer(int seconds)
{
    if (!HaveTimer)
        return;
    itimerspec when{};
    when.it_value.tv_sec = seconds;
    ::timer_settime(CpuTimer, 0, &when, nullptr);
}

bool Confine(bool writing)
{
#if VARNEL_WORKER_CONFINED
    scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_KILL_PROCESS);
    if (!filter)
        return false;
    bool ok = true;
    const auto allow = [&](int call) { ok = ok && ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0; };
    for (const int call :
         {SCMP_SYS(read), SCMP_SYS(pread64), SCMP_SYS(lseek), SCMP_SYS(fstat), SCMP_SYS(close), SCMP_SYS(write),
          SCMP_SYS(recvmsg), SCMP_SYS(sendmsg), SCMP_SYS(sendto), SCMP_SYS(recvfrom), SCMP_SYS(munmap), SCMP_SYS(mremap),
          SCMP_SYS(brk), SCMP_SYS(madvise), SCMP_SYS(futex), SCMP_SYS(exit), SCMP_SYS(exit_group), SCMP_SYS(rt_sigreturn),
          SCMP_SYS(rt_sigprocmask), SCMP_SYS(timer_settime), SCMP_SYS(clock_gettime), SCMP_SYS(getpid), SCMP_SYS(gettid),
          SCMP_SYS(tgkill), SCMP_SYS(getrandom), SCMP_SYS(sched_yield)})
        allow(call);
    if (writing) {
        for (const int call : {SCMP_SYS(pwrite64), SCMP_SYS(ftruncate), SCMP_SYS(fdatasync), SCMP_SYS(fsync),
                               SCMP_SYS(copy_file_range)})
            allow(call);
    }
    // A status only of a descriptor (fstat in glibc), memory never executable, no file opened.
    ok = ok && ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(newfstatat), 1,
                                  SCMP_A3(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, AT_EMPTY_PATH)) == 0;
    for (const int call : {SCMP_SYS(mmap), SCMP_SYS(mprotect)})
        ok = ok && ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 1, SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)) == 0;
    for (const int call : {SCMP_SYS(open), SCMP_SYS(openat)})
        ok = ok && ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(EACCES), call, 0) == 0;
    ok = ok && ::seccomp_load(filter) == 0;
    ::seccomp_release(filter);
    return ok;
#else
    (void)writing;
    return false;
#endif
}

} // namespace workerlimits
