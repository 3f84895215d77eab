// SPDX-License-Identifier: MIT
#include "rebuild.h"

#include <algorithm>
#include <vector>

#include "changes.h"
#include "chunks.h"
#include "shapes.h"

namespace zavevuv {
namespace {

constexpr std::uint64_t kLeast = 0x1000;  // a file shorter than a block tells no format
constexpr std::size_t kZeros = 32;        // zeros this long at the start: a head lost

// What the audio reads as, for a file with no take or one the take misfits.
Guess GuessOf(const std::vector<Reading>& readings) {
  return {readings.front().encoding, readings.front().score.channels, false};
}

Plan Gone(const Plan& own, Refusal refusal, std::optional<Guess> guess) {
  Plan plan = Only(Outcome::HeaderGone);
  plan.found.kind = own.found.kind;
  plan.found.refusal = refusal;
  plan.found.guess = guess;
  return plan;
}

// Whether the file's form and format chunk stand: its header is not gone,
// even where the file ends before its audio.
bool FormatStands(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more) {
  const Form form = FormOf(head);
  if (form == Form::None) {
    return false;
  }
  FileBytes file(head, length, more, ChunksOf(form));
  const Layout layout = Walk(file);
  return layout.sampleRate != 0 && layout.blockAlign != 0;
}

// Without a take, the shape told from the bytes alone: 32 zero bytes at
// the start, a data chunk's header in the head (any container's), else cut.
Shape ShapeOf(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more) {
  std::vector<unsigned char> whole;
  const auto all = HeadTo(head, std::min(length, kHeadBytes), more, whole);
  if (!all) {
    return Shape::None;
  }
  if (std::all_of(all->begin(), all->begin() + kZeros, [](unsigned char c) { return c == 0; })) {
    return Shape::Zeroed;
  }
  for (const Form form : {Form::Riff, Form::Aiff, Form::W64}) {
    FileBytes file(*all, length, more, ChunksOf(form));
    if (HasDataChunk(file)) {
      return Shape::Damaged;
    }
  }
  return Shape::Cut;
}

}  // namespace

// Decided in this order: a header that stands; the audio tested; a
// rebuild's insert to finish; a damaged head (its data chunk's header
// found); a zeroed one; a cut one.
Plan PlanRebuild(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more,
                 const std::optional<Take>& like, const std::optional<RebuildInsert>& made) {
  // A file with no form has its whole head read, once, for all that follows.
  std::vector<unsigned char> whole;
  const auto all = FormOf(head) == Form::None
                       ? HeadTo(head, std::min(length, kHeadBytes), more, whole)
                       : std::optional(head);
  if (!all) {
    return Only(Outcome::ReadFailed);
  }
  Plan own = Decide(*all, length, more);
  if ((own.outcome != Outcome::NoDataChunk && !like) || length < kLeast ||
      FormatStands(*all, length, more)) {
    return own;  // a header that stands, if only up to where the file was cut
  }
  Take take = like.value_or(Take{});
  FileBytes file(*all, length, more, ChunksOf(like ? take.form : Form::Riff));
  const std::vector<Reading> weighed = Weigh(file);
  if (file.Failed()) {
    return Only(Outcome::ReadFailed);
  }
  const bool audio = !weighed.empty() && weighed.front().score.noise < kAudio;
  if (!like && audio) {
    Plan plan = Gone(own, Refusal::None, GuessOf(weighed));
    plan.found.shape = ShapeOf(*all, length, more);
    return plan;
  }
  if (!audio) {
    // Silence tells nothing; bytes that read as no audio are no audio file.
    return like && weighed.empty() ? Gone(own, Refusal::Silent, std::nullopt) : own;
  }
  const Reading& best = weighed.front();
  if (best.encoding != take.encoding) {
    return Gone(own, Refusal::Misfit, GuessOf(weighed));
  }
  if (length + kMaxBlock > kMax32 && take.form == Form::Riff) {
    take.form = Form::Rf64;  // past 4 GiB: only ds64 can say its sizes
    take.formId = kRf64;
  } else if (length + kMaxBlock > kMax32 && ChunksOf(take.form).box == Box::Aiff) {
    return Gone(own, Refusal::TooLarge, GuessOf(weighed));
  }
  const Shapes shapes(*all, more, file, take, best.phase % take.encoding.bytes);
  if (auto plan = made ? shapes.Finish(*made) : std::nullopt) {
    return *std::move(plan);
  }
  if (auto plan = shapes.Damaged()) {
    return *std::move(plan);
  }
  if (auto plan = shapes.Zeroed()) {
    return *std::move(plan);
  }
  return shapes.Cut();
}

}  // namespace zavevuv
