// A small program that installs the tool's crash handler and then faults in
// the way its first argument names, on the main thread or on a second one.
//   crashprobe KIND [thread] HELPER [helper args...]

#include "app/crashhandler.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

namespace {

volatile int g_seven = 7;
volatile int g_zero = 0;
volatile int g_sink = 0;

[[gnu::noinline]] int recurse(int depth)
{
    volatile char pad[512];
    pad[0] = char(depth);
    if (depth < 0) // never: keeps the compiler from calling this endless
        return 0;
    return recurse(depth + 1) + pad[0];
}

void fault(const char* kind)
{
    if (!strcmp(kind, "segv")) {
        *reinterpret_cast<volatile int*>(0x10) = 1;
    } else if (!strcmp(kind, "fpe")) {
        g_sink = g_seven / g_zero;
    } else if (!strcmp(kind, "ill")) {
        __builtin_trap();
    } else if (!strcmp(kind, "abort")) {
        abort();
    } else if (!strcmp(kind, "bus")) {
        char name[] = "/tmp/crashprobe-XXXXXX";
        const int fd = mkstemp(name);
        unlink(name);
        if (ftruncate(fd, 4096) != 0)
            _exit(3);
        auto* p = static_cast<volatile char*>(mmap(nullptr, 8192, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
        p[4096 + 16] = 1;
    } else if (!strcmp(kind, "stack")) {
        g_sink = recurse(0);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3)
        return 2;
    const bool onThread = !strcmp(argv[2], "thread");
    const int helperAt = onThread ? 3 : 2;
    if (argc <= helperAt)
        return 2;
    CrashHandler::install(argv[helperAt], const_cast<const char* const*>(argv + helperAt + 1));
    if (onThread) {
        std::thread t([kind = argv[1]] {
            CrashHandler::prepareThread();
            fault(kind);
        });
        t.join();
    } else {
        fault(argv[1]);
    }
    return 0;
}
