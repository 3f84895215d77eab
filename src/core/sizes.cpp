// SPDX-License-Identifier: MIT
// The decision, in phases: what the look found (Examine), the sizes the
// header states (StatedSizes), where the audio and the form end
// (WhereAudioEnds), the sample count and the RIFF size that follow from
// them, and the fields of the file's form (RIFF, RIFF past 4 GiB, RF64).
#include "sizes.h"

#include <algorithm>
#include <variant>

#include "audio_end.h"
#include "changes.h"
#include "chunks.h"
#include "codec.h"
#include "counts.h"

namespace zavevuv {
namespace {

// What the look found: the data chunk and how its sizes are kept.
struct Facts {
  Form form = Form::None;
  Layout layout;
  std::uint64_t h = 0;                      // where "data" starts
  std::uint64_t firstSample = 0;            // h + 8
  std::array<unsigned char, 4> dataSize{};  // its 32-bit size as read
  std::uint64_t toEnd = 0;                  // the bytes from the first sample on
  bool fits32 = false;                      // the audio and the form fit 32-bit fields
  bool wide = false;                        // the sizes are kept in ds64
  bool hasDs64 = false;                     // and ds64 is there already
  std::optional<std::uint64_t> factCount;   // the fact chunk's sample count, where there is one
};

std::variant<Outcome, Facts> Examine(FileBytes& file, Form form) {
  if (form == Form::None) {
    return Outcome::NoDataChunk;  // not a WAVE file: never written
  }
  Facts facts;
  facts.form = form;
  facts.layout = Walk(file);
  const Layout& layout = facts.layout;
  if (file.Failed()) {
    return Outcome::ReadFailed;
  }
  // An id at 0 cut off on its way to RF64 is ours, and only where ds64 has room.
  if (!layout.dataChunk || layout.cutBefore || (form == Form::UpgradeCut && !layout.roomFor64)) {
    return Outcome::NoDataChunk;
  }
  facts.h = *layout.dataChunk;
  facts.firstSample = facts.h + 8;
  const std::uint64_t length = file.Length();
  if (facts.firstSample > length) {
    return Outcome::Truncated;
  }
  std::array<unsigned char, 4> fact{};
  if (!file.Read(facts.h + 4, facts.dataSize) ||
      (layout.factAt && !file.Read(*layout.factAt, fact))) {
    return Outcome::ReadFailed;
  }
  if (layout.factAt) {
    facts.factCount = static_cast<std::uint64_t>(Assem4(fact));
  }
  facts.toEnd = length - facts.firstSample;
  facts.fits32 = facts.toEnd <= kMax32 && length - 8 <= kMax32;
  // RF64 and BW64 keep their sizes in ds64. A RIFF file that no 32-bit field
  // can describe becomes RF64 where its writer reserved the room, and so does
  // one whose upgrade was cut off part-way.
  facts.wide = layout.roomFor64 && (form != Form::Riff || !facts.fits32);
  facts.hasDs64 = facts.wide && layout.first == kDs64;
  return facts;
}

// The stated audio: from ds64 where it is, else the 32-bit field. A ds64
// data size of 0 is one not written yet, as writers reserve it; and an
// upgrade cut off before ds64's data size was written leaves the true size
// in the 32-bit field still, so that is tried too.
std::vector<std::uint64_t> StatedSizes(const FileBytes& file, const Facts& facts) {
  const auto size32 = static_cast<std::uint64_t>(Assem4(facts.dataSize));
  std::vector<std::uint64_t> stated;
  if (facts.hasDs64 && Assem8(file.Head<8>(kDs64DataSize)) != 0) {
    stated.push_back(Assem8(file.Head<8>(kDs64DataSize)));
  }
  if (!facts.hasDs64 || (size32 != kMax32 && (stated.empty() || size32 != stated.front()))) {
    stated.push_back(size32);
  }
  return stated;
}

// The RIFF size is the form's end less 8; the pad byte a form lacks at its
// end may be counted, and so may tags appended after it. A copy cut inside
// its trailing chunks keeps any size that covers the audio; beside a chain
// longer than is followed, the form's end is not known and any size stands.
// Where what follows the form is no whole chunk, the form ends before it.
struct RiffSize {
  const Facts& facts;
  const Audio& audio;
  std::uint64_t length;

