#pragma once

// Defined in a sanitizer build (GCC's or clang's spelling), where memory is never locked: a
// sanitizer's shadow memory is terabytes of reserved address space.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SRVDIAG_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SRVDIAG_SANITIZED 1
#endif

// Keeps a simulator in step with the tool's deadlines (50 ms per answer) on a busy machine, where
// the process may: the calling thread runs under the real-time FIFO policy, and the process's
// memory stays resident. Where the system refuses (no privilege, a container's limits), nothing
// changes and nothing is said: the simulator then runs as any thread does.
void ServeInRealTime(); // the calling thread; threads it starts later inherit the policy
// All pages, present and future (future ones only where no limit applies); a program's main
// calls it once.
void LockProcessMemory();
// The calling thread back under the ordinary policy: a program started from a real-time thread
// calls it between fork and exec, so that the program runs as a user would run it.
void RunAsOrdinaryThread();
