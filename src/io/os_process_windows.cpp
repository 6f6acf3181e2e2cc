// The process of os_process.hpp on Windows.
#include <fcntl.h>
#include <io.h>
#include <malloc.h>
#include <pthread.h>
#include <windows.h>

#include <csignal>
#include <cstdio>

#include "io/os_process.hpp"

namespace qx::os {

// Nothing ends a process at a file size limit here.
void keep_running_at_file_size_limit() {}

// The C runtime would put a carriage return before every line feed of a
// stream in text mode: the programs write what they write on Linux.
// Standard input keeps its text mode, where Ctrl-Z ends the input typed at
// the console; the dialogue takes lines ended by CR LF either way.
void write_standard_output_as_bytes() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

void on_stop_request(void (*stop)(int)) {
  for (int sig : {SIGINT, SIGTERM, SIGBREAK}) std::signal(sig, stop);
}

// Windows runs the console's Ctrl-C handler on a thread of its own.
void block_signals_in_this_thread() {}

int process_id() { return static_cast<int>(GetCurrentProcessId()); }

// A thread of the process may always be given its priority again.
bool may_leave_idle() { return true; }

bool idle(std::thread& t) {
  return SetThreadPriority(pthread_gethandle(t.native_handle()), THREAD_PRIORITY_IDLE) != 0;
}

void normal(std::thread& t) { SetThreadPriority(pthread_gethandle(t.native_handle()), THREAD_PRIORITY_NORMAL); }

void* allocate_aligned(std::size_t n, std::size_t alignment) {
  return _aligned_malloc(n == 0 ? 1 : n, alignment < alignof(std::max_align_t) ? alignof(std::max_align_t) : alignment);
}

void free_aligned(void* p) { _aligned_free(p); }

}  // namespace qx::os
