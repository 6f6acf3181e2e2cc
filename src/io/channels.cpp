#include "io/channels.hpp"

#include <algorithm>

#include "io/os_file.hpp"
#include "io/status.hpp"
#include "io/trim_right.hpp"

namespace qx {

struct Channels::Channel {
  ChannelKind kind = ChannelKind::closed;
  std::string name;
  RecordReader records_in;
  RecordWriter records_out;
  TextReader text_in;
  TextWriter text_out;
  UpdateFile update;
};

namespace {

bool valid_unit(int unit) { return unit >= 0 && unit <= Channels::max_unit; }

// Why the file of a channel of this kind failed; a file read and written on
// one position keeps only its status.
template <typename Channel>
IoFailure failure_of(const Channel& c, ChannelKind kind) {
  switch (kind) {
    case ChannelKind::binary_read: return c.records_in.failure();
    case ChannelKind::binary_write: return c.records_out.failure();
    case ChannelKind::text_read: return c.text_in.failure();
    case ChannelKind::text_write: return c.text_out.failure();
    case ChannelKind::binary_update:
    case ChannelKind::text_update:
    case ChannelKind::closed: break;
  }
  return {};
}

// A close that deletes removes the name of a file (or of a link to one). A
// device or other special file named as a channel's file stays where it is:
// removing it would take it away from every program on the machine.
bool deletable(const std::string& name) {
  os::FileFacts facts;
  if (os::facts_of(name, false, facts) != 0) return true;  // the removal tells what is wrong
  return facts.type == os::FileType::regular || facts.type == os::FileType::link;
}

}  // namespace

Channels::Channels() = default;
Channels::~Channels() { close_all(); }

Channels::Channel* Channels::find(int unit, ChannelKind kind) const {
  if (!valid_unit(unit) || !table_[static_cast<std::size_t>(unit)]) return nullptr;
  Channel* c = table_[static_cast<std::size_t>(unit)].get();
  return c->kind == kind ? c : nullptr;
}

Channels::Channel* Channels::find(int unit, ChannelKind kind, ChannelKind or_kind) const {
  if (Channel* c = find(unit, kind)) return c;
  return find(unit, or_kind);
}

template <typename Open>
int Channels::open_channel(int unit, std::string_view name, ChannelKind kind, Open open) {
  if (!valid_unit(unit)) return iostat::open_failed;
  close(unit);
  auto c = std::make_unique<Channel>();
  c->name = trim_right(name);
  int st = open(*c);
  Failure& departed = departed_[static_cast<std::size_t>(unit)];
  if (st != iostat::ok) {
    departed = {c->name, failure_of(*c, kind)};
    return st;
  }
  departed = {};
  c->kind = kind;
  table_[static_cast<std::size_t>(unit)] = std::move(c);
  return iostat::ok;
}

int Channels::open_binary_read(int unit, std::string_view name, ByteOrder order, bool read_ahead) {
  return open_channel(unit, name, ChannelKind::binary_read,
                      [&](Channel& c) { return c.records_in.open(c.name, order, read_ahead); });
}

int Channels::open_binary_write(int unit, std::string_view name, ByteOrder order) {
  return open_channel(unit, name, ChannelKind::binary_write,
                      [&](Channel& c) { return c.records_out.open(c.name, order); });
}

int Channels::open_text_read(int unit, std::string_view name) {
  return open_channel(unit, name, ChannelKind::text_read, [&](Channel& c) { return c.text_in.open(c.name); });
}

int Channels::open_text_write(int unit, std::string_view name) {
  return open_channel(unit, name, ChannelKind::text_write, [&](Channel& c) { return c.text_out.open(c.name); });
}

int Channels::open_binary_update(int unit, std::string_view name, ByteOrder order) {
  return open_channel(unit, name, ChannelKind::binary_update,
                      [&](Channel& c) { return c.update.open(c.name, UpdateFile::Form::binary, order); });
}

int Channels::open_text_update(int unit, std::string_view name) {
  return open_channel(unit, name, ChannelKind::text_update, [&](Channel& c) {
    return c.update.open(c.name, UpdateFile::Form::text, ByteOrder::little);
  });
}

int Channels::open_binary_scratch(int unit, ByteOrder order) {
  return open_channel(unit, {}, ChannelKind::binary_update,
                      [&](Channel& c) { return c.update.open_scratch(UpdateFile::Form::binary, order); });
}

int Channels::open_text_scratch(int unit) {
  return open_channel(unit, {}, ChannelKind::text_update, [&](Channel& c) {
    return c.update.open_scratch(UpdateFile::Form::text, ByteOrder::little);
  });
}

int Channels::close(int unit, bool keep) {
  if (!valid_unit(unit)) return iostat::ok;
  auto& slot = table_[static_cast<std::size_t>(unit)];
  if (!slot) return iostat::ok;
  int st = iostat::ok;
  switch (slot->kind) {
    case ChannelKind::binary_read: st = slot->records_in.close(); break;
    case ChannelKind::binary_write: st = slot->records_out.close(); break;
    case ChannelKind::text_read: st = slot->text_in.close(); break;
    case ChannelKind::text_write: st = slot->text_out.close(); break;
    case ChannelKind::binary_update:
    case ChannelKind::text_update: st = slot->update.close(); break;
    case ChannelKind::closed: break;
  }
  IoFailure why = st != iostat::ok ? failure_of(*slot, slot->kind) : IoFailure{};
  // A scratch file has no name left to delete.
  if (!keep && !slot->name.empty() && deletable(slot->name)) {
    if (const int error = os::remove_file(slot->name); error != 0 && st == iostat::ok) {
      why = IoFailure::from_system(error);
      st = iostat::open_failed;
    }
  }
  departed_[static_cast<std::size_t>(unit)] = st != iostat::ok ? Failure{slot->name, why} : Failure{};
  slot.reset();
  return st;
}

void Channels::close_all() {
  for (int unit = 0; unit <= max_unit; ++unit) close(unit);
}

int Channels::flush(int unit) {
  if (Channel* c = find(unit, ChannelKind::binary_write)) return c->records_out.flush();
  if (Channel* c = find(unit, ChannelKind::text_write)) return c->text_out.flush();
  if (Channel* c = find(unit, ChannelKind::binary_update, ChannelKind::text_update)) return c->update.flush();
  return iostat::write_failed;
}

ChannelKind Channels::kind(int unit) const {
  if (!valid_unit(unit) || !table_[static_cast<std::size_t>(unit)]) return ChannelKind::closed;
  return table_[static_cast<std::size_t>(unit)]->kind;
}

const std::string& Channels::name(int unit) const {
  static const std::string none;
  if (!valid_unit(unit) || !table_[static_cast<std::size_t>(unit)]) return none;
  return table_[static_cast<std::size_t>(unit)]->name;
}

Channels::Failure Channels::failure(int unit) const {
  if (!valid_unit(unit)) return {};
  if (const auto& c = table_[static_cast<std::size_t>(unit)]) return {c->name, failure_of(*c, c->kind)};
  return departed_[static_cast<std::size_t>(unit)];
}

int Channels::write_record(int unit, std::span<const OutItem> items) {
  if (Channel* c = find(unit, ChannelKind::binary_update)) return c->update.write(items);
  Channel* c = find(unit, ChannelKind::binary_write);
  return c ? c->records_out.write(items) : iostat::write_failed;
}

int Channels::write_record_consuming(int unit, std::span<float> values) {
  if (Channel* c = find(unit, ChannelKind::binary_write)) return c->records_out.write_consuming(values);
  return write_record(unit, {out(std::span<const float>(values))});
}

int Channels::pass_record(int in_unit, int out_unit, std::size_t values) {
  RecordReader* r = binary_reader(in_unit);
  Channel* w = find(out_unit, ChannelKind::binary_write);
  return r && w ? r->pass_record(values, w->records_out) : iostat::not_copied;
}

int Channels::read_record(int unit, std::span<const InItem> items) {
  if (Channel* c = find(unit, ChannelKind::binary_update)) return c->update.read(items);
  Channel* c = find(unit, ChannelKind::binary_read);
  return c ? c->records_in.read(items) : iostat::read_failed;
}

int Channels::skip_record(int unit) {
  if (Channel* c = find(unit, ChannelKind::binary_update)) return c->update.read({});
  Channel* c = find(unit, ChannelKind::binary_read);
  return c ? c->records_in.skip() : iostat::read_failed;
}

int Channels::peek_record_length(int unit, std::uint32_t& payload_bytes) {
  if (Channel* c = find(unit, ChannelKind::binary_update)) return c->update.peek_length(payload_bytes);
  Channel* c = find(unit, ChannelKind::binary_read);
  return c ? c->records_in.peek_length(payload_bytes) : iostat::read_failed;
}

int Channels::read_record_head(int unit, RecordHead& head) {
  RecordReader* r = binary_reader(unit);
  return r ? r->read_head(head) : iostat::read_failed;
}

RecordReader* Channels::binary_reader(int unit) const {
  Channel* c = find(unit, ChannelKind::binary_read);
  return c ? &c->records_in : nullptr;
}

int Channels::write_text(int unit, const Layout& layout, std::span<const OutItem> items) {
  if (Channel* c = find(unit, ChannelKind::text_update)) return write_layout(layout, items, c->update);
  Channel* c = find(unit, ChannelKind::text_write);
  return c ? write_layout(layout, items, c->text_out) : iostat::write_failed;
}

int Channels::write_text(int unit, Real4Lines lines) {
  if (Channel* c = find(unit, ChannelKind::text_write)) return c->text_out.put(lines);
  Channel* c = find(unit, ChannelKind::text_update);
  if (!c) return iostat::write_failed;
  if (!lines.valid()) return iostat::bad_layout;
  // A file read and written on one position takes the lines in the chunks
  // of the layout engine.
  std::string chunk(std::min(lines.total(), layout_chunk_bytes + lines.max_line()), ' ');
  int st = iostat::ok;
  while (st == iostat::ok && !lines.done()) {
    const std::size_t n = lines.fill(chunk.data(), chunk.size(), layout_chunk_bytes);
    if (n == 0) return iostat::bad_layout;
    st = c->update.put(std::string_view(chunk.data(), n));
  }
  return st;
}

int Channels::put_text(int unit, std::string_view text) {
  if (Channel* c = find(unit, ChannelKind::text_write)) return c->text_out.put(text);
  Channel* c = find(unit, ChannelKind::text_update);
  return c ? c->update.put(text) : iostat::write_failed;
}

int Channels::read_text(int unit, const Layout& layout, std::span<const InItem> items) {
  if (Channel* c = find(unit, ChannelKind::text_update)) return read_layout(layout, items, c->update);
  Channel* c = find(unit, ChannelKind::text_read);
  return c ? read_layout(layout, items, c->text_in) : iostat::read_failed;
}

int Channels::read_line(int unit, std::string_view& line) {
  if (Channel* c = find(unit, ChannelKind::text_update)) return c->update.next_line(line);
  Channel* c = find(unit, ChannelKind::text_read);
  return c ? c->text_in.next_line(line) : iostat::read_failed;
}

int Channels::backspace(int unit) {
  if (Channel* c = find(unit, ChannelKind::binary_read)) return c->records_in.backspace();
  if (Channel* c = find(unit, ChannelKind::text_read)) return c->text_in.backspace();
  if (Channel* c = find(unit, ChannelKind::binary_update, ChannelKind::text_update)) return c->update.backspace();
  return iostat::backspace_failed;
}

int Channels::rewind(int unit) {
  if (Channel* c = find(unit, ChannelKind::binary_read)) return c->records_in.rewind();
  if (Channel* c = find(unit, ChannelKind::text_read)) return c->text_in.rewind();
  if (Channel* c = find(unit, ChannelKind::binary_update, ChannelKind::text_update)) return c->update.rewind();
  return iostat::rewind_failed;
}

}  // namespace qx
