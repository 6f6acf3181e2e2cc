// Channel numbers of the file set: every file of a run is reached through one
// of these, opened by utlflsw_tp18.
#pragma once

namespace qx::unit {

inline constexpr int lst = 7;     // list file _TP18-19_COVT.lst
inline constexpr int qxin = 71;   // MODE1 input data file
inline constexpr int tp18 = 18;   // TP18 result file, read
inline constexpr int tp19 = 19;   // TP19 result file, read
inline constexpr int sv18 = 20;   // _QX2D.TP18
inline constexpr int sv19 = 21;   // _QX2D.TP19
inline constexpr int sh18 = 22;   // _QXSH.TP18
inline constexpr int sh19 = 23;   // _QXSH.TP19
inline constexpr int txt18 = 24;  // .TP18.txt (maxima dump)
inline constexpr int txt19 = 25;  // .TP19.txt (left empty)
inline constexpr int svt18 = 26;  // _QX2D.TP18.txt
inline constexpr int svt19 = 27;  // _QX2D.TP19.txt
inline constexpr int sht18 = 28;  // _QXSH.TP18.txt
inline constexpr int sht19 = 29;  // _QXSH.TP19.txt

}  // namespace qx::unit
