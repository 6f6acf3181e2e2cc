// The two header records of an ordinary result block, as read from a TP18 or
// TP19 file (REC1 40 bytes, REC2 28 bytes) and as written to a converted file
// (REC1 36 bytes, REC2 24 bytes: every real8 narrowed to real4), with their
// text lines for the twins and the list file.
#pragma once

#include <array>
#include <string_view>

#include "io/item_kinds.hpp"
#include "io/record_head.hpp"

namespace qx {

class Channels;

struct BlockHeader {
  std::array<char, 4> name{};  // kind word
  int4 nc1 = 0, nc2 = 0, nc3 = 0, nc4 = 0, nc5 = 0, nc6 = 0;
  real8 dmp = 0;
  int4 lrec = 0;
  int4 nsize2 = 0;
  real8 dt = 0;
  std::array<real4, 4> yt{};

  std::string_view kind() const { return {name.data(), name.size()}; }
};

struct OutHeader {
  std::array<char, 4> name{};
  int4 nc1 = 0, nc2 = 0, nc3 = 0, nc4 = 0, nc5 = 0, nc6 = 0;
  real4 dap = 0;
  int4 lrec = 0;
  int4 nsize2 = 0;
  real4 dtt = 0;
  std::array<real4, 4> yt{};
};

// Narrows to single precision, rounding to nearest; a result below the normal
// range becomes a zero of the same sign, as zero-on-underflow does on x86-64:
// a value that rounds to the smallest normal number before its exponent is
// bounded (|v| >= FLT_MIN * (1 - 2^-25)) is that number, any smaller one
// zero. Decided here rather than by the processor's mode, so that the result
// is the same on every processor, with or without such a mode.
real4 narrow(real8 v);

// A kind word as the four characters of a header, blank-padded.
std::array<char, 4> kind_word(std::string_view word);

// The information block written when a result file does not begin with one.
OutHeader default_info_header();

// The header as written from the header as read: every field as read, the
// reals narrowed, and the step only when the block keeps it (0.0 otherwise).
// The conversions then set the codes and lrec that they rewrite.
OutHeader narrowed(const BlockHeader& h, bool keeps_step);

int read_rec1(Channels& ch, int unit, BlockHeader& h);
// REC1 taken from a record already read, with the statuses of read_rec1.
int take_rec1(const RecordHead& rec, BlockHeader& h);
int read_rec2(Channels& ch, int unit, BlockHeader& h);

int write_rec1(Channels& ch, int unit, const OutHeader& h);
int write_rec2(Channels& ch, int unit, const OutHeader& h);

// The header as two text lines through "(a4,6i8,1PE15.5,i8)" and
// "(I8,1P5E15.5)". The reals shown are given by the caller (the written
// narrowed values, or the values as read).
int write_rec1_text(Channels& ch, int unit, const OutHeader& h, real8 shown_real);
int write_rec1_text(Channels& ch, int unit, const OutHeader& h, real4 shown_real);
int write_rec2_text(Channels& ch, int unit, const OutHeader& h, real8 shown_step);
int write_rec2_text(Channels& ch, int unit, const OutHeader& h, real4 shown_step);

// The two list file lines of a block, with the values as read.
int write_block_list_lines(Channels& ch, int unit, const BlockHeader& h);

}  // namespace qx
