// SPDX-License-Identifier: MIT
// The rebuild from a sibling take, on the fuzzer's input as a file whose
// header may be gone: what it may write, and that what it wrote stands.
//   - A file that is not rebuilt gets what it gets without a take, or
//     nothing written.
//   - A rebuilt file reads as correct, and a second run writes nothing.
//   - Nothing after the new head changes but its size fields (zeroed,
//     damaged); a cut file's bytes follow the head, but for the partial
//     frame it covers.
//   - A run after the head's writes stopped at any byte ends at the same
//     bytes.
#include "rebuild_checks.h"

#include <algorithm>
#include <optional>

#include "memfile.h"
#include "torn.h"
#include "wavgen.h"

namespace {

using zavevuv::Insert;
using zavevuv::Outcome;
using zavevuv::Shape;

constexpr std::uint64_t kBlock = 4096;  // the block an insert makes here

// The rebuild carried out: a cut file's block inserted, then its head.
MemFile Carried(MemFile file, const zavevuv::Plan& plan, const std::optional<zavevuv::Take>& take,
                std::size_t stop) {
  if (plan.insert == Insert::Make) {
    const std::uint64_t old = file.length;
    file.Insert(kBlock);
    const zavevuv::Plan finish =
        file.Rebuild(take, zavevuv::RebuildInsert{kBlock, plan.partial, old});
    Check(finish.insert == Insert::Finish, "an insert made, its head not planned");
    file.Apply(finish, stop);
    return file;
  }
  file.Apply(plan, stop);
  return file;
}

}  // namespace

void CheckRebuild(const std::string& in, std::size_t stop) {
  static const auto take =
      MemFile{wavgen::Build({.channels = 2, .samples = wavgen::Plucked(6000, 2)})}.Take();
  Check(take.has_value(), "the take is none");
  const MemFile file{in};
  const zavevuv::Plan plan = file.Rebuild(take);
  if (plan.found.shape == Shape::None) {
    const zavevuv::Plan own = file.Decide();
    Check(plan.outcome == Outcome::HeaderGone
              ? !zavevuv::WritesAny(plan)
              : own.writes.size() == plan.writes.size() && own.insert == plan.insert,
          "a file whose header stands planned otherwise with a take");
    return;
  }
  if (plan.outcome != Outcome::Fixed) {
    Check(!zavevuv::WritesAny(plan), "a rebuild refused, and something written");
    return;
  }
  const MemFile done = Carried(file, plan, take, std::string::npos);
  Check(done.Decide().outcome == Outcome::Correct, "a rebuilt file is not correct");
  Check(!zavevuv::WritesAny(done.Rebuild(take)), "a rebuilt file's second run writes");
  if (plan.insert == Insert::Make) {
    Check(done.bytes.compare(kBlock + plan.partial, std::string::npos, in, plan.partial) == 0,
          "a cut file's bytes changed behind its head");
  }
  for (std::size_t i = plan.head.size(); plan.insert != Insert::Make && i < in.size(); ++i) {
    Check(in[i] == done.bytes[i] ||
              std::ranges::any_of(plan.writes,
                                  [&](const auto& w) { return w.at <= i && i < w.at + w.width; }),
          "a byte after the new head changed, not a size field");
  }
  // The head's writes stopped after `stop` bytes: the next run finishes.
  MemFile torn = Carried(file, plan, take, stop % (kBlock + 64));
  const auto made = plan.insert == Insert::Make
                        ? std::optional(zavevuv::RebuildInsert{kBlock, plan.partial, file.length})
                        : std::nullopt;
  torn.Apply(torn.Rebuild(take, made));
  Check(torn.bytes == done.bytes, "a rebuild after a write cut short ends elsewhere");
}