  [[nodiscard]] bool Exact() const { return audio.ending.exact; }
  [[nodiscard]] bool Cut() const { return audio.ending.tail == Tail::Cut && !Exact(); }
  [[nodiscard]] bool Long() const { return audio.ending.tail == Tail::Long; }
  [[nodiscard]] std::uint64_t Want() const {
    return Cut() || Long() ? length - 8 : audio.ending.formEnd - 8;
  }
  [[nodiscard]] bool Ok(std::uint64_t value) const {
    const Ending& ending = audio.ending;
    if (Long()) {
      return true;
    }
    if (Cut()) {
      return value >= facts.firstSample + audio.data - 8;
    }
    return value == ending.formEnd - 8 || (ending.unpadded && value == ending.formEnd - 7) ||
           (!Exact() && ending.formEnd < length && value == length - 8);
  }
};

// A RIFF file (or RF64 without ds64) whose sizes fit 32 bits.
Plan PlanRiff(const FileBytes& file, const Facts& facts, const Audio& audio, const RiffSize& riff,
              Changes changes) {
  if (facts.form == Form::Riff &&
      !riff.Ok(static_cast<std::uint64_t>(Assem4(file.Head<4>(kRiffSize))))) {
    changes.Want(kRiffSize, file.Head(kRiffSize, 4), Decon4(std::min(riff.Want(), kMax32)));
  }
  changes.Want(facts.h + 4, facts.dataSize, Decon4(audio.data));
  return std::move(changes).Done();
}

// A RIFF file past 4 GiB without room for ds64: both sizes say "to the end
// of the file" (a data size that fits is kept), and a block inserted at the
// start can make it RF64. Where both already say so, an insert may have been
// cut off part-way.
Plan PlanPastRiff(const FileBytes& file, const Facts& facts, const Audio& audio,
                  std::optional<std::uint64_t> count, Changes changes) {
  if (facts.form != Form::Riff) {
    return Only(Outcome::TooLarge);  // RF64 or BW64 without ds64 at 12
  }
  const auto size32 = static_cast<std::uint64_t>(Assem4(facts.dataSize));
  const bool saysToEnd = Assem4(file.Head<4>(kRiffSize)) == kMax32 && size32 == kMax32;
  changes.Want(kRiffSize, file.Head(kRiffSize, 4), Decon4(kMax32));
  changes.Want(facts.h + 4, facts.dataSize, Decon4(std::min(audio.data, kMax32)));
  Plan plan = std::move(changes).Done();
  plan.outcome = plan.writes.empty() ? Outcome::TooLarge : Outcome::ToEnd;
  plan.insert = Insert::Make;
  plan.upgrade = Upgrade{audio.ending.formEnd, audio.data, count.value_or(0)};
  plan.mayHaveIntent = saysToEnd;
  return plan;
}

// RF64 or BW64 with ds64 at 12, or a RIFF file made so: the 32-bit sizes say
// 0xFFFFFFFF and ds64 holds the true ones.
Plan PlanWide(const FileBytes& file, const Facts& facts, const Audio& audio, const RiffSize& riff,
              Changes changes) {
  if (facts.form != Form::Rf64) {
    changes.Want(kFormId, file.Head(kFormId, 4), kRf64);  // BW64 stays BW64
  }
  changes.Want(kRiffSize, file.Head(kRiffSize, 4), Decon4(kMax32));
  changes.Want(kFirstChunk, file.Head(kFirstChunk, 4), kDs64);
  if (!riff.Ok(Assem8(file.Head<8>(kDs64RiffSize)))) {
    changes.Want(kDs64RiffSize, file.Head(kDs64RiffSize, 8), Decon8(riff.Want()));
  }
  changes.Want(kDs64DataSize, file.Head(kDs64DataSize, 8), Decon8(audio.data));
  // The table: entries of 12 bytes after the four fields, as many as fit.
  const auto entries = static_cast<std::uint64_t>(Assem4(file.Head<4>(kDs64Table)));
  if (!facts.hasDs64 || kDs64Body + kDs64Entry * entries > facts.layout.firstSize) {
    changes.Want(kDs64Table, file.Head(kDs64Table, 4), Decon4(std::uint64_t{0}));
  }
  changes.Size(facts.h + 4, facts.dataSize, {kMax32, audio.data});
  Plan plan = std::move(changes).Done();
  plan.mayHaveIntent = facts.form == Form::Rf64 && !facts.fits32;  // an intent outlived its insert
  return plan;
}

// The sample count of fact and, in RF64, of ds64: kept true and the same,
// and exact in a file that is or becomes RF64. What they hold, where the
// format tells.
std::optional<std::uint64_t> KeepCountsTrue(FileBytes& file, const Facts& facts, std::uint64_t data,
                                            bool exact, Changes& changes) {
  const std::optional<CountRule> rule = CountRuleFor(facts.layout, data);
  if (!rule) {
    if (facts.wide && !facts.hasDs64) {  // made RF64: no count
      changes.Want(kDs64Samples, file.Head(kDs64Samples, 8), Decon8(0));
    }
    return std::nullopt;  // fact is left alone
  }
  const std::optional<std::uint64_t> factCount = facts.factCount;
  std::uint64_t count = 0;
  if (facts.wide) {
    // ds64's count first (in a JUNK body becoming ds64 too, as a run cut off
    // after the id left it); fact's 0xFFFFFFFF only says "see ds64".
    const std::optional<std::uint64_t> ds64 = Assem8(file.Head<8>(kDs64Samples));
    count = ChooseCount(*rule, exact, {ds64, factCount != kMax32 ? factCount : std::nullopt});
    changes.Want(kDs64Samples, file.Head(kDs64Samples, 8), Decon8(count));
  } else {
    count = ChooseCount(*rule, exact, {factCount});
  }
  if (factCount) {
    changes.Want(*facts.layout.factAt, Decon4(*factCount), Decon4(FactFor(count)));
  }
  return count;
}

// The plan for a file that may start like a WAVE file.
Plan SizesOf(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more) {
  FileBytes file(head, length, more);
  auto examined = Examine(file, FormOf(head));
  if (const Outcome* outcome = std::get_if<Outcome>(&examined)) {
    return Only(*outcome);
  }
  const Facts& facts = std::get<Facts>(examined);
  const auto size32 = static_cast<std::uint64_t>(Assem4(facts.dataSize));
  const std::vector<std::uint64_t> stated = StatedSizes(file, facts);
  const std::uint64_t samples = facts.hasDs64 ? Assem8(file.Head<8>(kDs64Samples)) : 0;
  Stated header;
  header.firstSample = facts.firstSample;
  header.sizes = stated;
  header.size32 = size32 != kMax32 ? std::optional(size32) : std::nullopt;
  header.counted = samples != 0 ? CountBytes(facts.layout, samples, facts.toEnd) : std::nullopt;
  header.blockAlign = facts.layout.blockAlign;
  header.frame = FrameBytes(facts.layout);
  header.factCount = facts.factCount;
  const std::optional<Audio> audio = WhereAudioEnds(file, header);
  if (!audio) {
    return Only(Outcome::ReadFailed);
  }
  const RiffSize riff{facts, *audio, length};
  const std::uint64_t data = audio->data;
  const bool pastRiff = !facts.wide && (data > kMax32 || riff.Want() > kMax32);
  Changes changes;
  const std::optional<std::uint64_t> count =
      KeepCountsTrue(file, facts, data, facts.wide || pastRiff, changes);
  if (file.Failed()) {
    return Only(Outcome::ReadFailed);
  }
  Plan plan = pastRiff     ? PlanPastRiff(file, facts, *audio, count, std::move(changes))
              : facts.wide ? PlanWide(file, facts, *audio, riff, std::move(changes))
                           : PlanRiff(file, facts, *audio, riff, std::move(changes));
  const std::uint64_t said = stated.empty() ? 0 : stated.front();  // ds64's 0
  const std::optional<CountRule> saidRule = CountRuleFor(facts.layout, said);
  plan.found = Found{.dataChunk = facts.h,
                     .stated = said,
                     .audio = data,
                     .frames = count,
                     .statedFrames = saidRule ? std::optional(saidRule->want) : std::nullopt,
                     .sampleRate = facts.layout.sampleRate};
  return plan;
}

}  // namespace

Plan PlanSizes(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more) {
  Plan plan = SizesOf(head, length, more);
  const Form form = FormOf(head);
  plan.found.kind = form == Form::None   ? HeaderKind::NotWave
                    : form == Form::Riff ? HeaderKind::Riff
                                         : HeaderKind::Rf64;
  return plan;
}

}  // namespace zavevuv
