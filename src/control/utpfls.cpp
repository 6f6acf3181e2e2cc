#include "control/utpfls.hpp"

#include "run/run.hpp"

namespace qx {

namespace {

enum class FileOp : unsigned char {
  close_keep,
  close_delete,
  binary_read,
  binary_write,
  binary_update,
  text_read,
  text_write,
  text_update,
  binary_scratch,
  text_scratch,
};

struct Mode {
  int key;
  FileOp op;
};

// The mode numbers and what each one does.
constexpr Mode modes[] = {
    {1, FileOp::close_keep},    {2, FileOp::close_delete}, {3, FileOp::binary_read},
    {4, FileOp::binary_write},  {5, FileOp::binary_update}, {6, FileOp::text_read},
    {7, FileOp::text_write},    {8, FileOp::text_update},  {9, FileOp::binary_scratch},
    {10, FileOp::text_scratch},
};

int perform(Run& run, FileOp op, std::string_view name, int unit) {
  Channels& ch = run.ch;
  switch (op) {
    case FileOp::close_keep: return ch.close(unit, true);
    case FileOp::close_delete: return ch.close(unit, false);
    case FileOp::binary_read: return ch.open_binary_read(unit, name, ByteOrder::little);
    case FileOp::binary_write:
      return ch.open_binary_write(unit, name, run.val.big_endian() ? ByteOrder::big : ByteOrder::little);
    case FileOp::binary_update: return ch.open_binary_update(unit, name, ByteOrder::little);
    case FileOp::text_read: return ch.open_text_read(unit, name);
    case FileOp::text_write: return ch.open_text_write(unit, name);
    case FileOp::text_update: return ch.open_text_update(unit, name);
    case FileOp::binary_scratch: return ch.open_binary_scratch(unit, ByteOrder::little);
    case FileOp::text_scratch: return ch.open_text_scratch(unit);
  }
  return 0;
}

}  // namespace

void utpfls(Run& run, std::string_view name, int lclfnu, int key, int& ioop) {
  for (const Mode& m : modes) {
    if (m.key == key) {
      ioop = perform(run, m.op, name, lclfnu);
      return;
    }
  }
}

}  // namespace qx
