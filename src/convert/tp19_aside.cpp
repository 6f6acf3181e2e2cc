#include "convert/tp19_aside.hpp"

#include <array>
#include <atomic>
#include <cstdint>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "convert/cnvt_tp19.hpp"
#include "convert/conversion_frame.hpp"
#include "convert/conversion_reports.hpp"
#include "io/os_file.hpp"
#include "io/os_process.hpp"
#include "io/staged_file.hpp"
#include "io/status.hpp"
#include "run/channel_numbers.hpp"
#include "run/result_files.hpp"
#include "run/run.hpp"

namespace qx {

namespace {

// Below this size a result file converts in a few milliseconds, less than
// setting up the files aside and the thread would save.
constexpr std::uint64_t aside_from_bytes = std::uint64_t{1} << 20;

// The outputs written aside, in the order of Tp19Aside::outputs; the text
// twins only under a run option.
constexpr ResultRole binary_outputs[] = {&ResultFile::sv, &ResultFile::sh};
constexpr ResultRole text_outputs[] = {&ResultFile::svt, &ResultFile::sht};

// Bytes of a file, 0 when it cannot be told.
std::uint64_t file_bytes(const std::string& name) {
  os::FileFacts facts;
  return os::facts_of(name, true, facts) == 0 ? facts.size : 0;
}

// While TP19 is converted aside, its new outputs take room beside the old
// ones, and beside TP18's outputs being written: a file system that the
// conversion of one file after the other would just fill could then fail
// another write, or the same one at another point. The conversion aside is
// only taken with room for every output twice over, reckoned generously:
// as large as the result files, four times that in text twins.
bool room_to_spare(const Run& run, std::uint64_t result_bytes) {
  std::uint64_t free_bytes = 0;
  if (!os::free_bytes(directory_of(run.ch.name(tp19_file.sv.unit)), free_bytes)) return false;
  std::uint64_t outputs = result_bytes * (run.val.option_sum() > 0 ? 5 : 1);
  for (ResultRole role : binary_outputs) outputs += file_bytes(run.ch.name((tp19_file.*role).unit));
  return free_bytes / 2 >= outputs;
}

}  // namespace

struct Tp19Aside {
  explicit Tp19Aside(const Run& run) : side(Terminal{no_input, told, told}) {
    side.val = run.val;
    side.stop = &stop;
  }
  ~Tp19Aside() { drop(nullptr); }

  // Stops the conversion and drops what it wrote: the side run's files are
  // closed first, so that nothing it held back reaches an output emptied
  // again. An output that cannot be emptied again is told to `run`.
  void drop(Run* run) {
    stop.store(true, std::memory_order_relaxed);
    join();
    side.ch.close_all();
    for (StagedFile& f : outputs) {
      const std::string name = f.target();
      if (const int error = f.drop(); error != 0 && run != nullptr)
        tell(*run, "warning: " + name + " still holds TP19 results that were to be dropped: it cannot be emptied (" +
                       os::error_text(error) + ")");
    }
    list_lines.drop();
  }

  // The thread: the TP19 conversion in the side run, then the list lines
  // closed, since they are only all in their file then.
  void convert() {
    os::block_signals_in_this_thread();
    int st = 0;
    cnvt_tp19(side, st);
    const int closed = side.ch.close(unit::lst);
    ier = st != 0 ? st : closed;
  }

  // While TP18 is converted the thread runs only on a core that nothing
  // else wants: on two cores it fills the gaps that the TP18 conversion and
  // its reader leave rather than slowing them, and other programs come
  // first. Once the run waits for it, it is raised to the priority of the
  // run again: taken only where that is allowed, so that a busy machine
  // never keeps the run waiting on a thread that gets no core.
  void start_idle() { idle = os::idle(worker); }
  void join() {
    if (!worker.joinable()) return;
    if (idle) os::normal(worker);
    idle = false;
    worker.join();
  }

  std::istringstream no_input;
  std::ostringstream told;             // what the side run tells: dropped with it
  std::array<StagedFile, 4> outputs;   // sv, sh, svt, sht
  StagedFile list_lines;               // the side run's list file
  std::atomic<bool> stop{false};
  Run side;                            // closed before the files above are dropped
  int ier = 0;                         // of the side run, read after the join
  std::thread worker;
  bool idle = false;                   // the thread runs idle (SCHED_IDLE)
};

namespace {

// Opens the side run's files: the TP19 file again, each output on a file
// aside, the list file on a scratch file. False when any of it fails.
bool open_side_files(const Run& run, Tp19Aside& a, bool read_ahead) {
  Channels& ch = a.side.ch;
  const ResultFile& f = tp19_file;
  if (ch.open_binary_read(f.input.unit, run.ch.name(f.input.unit), ByteOrder::little, read_ahead) != 0) return false;
  const ByteOrder order = run.val.big_endian() ? ByteOrder::big : ByteOrder::little;
  for (std::size_t i = 0; i < 2; ++i) {
    const int unit = (f.*binary_outputs[i]).unit;
    if (!a.outputs[i].stage_for(run.ch.name(unit))) return false;
    if (ch.open_binary_write(unit, a.outputs[i].path(), order) != 0) return false;
  }
  if (run.val.option_sum() > 0) {
    for (std::size_t i = 0; i < 2; ++i) {
      const int unit = (f.*text_outputs[i]).unit;
      if (!a.outputs[2 + i].stage_for(run.ch.name(unit))) return false;
      if (ch.open_text_write(unit, a.outputs[2 + i].path()) != 0) return false;
    }
  }
  if (!a.list_lines.make_scratch(directory_of(run.ch.name(unit::lst)))) return false;
  return ch.open_text_write(unit::lst, a.list_lines.path()) == 0;
}

// The channel of the output at `index` of Tp19Aside::outputs.
int output_unit(std::size_t index) {
  return (tp19_file.*(index < 2 ? binary_outputs[index] : text_outputs[index - 2])).unit;
}

// The names of the run's own TP19 outputs in the order of Tp19Aside::outputs,
// empty for a text twin that is not open.
using OutputNames = std::array<std::string, 4>;
OutputNames output_names(const Run& run) {
  OutputNames names;
  for (std::size_t i = 0; i < names.size(); ++i) names[i] = run.ch.name(output_unit(i));
  return names;
}

// The outputs of the run's own channels opened again by name, after some of
// them were replaced: the conversion that follows writes to the files that
// now bear the names.
void reopen_outputs(Run& run, const OutputNames& names) {
  const ByteOrder order = run.val.big_endian() ? ByteOrder::big : ByteOrder::little;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].empty()) continue;
    if (i < 2) {
      run.ch.open_binary_write(output_unit(i), names[i], order);
    } else {
      run.ch.open_text_write(output_unit(i), names[i]);
    }
  }
}

