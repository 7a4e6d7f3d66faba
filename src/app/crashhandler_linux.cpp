// Crash reports on Linux: a fatal signal handler that uses only
// async-signal-safe calls (open, write, read, close, fork, execve, waitpid,
// clock_gettime, sigaction, raise). Text is formatted by hand into fixed
// buffers: no allocation, no stdio, no locks.

#include "crashhandler.h"
#include "platform/apppaths.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

extern char** environ;

namespace CrashHandler {

namespace {

constexpr int kFatalSignals[] = { SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT };
constexpr size_t kAltStackSize = 64 * 1024;
constexpr int kMaxHelperArgs = 16;
constexpr uintptr_t kStackOverflowReach = 64 * 1024;

char g_helperPath[4096];
char g_helperArgStore[kMaxHelperArgs][256];
int g_helperArgCount = 0;
long g_utcOffsetSeconds = 0;
std::atomic<int> g_handling { 0 };

// ---- formatting into a fixed buffer ------------------------------------

struct Writer {
    int fd;
    char buf[512];
    size_t len = 0;

    explicit Writer(int f)
        : fd(f)
    {
    }
    ~Writer() { flush(); }

    void flush()
    {
        size_t off = 0;
        while (fd >= 0 && off < len) {
            const ssize_t n = ::write(fd, buf + off, len - off);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            off += size_t(n);
        }
        len = 0;
    }
    Writer& put(char c)
    {
        if (len == sizeof buf)
            flush();
        buf[len++] = c;
        return *this;
    }
    Writer& str(const char* s)
    {
        while (s && *s)
            put(*s++);
        return *this;
    }
    Writer& dec(long long v)
    {
        char tmp[24];
        int n = 0;
        unsigned long long u = v < 0 ? 0ULL - (unsigned long long)v : (unsigned long long)v;
        do {
            tmp[n++] = char('0' + u % 10);
            u /= 10;
        } while (u);
        if (v < 0)
            put('-');
        while (n)
            put(tmp[--n]);
        return *this;
    }
    Writer& dec2(int v) { return put(char('0' + v / 10 % 10)).put(char('0' + v % 10)); }
    // "0x" and lower-case hexadecimal without leading zeros.
    Writer& hex(unsigned long long v)
    {
        static const char digits[] = "0123456789abcdef";
        char tmp[16];
        int n = 0;
        do {
            tmp[n++] = digits[v & 0xF];
            v >>= 4;
        } while (v);
        str("0x");
        while (n)
            put(tmp[--n]);
        return *this;
    }
};

// Formats into a caller's array instead of a file.
size_t formatHex(char* out, size_t size, unsigned long long v)
{
    static const char digits[] = "0123456789abcdef";
    char tmp[16];
    int n = 0;
    do {
        tmp[n++] = digits[v & 0xF];
        v >>= 4;
    } while (v);
    size_t len = 0;
    if (size < size_t(n) + 3)
        return 0;
    out[len++] = '0';
    out[len++] = 'x';
    while (n)
        out[len++] = tmp[--n];
    out[len] = 0;
    return len;
}

void copyString(char* out, size_t size, const char* in)
{
    size_t i = 0;
    for (; in && in[i] && i + 1 < size; ++i)
        out[i] = in[i];
    out[i] = 0;
}

// ---- local time without localtime() (which takes locks) ----------------

struct CivilTime {
    int year, month, day, hour, minute, second;
};

CivilTime civilFromEpoch(long long seconds)
{
    long long days = seconds / 86400;
    long long rem = seconds % 86400;
    if (rem < 0) {
        rem += 86400;
        --days;
    }
    // Howard Hinnant's days-from-civil, inverted.
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return CivilTime { int(year), month, day, int(rem / 3600), int(rem / 60 % 60), int(rem % 60) };
}

CivilTime localNow()
{
    timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    return civilFromEpoch(ts.tv_sec + g_utcOffsetSeconds);
}

// ---- the report --------------------------------------------------------

const char* signalName(int sig)
{
    switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL";
    case SIGFPE: return "SIGFPE";
    case SIGABRT: return "SIGABRT";
    default: return "signal";
    }
}

struct Registers {
    uintptr_t pc = 0;
    uintptr_t sp = 0;
};

Registers registersOf(const ucontext_t* uc)
{
    Registers r;
#if defined(__x86_64__)
    r.pc = uintptr_t(uc->uc_mcontext.gregs[REG_RIP]);
    r.sp = uintptr_t(uc->uc_mcontext.gregs[REG_RSP]);
#elif defined(__aarch64__)
    r.pc = uintptr_t(uc->uc_mcontext.pc);
    r.sp = uintptr_t(uc->uc_mcontext.sp);
#else
    (void)uc;
#endif
    return r;
}

void writeRegisters(Writer& w, const ucontext_t* uc)
{
#if defined(__x86_64__)
    static const struct {
        const char* name;
        int index;
    } regs[] = {
        { "rax", REG_RAX },
        { "rbx", REG_RBX },
        { "rcx", REG_RCX },
        { "rdx", REG_RDX },
        { "rsi", REG_RSI },
        { "rdi", REG_RDI },
        { "rbp", REG_RBP },
        { "rsp", REG_RSP },
        { "r8", REG_R8 },
        { "r9", REG_R9 },
        { "r10", REG_R10 },
        { "r11", REG_R11 },
        { "r12", REG_R12 },
        { "r13", REG_R13 },
        { "r14", REG_R14 },
        { "r15", REG_R15 },
        { "rip", REG_RIP },
        { "eflags", REG_EFL },
        { "err", REG_ERR },
        { "trapno", REG_TRAPNO },
    };
    for (const auto& reg : regs)
        w.str("  ").str(reg.name).str(" = ").hex((unsigned long long)uc->uc_mcontext.gregs[reg.index]).put('\n');
#elif defined(__aarch64__)
    for (int i = 0; i < 31; ++i)
        w.str("  x").dec(i).str(" = ").hex(uc->uc_mcontext.regs[i]).put('\n');
    w.str("  sp = ").hex(uc->uc_mcontext.sp).put('\n');
    w.str("  pc = ").hex(uc->uc_mcontext.pc).put('\n');
    w.str("  pstate = ").hex(uc->uc_mcontext.pstate).put('\n');
#else
    (void)uc;
    w.str("  (not available on this architecture)\n");
#endif
}

void copyFile(Writer& w, const char* path)
{
    w.flush();
    const int in = ::open(path, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        w.str("  (cannot read ").str(path).str(")\n");
        return;
    }
    char chunk[1024];
    for (;;) {
        const ssize_t n = ::read(in, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i)
            w.put(chunk[i]);
    }
    ::close(in);
}

// ---- the module that holds an address, from /proc/self/maps -----------

constexpr size_t kMapsLine = 4096 + 128; // a path of PATH_MAX and the fields before it

// One line of the memory map: "start-end perms offset dev inode   path".
struct Mapping {
    uintptr_t start = 0;
    uintptr_t end = 0;
    uintptr_t fileOffset = 0;
    const char* path = ""; // points into the line; empty for an anonymous mapping
};

const char* readHex(const char* p, uintptr_t* value)
{
    uintptr_t v = 0;
    for (;; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (*p >= 'a' && *p <= 'f')
            digit = *p - 'a' + 10;
        else
            break;
        v = (v << 4) | uintptr_t(digit);
    }
    *value = v;
    return p;
}

const char* skipField(const char* p)
{
    while (*p && *p != ' ')
        ++p;
    while (*p == ' ')
        ++p;
    return p;
}

bool sameText(const char* a, const char* b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

bool parseMapping(const char* line, Mapping* m)
{
    const char* p = readHex(line, &m->start);
    if (*p != '-')
        return false;
    p = readHex(p + 1, &m->end);
    p = skipField(p); // to the permissions
    p = skipField(p); // to the offset
    p = readHex(p, &m->fileOffset);
    p = skipField(p); // to the device
    p = skipField(p); // to the inode
    p = skipField(p); // to the path, if any
    m->path = p;
    return m->end > m->start;
}

// Names the file mapped at `address` and the offset of the address from the
// file's load base (where its first mapping, at file offset 0, begins): the
// number that addr2line and a debugger take for that file. An address in a
// shared library is thus reported against the library, not the executable.
void writeModule(Writer& w, uintptr_t address)
{
    w.flush();
    const int in = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    static char line[kMapsLine];
    static char basePath[kMapsLine];
    uintptr_t base = 0;
    basePath[0] = 0;
    size_t used = 0;
    bool found = false;
    char chunk[1024];
    while (in >= 0 && !found) {
        const ssize_t n = ::read(in, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n && !found; ++i) {
            if (chunk[i] != '\n') {
                if (used + 1 < sizeof line)
                    line[used++] = chunk[i];
                continue;
            }
            line[used] = 0;
            used = 0;
            Mapping m;
            if (!parseMapping(line, &m))
                continue;
            if (m.fileOffset == 0 && m.path[0]) {
                base = m.start;
                copyString(basePath, sizeof basePath, m.path);
            }
            if (address < m.start || address >= m.end)
                continue;
            found = true;
            const bool sameFile = m.path[0] && sameText(m.path, basePath);
            const uintptr_t moduleBase = sameFile ? base : m.start - m.fileOffset;
            w.str("module: ").str(m.path[0] ? m.path : "(anonymous memory)").str(" (base ").hex(moduleBase);
            w.str(", instruction offset ").hex(address - moduleBase).str(")\n");
        }
    }
    if (in >= 0)
        ::close(in);
    if (!found)
        w.str("module: none (the address lies in no mapping)\n");
}

bool writeDump(const char* name, int sig, const siginfo_t* info, const ucontext_t* uc, const Registers& regs,
    uint32_t code, const CivilTime& t)
{
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    {
        Writer w(fd);
        w.str("Netquill crash report\n");
        w.str("time: ").dec(t.year).put('-').dec2(t.month).put('-').dec2(t.day).put(' ');
        w.dec2(t.hour).put(':').dec2(t.minute).put(':').dec2(t.second).str(" (local)\n");
        w.str("process: ").dec(getpid()).str(", thread: ").dec(long(syscall(SYS_gettid))).put('\n');
        w.str("signal: ").dec(sig).str(" (").str(signalName(sig)).str("), signal code: ").dec(info->si_code).put('\n');
        w.str("exception code: ").hex(code).put('\n');
        w.str("instruction address: ").hex(regs.pc).put('\n');
        if (sig != SIGABRT) // for abort() the field holds the sender's pid
            w.str("fault address: ").hex(uintptr_t(info->si_addr)).put('\n');
        w.str("stack pointer: ").hex(regs.sp).put('\n');
        writeModule(w, regs.pc);
        w.str("\nregisters:\n");
        writeRegisters(w, uc);
        w.str("\nbacktrace of the faulting thread:\n");
        w.flush();
        void* frames[64];
        const int n = backtrace(frames, 64);
        backtrace_symbols_fd(frames, n, fd);
        w.str("\nmemory map:\n");
        copyFile(w, "/proc/self/maps");
    }
    ::close(fd);
    return true;
}

void runHelper(uint32_t code, uintptr_t address, const char* dumpName)
{
    if (!g_helperPath[0])
        return;
    static char codeText[24], addressText[24];
    formatHex(codeText, sizeof codeText, code);
    formatHex(addressText, sizeof addressText, address);
    char* argv[kMaxHelperArgs + 10];
    int argc = 0;
    argv[argc++] = g_helperPath;
    for (int i = 0; i < g_helperArgCount; ++i)
        argv[argc++] = g_helperArgStore[i];
    argv[argc++] = const_cast<char*>("--code");
    argv[argc++] = codeText;
    argv[argc++] = const_cast<char*>("--address");
    argv[argc++] = addressText;
    if (dumpName) {
        argv[argc++] = const_cast<char*>("--dump");
        argv[argc++] = const_cast<char*>(dumpName);
    }
    argv[argc] = nullptr;

#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    const pid_t pid = _Fork(); // no atfork handlers: the process state may be broken
#else
    const pid_t pid = fork();
#endif
    if (pid == 0) {
        execve(g_helperPath, argv, environ);
        _exit(127);
    }
    if (pid < 0)
        return;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
}

void onFatalSignal(int sig, siginfo_t* info, void* context)
{
    // A second thread faulting while the first reports waits for the end.
    if (g_handling.exchange(1) != 0) {
        for (;;)
            pause();
    }
    const auto* uc = static_cast<const ucontext_t*>(context);
    const Registers regs = registersOf(uc);
    const uint32_t code = exceptionCode(sig, info->si_code, uintptr_t(info->si_addr), regs.sp);
    const CivilTime t = localNow();

    char name[32];
    {
        int n = 0;
        auto put4 = [&](int v) {
            name[n++] = char('0' + v / 1000 % 10);
            name[n++] = char('0' + v / 100 % 10);
            name[n++] = char('0' + v / 10 % 10);
            name[n++] = char('0' + v % 10);
        };
        auto put2 = [&](int v) {
            name[n++] = char('0' + v / 10 % 10);
            name[n++] = char('0' + v % 10);
        };
        put4(t.year);
        put2(t.month);
        put2(t.day);
        put2(t.hour);
        put2(t.minute);
        put2(t.second);
        copyString(name + n, sizeof name - size_t(n), ".dmp");
    }
    const bool written = writeDump(name, sig, info, uc, regs, code, t);
    runHelper(code, regs.pc, written ? name : nullptr);

    // End the process by the signal itself, so its parent sees the cause.
    struct sigaction dfl { };
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
    _exit(128 + sig);
}

struct AltStack {
    void* memory = nullptr;
    ~AltStack()
    {
        if (!memory)
            return;
        stack_t off {};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        munmap(memory, kAltStackSize);
    }
};

thread_local AltStack t_altStack;

void defaultHelperPath()
{
    char exe[sizeof g_helperPath];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return;
    exe[n] = 0;
    char* slash = strrchr(exe, '/');
    if (!slash)
        return;
    slash[1] = 0;
    if (strlen(exe) + strlen(AppPaths::kCrashBoxName) + 1 > sizeof g_helperPath)
        return;
    copyString(g_helperPath, sizeof g_helperPath, exe);
    strcat(g_helperPath, AppPaths::kCrashBoxName);
}

} // namespace

uint32_t exceptionCode(int signal, int signalCode, uintptr_t faultAddress, uintptr_t stackPointer)
{
    switch (signal) {
    case SIGSEGV: {
        const uintptr_t distance
            = faultAddress > stackPointer ? faultAddress - stackPointer : stackPointer - faultAddress;
        if (faultAddress != 0 && distance < kStackOverflowReach)
            return 0xc00000fd;
        return 0xc0000005;
    }
    case SIGBUS: return 0xc0000006;
    case SIGILL: return (signalCode == ILL_PRVOPC || signalCode == ILL_PRVREG) ? 0xc0000096 : 0xc000001d;
    case SIGFPE:
        switch (signalCode) {
        case FPE_INTDIV: return 0xc0000094;
        case FPE_INTOVF: return 0xc0000095;
        case FPE_FLTDIV: return 0xc000008e;
        case FPE_FLTOVF: return 0xc0000091;
        case FPE_FLTUND: return 0xc0000093;
        case FPE_FLTRES: return 0xc000008f;
        case FPE_FLTINV: return 0xc0000090;
        case FPE_FLTSUB: return 0xc000008c;
        default: return 0xc0000094;
        }
    case SIGABRT: return 0x40000015;
    default: return 0xc0000409;
    }
}

void prepareThread()
{
    if (t_altStack.memory)
        return;
    void* memory = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return;
    stack_t ss {};
    ss.ss_sp = memory;
    ss.ss_size = kAltStackSize;
    if (sigaltstack(&ss, nullptr) != 0) {
        munmap(memory, kAltStackSize);
        return;
    }
    t_altStack.memory = memory;
}

void install(const char* helperPath, const char* const* helperArgs)
{
    if (helperPath)
        copyString(g_helperPath, sizeof g_helperPath, helperPath);
    else
        defaultHelperPath();
    g_helperArgCount = 0;
    for (int i = 0; helperArgs && helperArgs[i] && g_helperArgCount < kMaxHelperArgs; ++i)
        copyString(g_helperArgStore[g_helperArgCount++], sizeof g_helperArgStore[0], helperArgs[i]);

    tzset();
    const time_t now = time(nullptr);
    struct tm local { };
    if (localtime_r(&now, &local))
        g_utcOffsetSeconds = local.tm_gmtoff;

    // backtrace() loads libgcc_s on first use; do it now, not in the handler.
    void* warm[2];
    backtrace(warm, 2);

    prepareThread();
    struct sigaction sa { };
    sa.sa_sigaction = onFatalSignal;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    for (int sig : kFatalSignals)
        sigaction(sig, &sa, nullptr);
}

} // namespace CrashHandler
