#pragma once

#include <cstdint>

// Post-mortem reports. On a fatal fault, on any thread, the handler writes a
// dump named by the local date and time ("yyyyMMddhhmmss.dmp") into the
// working directory, then starts the crash-box helper, which tells the
// technician the fault code and address ("Crash", "Code: %1, address: %2"),
// waits for it and ends the process. No window is opened from inside the
// handler itself.
//
// The platform layer: crashhandler_linux.cpp implements it with POSIX signals;
// a Windows port adds its own file around SetUnhandledExceptionFilter and
// MiniDumpWriteDump.
namespace CrashHandler {

// Installs the handler for the whole process, before anything else runs.
// `helperPath` is the crash-box executable (null: AppPaths::kCrashBoxName beside the
// running executable); `helperArgs` (null-terminated, may be null) are passed
// to it before the generated arguments. Strings are copied.
void install(const char* helperPath = nullptr, const char* const* helperArgs = nullptr);

// Gives the calling thread its own signal stack, so that a stack overflow on
// it is reported too. install() does this for the thread that calls it; other
// long-running threads call it when they start.
void prepareThread();

// The Windows exception code that a fatal signal corresponds to, so that a
// report reads the same on every platform:
//   SIGSEGV                              0xc0000005 access violation
//           fault address beside the stack pointer: 0xc00000fd stack overflow
//   SIGBUS                               0xc0000006 in-page error
//   SIGILL  ILL_PRVOPC / ILL_PRVREG      0xc0000096 privileged instruction
//           otherwise                    0xc000001d illegal instruction
//   SIGFPE  FPE_INTDIV                   0xc0000094 integer divide by zero
//           FPE_INTOVF                   0xc0000095 integer overflow
//           FPE_FLTDIV                   0xc000008e float divide by zero
//           FPE_FLTOVF                   0xc0000091 float overflow
//           FPE_FLTUND                   0xc0000093 float underflow
//           FPE_FLTRES                   0xc000008f float inexact result
//           FPE_FLTINV                   0xc0000090 float invalid operation
//           FPE_FLTSUB                   0xc000008c array bounds exceeded
//   SIGABRT                              0x40000015 fatal application exit
//                                        (what abort() raises on Windows)
// Any other signal gives 0xc0000409 (fail fast).
uint32_t exceptionCode(int signal, int signalCode, uintptr_t faultAddress, uintptr_t stackPointer);

} // namespace CrashHandler
