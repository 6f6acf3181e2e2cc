// The operating system's side of the process: standard streams, signals,
// the priority of a thread, page-aligned memory. With os_file.hpp, the one
// place where POSIX systems and Windows differ; the build takes
// os_process_posix.cpp or os_process_windows.cpp.
#pragma once

#include <cstddef>
#include <thread>

namespace qx::os {

// A write beyond the process's file size limit fails, to be reported like a
// full disk, instead of ending the process (POSIX: SIGXFSZ ignored).
void keep_running_at_file_size_limit();
// Standard output and standard error take the bytes as written: a line ends
// with a line feed alone, on Windows too, whose console shows it as well.
void write_standard_output_as_bytes();
// Calls `stop` (a signal handler) when the user interrupts or ends the
// program: Ctrl-C, termination, a closed terminal or console.
void on_stop_request(void (*stop)(int));
// The calling thread takes no signals: they are the main thread's.
void block_signals_in_this_thread();

int process_id();

// A thread's priority: `idle` runs it only on a core that nothing else
// wants; `normal` gives it the priority of the process again. idle() is
// false where it is not taken; normal() is only allowed where
// may_leave_idle() (POSIX: within the limit of nice values, or with the
// capability).
bool may_leave_idle();
bool idle(std::thread& t);
void normal(std::thread& t);

// Memory of n bytes starting at a multiple of `alignment` (a power of two;
// n a multiple of it where it exceeds the alignment of malloc), or nullptr;
// given back with free_aligned.
void* allocate_aligned(std::size_t n, std::size_t alignment);
void free_aligned(void* p);

}  // namespace qx::os
