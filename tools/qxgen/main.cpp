// qxgen: writes an analysis case (MODE1 input data file and TP18/TP19 result
// files) from a seed and a size, for the bundled example, test fixtures and
// benchmark inputs. It shares no code with the converter (nor with the format
// layer src/format that the converter and qxdump share), so that the files it
// writes are an independent reference.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "case_plan.hpp"
#include "gen_options.hpp"
#include "result_block.hpp"
#include "tp18_plan.hpp"
#include "tp19_plan.hpp"
#include "write_qxin.hpp"
#include "write_result_file.hpp"

namespace {

using namespace qxgen;

// The blocks that the options keep, the hostile size record applied first.
std::vector<BlockSpec> shape_blocks(std::vector<BlockSpec> blocks, std::size_t hostile_index, bool hostile,
                                    const GenOptions& o) {
  if (hostile && hostile_index < blocks.size()) blocks[hostile_index].nsize2 = hostile_nsize2;
  std::vector<BlockSpec> kept;
  kept.reserve(blocks.size());
  for (auto& b : blocks) {
    const bool wanted = b.kind == BlockKind::info ? o.info : (o.block_kinds & kind_bit(b.kind)) != 0;
    if (wanted) kept.push_back(b);
  }
  return kept;
}

bool write_results(const std::string& path, const std::vector<BlockSpec>& blocks, const CasePlan& plan,
                   std::uint64_t limit) {
  std::string error;
  if (!write_result_file(path, blocks, plan.model, limit, error)) {
    std::fprintf(stderr, "qxgen: %s\n", error.c_str());
    return false;
  }
  std::printf("%s: %zu blocks, %llu bytes\n", path.c_str(), blocks.size(),
              static_cast<unsigned long long>(std::min(total_bytes(blocks), limit)));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  GenOptions o;
  std::string error;
  switch (parse_options(argc, argv, o, error)) {
    case ParseOutcome::help:
      print_help(stdout);
      return 0;
    case ParseOutcome::error:
      std::fprintf(stderr, "qxgen: %s (see qxgen --help)\n", error.c_str());
      return 2;
    case ParseOutcome::run:
      break;
  }

  const CasePlan plan = plan_case(o.seed, o.size);
  if (!write_qxin(o.base + ".qxin", plan, o.omit, error)) {
    std::fprintf(stderr, "qxgen: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s.qxin: %d nodes, %d solids\n", o.base.c_str(), plan.model.node_count(), plan.model.solid_count());

  if (o.tp18) {
    auto all = tp18_blocks(plan);
    const std::size_t hostile = tp18_hostile_block(all);
    if (const std::size_t m = tp18_hostile_maxima_block(all); o.hostile_na && m < all.size())
      all[m].na_field = hostile_na;
    if (!write_results(o.base + ".TP18", shape_blocks(std::move(all), hostile, o.hostile_tp18, o), plan,
                       o.truncate_tp18))
      return 1;
  }
  if (o.tp19) {
    auto all = tp19_blocks(plan);
    const std::size_t hostile = tp19_hostile_block(all);
    if (!write_results(o.base + ".TP19", shape_blocks(std::move(all), hostile, o.hostile_tp19, o), plan,
                       o.truncate_tp19))
      return 1;
  }
  return 0;
}
