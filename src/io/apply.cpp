// SPDX-License-Identifier: MIT
#include "apply.h"

#include "insert.h"
#include "writes.h"

namespace zavevuv {
namespace {

bool Rebuilds(const Plan& plan) { return plan.found.shape != Shape::None; }

// Writes the patches in their order, each while the lease is still ours, a
// sync before each that asks for one and after the last. A write the
// kernel accepted can still be lost when the page cache is flushed (a full
// or failing disk); only the sync reports that.
bool WriteAll(const Fd& out, const std::vector<Patch>& patches, const Hold& hold) {
  for (const Patch& patch : patches) {
    // The first write follows the caller's check at once; each further one
    // asks again.
    if ((&patch != patches.data() && !hold.StillLeased()) ||
        (patch.syncFirst && !SyncData(out.get())) ||
        !WriteAt(out.get(), patch.bytes, static_cast<std::int64_t>(patch.at))) {
      return false;
    }
  }
  return patches.empty() || (SyncData(out.get()) && hold.StillLeased());
}

// A cut file's block, once inserted: its head, as a look at the file the
// insert left decides it.
Fill HeadFill(const Fd& out, const Hold& hold, Buffer buffer, const Like& like) {
  return [&out, &hold, buffer, &like](std::uint64_t /*b*/) {
    struct stat st {};
    if (!Stat(out, st)) {
      return false;
    }
    const Examined look =
        Examine(out.get(), static_cast<std::uint64_t>(st.st_size), buffer, false, &like);
    return look.decided && look.plan.insert == Insert::Finish &&
           WriteAll(out, Writes(look.head, look.plan), hold);
  };
}

// Inserts the block the plan asks for, once its fields are written: room
// for ds64, or a cut file's head.
Outcome Insert(const Fd& out, const Examined& look, const Hold& hold, blksize_t blockSize,
               Buffer buffer, const Like* like, Result& result) {
  const Plan& plan = look.plan;
  const bool rebuild = Rebuilds(plan);
  const Room room = rebuild ? MakeRoom(out, hold, look.length, blockSize, plan.partial,
                                       HeadFill(out, hold, buffer, *like))
                            : MakeRoom(out, hold, look.length, blockSize, std::nullopt,
                                       HeadBlockFill(out, plan.upgrade));
  switch (room) {
    case Room::Made:
      result.rf64 = !rebuild;
      result.insert = false;
      return Outcome::Fixed;
    case Room::Failed:
    case Room::Lost:
      return Outcome::WriteFailed;
    case Room::NotPossible:
      break;
  }
  result.found.refusal = rebuild ? Refusal::NoInsert : Refusal::None;
  return rebuild ? Outcome::HeaderGone : plan.outcome;
}

// Writes what a look under the hold decided: an intent left by a cut-off
// insert first, then the fields, the sync, and the block the plan inserts.
// A look anew when a cut-off shift was taken back. Only a leased file is
// ever restructured, and nothing is written once its lease is gone (nor
// said fixed).
Applied Apply(const Fd& out, const Examined& look, const Hold& hold, blksize_t blockSize,
              Buffer buffer, const Like* like, Result& result) {
  const Plan& plan = look.plan;
  const bool leased = hold.Leased();
  if (!hold.StillLeased()) {
    return Outcome::WriteFailed;  // stopped or stalled while it looked
  }
  const std::optional<IntentRead> intent = TakeIntent(out.get(), plan);
  if (!intent) {
    return Outcome::ReadFailed;  // nothing is touched
  }
  const bool found = intent->state == IntentRead::Found;
  if (found && plan.insert == Insert::Make) {  // the old file at 0: a shift cut off?
    switch (leased ? TakeBackShift(out, look.length, intent->intent) : Shift::Left) {
      case Shift::TakenBack:
        return Applied::Recheck();
      case Shift::Left:
        return Rebuilds(plan) ? Outcome::HeaderGone : Outcome::TooLarge;  // never twice
      case Shift::NeverMade:
        break;
    }
  }
  Record(result, plan);
  if (!WriteAll(out, Writes(look.head, plan), hold)) {
    return Outcome::WriteFailed;
  }
  if (found && plan.insert == Insert::Finish) {
    RemoveIntent(out.get(), Rebuilds(plan));
  }
  if (plan.insert == Insert::Make && leased) {
    return Insert(out, look, hold, blockSize, buffer, like, result);
  }
  if (plan.insert == Insert::Make && Rebuilds(plan)) {
    result.found.refusal = Refusal::NoInsert;  // a host's descriptor, or its SIGURG: no lease
    return Outcome::HeaderGone;
  }
  return plan.outcome;
}

}  // namespace

std::optional<IntentRead> TakeIntent(int fd, const Plan& plan) {
  const IntentRead intent = plan.mayHaveIntent ? ReadIntent(fd, Rebuilds(plan)) : IntentRead{};
  if (intent.state == IntentRead::Failed) {
    return std::nullopt;
  }
  if (intent.state == IntentRead::Found && plan.insert == Insert::None) {
    RemoveIntent(fd, Rebuilds(plan));
  }
  return intent;
}

Applied RecheckAndApply(const Fd& out, const Hold& hold, Buffer buffer, Result& result,
                        const Examined* first, const Like* like) {
  struct stat st {};
  if (!Stat(out, st)) {
    return Outcome::ReadFailed;
  }
  const Examined fresh =
      Again(out.get(), static_cast<std::uint64_t>(st.st_size), buffer, first, like);
  return fresh.decided ? Apply(out, fresh, hold, st.st_blksize, buffer, like, result)
                       : fresh.plan.outcome;
}

}  // namespace zavevuv
