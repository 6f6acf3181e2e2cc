#include "file_reader.hpp"

#include "model_section.hpp"
#include "record_cursor.hpp"
#include "result_blocks.hpp"
#include "walk_context.hpp"

namespace qxdump {

namespace {

ReadStatus bad(std::string& problem, std::string why) {
  problem = std::move(why);
  return ReadStatus::bad_input;
}

}  // namespace

ReadStatus read_file(const std::string& path, FileHandler& handler, std::string& problem) {
  problem.clear();
  RawFile raw;
  if (const std::string why = raw.open(path); !why.empty()) return bad(problem, "cannot be read: " + why);

  FileInfo info;
  info.path = path;
  info.size = raw.size();
  name_hints(path, info);
  if (info.size == 0) {
    info.kind = FileKind::empty;
    if (!handler.identity(info)) return ReadStatus::stopped;
    // A conversion writes the model section first: an empty converted file
    // is one whose run stopped before it wrote anything to it.
    if (info.side_from_name)
      return bad(problem, "incomplete converted file: it is empty, without the model section it must begin with");
    return handler.file_end(0, 0, {}) ? ReadStatus::ok : ReadStatus::stopped;
  }

  std::string why;
  if (!detect_byte_order(raw, info.order, why)) return bad(problem, why);
  RecordCursor cursor;
  if (why = cursor.open(path, info.order, raw); !why.empty()) return bad(problem, why);
  Record first;
  if (cursor.next(first) != RecordCursor::Step::record) return bad(problem, cursor.fault());
  detect_kind(first, info);
  if (!cursor.back()) return bad(problem, "cannot go back to the first record");
  if (!handler.identity(info)) return ReadStatus::stopped;

  WalkContext ctx{cursor, info, handler, {}, {}, {}, {}};
  WalkStatus status = WalkStatus::ok;
  if (info.kind == FileKind::converted) status = walk_model_section(ctx);
  if (status == WalkStatus::ok) status = walk_blocks(ctx);
  switch (status) {
    case WalkStatus::ok: break;
    case WalkStatus::stopped: return ReadStatus::stopped;
    case WalkStatus::fault:
    case WalkStatus::cut: return bad(problem, ctx.problem);
  }
  return handler.file_end(cursor.offset(), cursor.records_read(), ctx.totals) ? ReadStatus::ok : ReadStatus::stopped;
}

}  // namespace qxdump
