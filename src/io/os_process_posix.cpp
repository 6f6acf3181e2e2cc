// The process of os_process.hpp on POSIX systems (Linux).
#include <linux/capability.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "io/os_process.hpp"

namespace qx::os {

void keep_running_at_file_size_limit() { std::signal(SIGXFSZ, SIG_IGN); }

// Bytes go out as written already.
void write_standard_output_as_bytes() {}

void on_stop_request(void (*stop)(int)) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, stop);
}

void block_signals_in_this_thread() {
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, nullptr);
}

int process_id() { return static_cast<int>(::getpid()); }

// This thread may raise a thread of the process from SCHED_IDLE back to its
// nice value: by its limit of nice values, or by the capability.
bool may_leave_idle() {
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, 0);
  if (errno != 0) return false;
  rlimit limit{};
  if (::getrlimit(RLIMIT_NICE, &limit) == 0 &&
      (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= static_cast<rlim_t>(20 - nice)))
    return true;
  __user_cap_header_struct head{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  return ::syscall(SYS_capget, &head, data) == 0 &&
         (data[CAP_TO_INDEX(CAP_SYS_NICE)].effective & CAP_TO_MASK(CAP_SYS_NICE)) != 0;
}

bool idle(std::thread& t) {
  sched_param p{};
  return pthread_setschedparam(t.native_handle(), SCHED_IDLE, &p) == 0;
}

void normal(std::thread& t) {
  sched_param p{};
  pthread_setschedparam(t.native_handle(), SCHED_OTHER, &p);
}

void* allocate_aligned(std::size_t n, std::size_t alignment) {
  return alignment <= alignof(std::max_align_t) ? std::malloc(n) : std::aligned_alloc(alignment, n);
}

void free_aligned(void* p) { std::free(p); }

}  // namespace qx::os