// The side run's list lines appended to the list file: 0 or the status of
// the failed read or write.
int append_list_lines(Run& run, const StagedFile& lines) {
  std::vector<char> chunk(std::size_t{64} << 10);
  for (std::uint64_t off = 0;;) {
    const long long got = os::read_at(lines.file(), off, chunk.data(), chunk.size());
    if (got < 0) return iostat::read_failed;
    if (got == 0) return iostat::ok;
    if (int st = run.ch.put_text(unit::lst, std::string_view(chunk.data(), static_cast<std::size_t>(got)));
        st != iostat::ok)
      return st;
    off += static_cast<std::uint64_t>(got);
  }
}

// Puts what the side run wrote in place of the run's own TP19 outputs and
// list lines: true when that is done (ier then 0 or the status of a failure
// reported); false when TP19 is still to be converted.
bool put_in_place(Run& run, Tp19Aside& a, int& ier) {
  // An output that the conversion never wrote keeps what it held, as it
  // would without the conversion aside. Every file gets its name beside
  // the target before any target is replaced, so that a directory that
  // refuses one leaves every output as it was.
  std::vector<StagedFile*> written;
  for (StagedFile& f : a.outputs) {
    if (!f.staged()) continue;
    const long long bytes = f.size();
    if (bytes < 0) return false;  // not known whether it was written: converted in its turn
    if (bytes > 0) written.push_back(&f);
  }
  for (StagedFile* f : written)
    if (!f->link_beside()) return false;
  // The run's own channels of TP19 were never written: closing them keeps
  // the files as they are. Those of the outputs to be replaced are closed
  // before the renames, since Windows replaces no file that is open; a
  // close that fails is reported as the conversion's own close would.
  const OutputNames names = output_names(run);
  int closed = iostat::ok, closed_unit = 0;
  for (StagedFile* f : written) {
    const int unit = output_unit(static_cast<std::size_t>(f - a.outputs.data()));
    if (const int st = run.ch.close(unit); st != iostat::ok && closed == iostat::ok) {
      closed = st;
      closed_unit = unit;
    }
  }
  for (StagedFile* f : written) {
    if (!f->replace_target()) {
      reopen_outputs(run, names);
      return false;
    }
  }
  if (int st = append_list_lines(run, a.list_lines); st != iostat::ok) {
    ier = report_list_failure(run, tp19_file, st);
    return true;
  }
  ier = close_result_files(run, tp19_file);
  if (ier == iostat::ok && closed != iostat::ok)
    ier = report_failure(run, tp19_file, Failure::data_write, closed, closed_unit);
  return true;
}

}  // namespace

void start_tp19_aside(Run& run, int& /*ier*/) {
  if (!run.val.ltp18 || !run.val.ltp19) return;
  const std::uint64_t tp18_bytes = file_bytes(run.ch.name(tp18_file.input.unit));
  const std::uint64_t tp19_bytes = file_bytes(run.ch.name(tp19_file.input.unit));
  if (tp18_bytes < aside_from_bytes || tp19_bytes < aside_from_bytes) return;
  if (!room_to_spare(run, tp18_bytes + tp19_bytes)) return;
  // The conversion aside takes one core: its file is read ahead on a thread
  // of its own only when it is the larger of the two, and its conversion the
  // one that the run waits for. On a machine of two cores a fourth busy
  // thread would slow the TP18 conversion by more than it saves.
  const bool tp19_larger = tp19_bytes > tp18_bytes;
  auto a = std::make_shared<Tp19Aside>(run);
  if (!open_side_files(run, *a, tp19_larger)) return;
  try {
    a->worker = std::thread(&Tp19Aside::convert, a.get());
  } catch (const std::system_error&) {
    return;  // no thread to be had: TP19 is converted after TP18
  }
  // A TP19 file read ahead is the larger one, whose conversion the run
  // waits for; its reading thread would also stay idle.
  if (!tp19_larger && os::may_leave_idle()) a->start_idle();
  run.tp19_aside = std::move(a);
}

void finish_tp19(Run& run, int& ier) {
  if (std::shared_ptr<Tp19Aside> a = std::move(run.tp19_aside)) {
    a->join();
    if (a->ier == 0 && put_in_place(run, *a, ier)) return;
    a->drop(&run);  // before TP19 is converted into the same outputs
  }
  cnvt_tp19(run, ier);
}

void drop_tp19_aside(Run& run) {
  if (std::shared_ptr<Tp19Aside> a = std::move(run.tp19_aside)) a->drop(&run);
}

}  // namespace qx
