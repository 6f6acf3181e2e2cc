#include "dump_file.hpp"

#include "dump_print.hpp"
#include "file_kind.hpp"
#include "model_section.hpp"
#include "record_cursor.hpp"
#include "result_blocks.hpp"
#include "walk_context.hpp"

namespace qxdump {

namespace {

int fail(qx::TextSink& err, const std::string& path, const std::string& why) {
  err.put("qxdump: " + printable_text(path) + ": " + why + "\n");
  return 1;
}

}  // namespace

int dump_file(const std::string& path, const DumpOptions& options, qx::TextSink& out, qx::TextSink& err) {
  RawFile raw;
  if (const std::string why = raw.open(path); !why.empty()) return fail(err, path, "cannot be read: " + why);

  FileInfo info;
  info.path = path;
  info.size = raw.size();
  name_hints(path, info);
  Printer printer(out, options);
  if (info.size == 0) {
    info.kind = FileKind::empty;
    printer.file_line(info);
    // A conversion writes the model section first: an empty converted file
    // is one whose run stopped before it wrote anything to it.
    if (info.side_from_name)
      return fail(err, path, "incomplete converted file: it is empty, without the model section it must begin with");
    printer.end_line(0, 0, {});
    return 0;
  }

  std::string why;
  if (!detect_byte_order(raw, info.order, why)) return fail(err, path, why);
  RecordCursor cursor;
  if (why = cursor.open(path, info.order, raw); !why.empty()) return fail(err, path, why);
  Record first;
  if (cursor.next(first) != RecordCursor::Step::record) return fail(err, path, cursor.fault());
  detect_kind(first, info);
  if (!cursor.back()) return fail(err, path, "cannot go back to the first record");
  printer.file_line(info);

  WalkContext ctx{cursor, info, printer, {}, {}};
  WalkStatus status = WalkStatus::ok;
  if (info.kind == FileKind::converted) status = walk_model_section(ctx);
  if (status == WalkStatus::ok) status = walk_blocks(ctx);
  if (status != WalkStatus::ok) return fail(err, path, ctx.problem);
  printer.end_line(cursor.offset(), cursor.records_read(), ctx.totals);
  return 0;
}

}  // namespace qxdump
