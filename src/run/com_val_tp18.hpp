// COM_VAL_TP18: the one body of shared data of a run: the run settings that
// the dialogue fills and the finite-element model that r_qxin reads from the
// MODE1 input data file and w_qxin copies into every converted file.
//
// Arrays are std::vector indexed from 0 (entry k of the input is element k-1).
// Texts are held trimmed of trailing blanks unless their fixed width matters.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "io/item_kinds.hpp"

namespace qx {

struct ComValTp18 {
  // ---- run settings (filled by the dialogue) ----
  std::string inpdt_name;              // MODE1 input data file name, at most 256 characters
  std::string rslt_name;               // base name of the result files, at most 256 characters
  bool ltp18 = false;                  // the TP18 result file exists
  bool ltp19 = false;                  // the TP19 result file exists
  std::string conv = "little_endian";  // 13 characters: "LITTLE_ENDIAN" or "BIG_ENDIAN   "
  // Run options ("-four" ... "-maxr"), 1 = on; each names the data it puts
  // into the text twins: Fourier spectra, the model structure, time
  // histories, amplification functions, response spectra, maxima.
  int4 four = 0, stru = 0, wave = 0, ampl = 0, spec = 0, maxr = 0;
  std::string mkdate = "(2015/04/10)";
  real4 vrnum = 1.5f;
  int4 nhdg = 0;  // page counter of the list file

  bool big_endian() const { return conv.rfind("BIG_ENDIAN", 0) == 0; }
  int4 option_sum() const { return stru + spec + ampl + wave + maxr + four; }

  // ---- model header ----
  std::array<char, 72> title{};  // 18 four-character words; zero bytes until a TITLE line is read
  int4 ndpt = 0;                 // number of nodes
  int4 mso = 0;                  // number of solid materials
  std::array<int4, 10> nelm{};   // element counts by kind (slot k is nelm[k-1])
  int4 nja = 0, njb = 0;         // numbers of JOINTA and JOINTB elements
  std::array<int4, 3> keyb{};    // the three boundary keys
  std::array<int4, 3> nbound{};  // boundary node counts: left, right, base

  // ---- node table ----
  std::vector<int4> ndpts;
  std::vector<real4> xord, zord;

  // ---- boundary node lists ----
  // Each column holds the node numbers its list section gave, at most
  // max(nbound(k),0) of them; entries that no list gave count as zero.
  std::array<std::vector<int4>, 2> lcor;  // left side: column 1 BDFEML, column 2 BDFFL
  std::array<std::vector<int4>, 2> ncor;  // right side: column 1 BDFEMR, column 2 BDFFR
  std::vector<int4> nbase;                // base: BDBASE

  // ---- solid materials ----
  std::vector<int4> msolids;
  std::vector<real4> densm;

  // ---- element tables ----
  std::vector<int4> nsolels, npi_so, npj_so, npk_so, npl_so, mat_so;
  std::vector<real4> den_so;
  std::vector<int4> nbeaels, npi_bm, npj_bm;
  std::vector<int4> nsprels, npi_sp, npj_sp;
  std::vector<int4> nwatels, npi_wt, npj_wt, npk_wt, npl_wt;
  std::vector<int4> nwsiels, npi_wb, npj_wb, npk_wb, npl_wb;
  std::vector<int4> nstsels, npi_sl, npj_sl, npk_sl, npl_sl;
  std::vector<int4> nrigels, npi_rb, npj_rb;
  std::vector<int4> nvoids, npi_vo, npj_vo, npk_vo, npl_vo;
  std::vector<int4> njonas, npi_ja, npj_ja, npk_ja, npl_ja;
  std::vector<int4> njonbs, npi_jb, npj_jb, npk_jb, npl_jb;
};

}  // namespace qx
