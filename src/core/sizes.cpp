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
#include "data_chunk.h"

namespace zavevuv {
namespace {

// The RIFF size is the form's end less 8 (in Wave64 the form's end); the
// padding a form lacks at its end may be counted, and so may tags appended
// after it. A copy cut inside its trailing chunks keeps any size that
// covers the audio; beside a chain longer than is followed, the form's end
// is not known and any size stands. Where what follows the form is no whole
// chunk, the form ends before it.
struct RiffSize {
  const Facts& facts;
  const Audio& audio;
  std::uint64_t length;
  const Container& chunks;

  [[nodiscard]] bool Exact() const { return audio.ending.exact; }
  [[nodiscard]] bool Cut() const { return audio.ending.tail == Tail::Cut && !Exact(); }
  [[nodiscard]] bool Long() const { return audio.ending.tail == Tail::Long; }
  [[nodiscard]] std::uint64_t Want() const {
    return (Cut() || Long() ? length : audio.ending.formEnd) - chunks.formBias;
  }
  [[nodiscard]] bool Ok(std::uint64_t value) const {
    const Ending& ending = audio.ending;
    const std::uint64_t bias = chunks.formBias;
    if (Long()) {
      return true;
    }
    if (Cut()) {
      // AIFF readers walk to the FORM size: one past the end of the file
      // fails them (ffprobe: an input/output error).
      return value >= facts.firstSample + audio.data - bias &&
             (chunks.box != Box::Aiff || value <= length - bias);
    }
    return value == ending.formEnd - bias ||
           (ending.unpadded && value == ending.formEnd + chunks.Pad(ending.formEnd) - bias) ||
           (!Exact() && ending.formEnd < length && value == length - bias) || PadLeftOut(value);
  }
  // A size that stops at the end of odd-sized audio, leaving out the pad byte
  // the file holds after it (sox's 8-bit AIFF).
  [[nodiscard]] bool PadLeftOut(std::uint64_t value) const {
    const std::uint64_t audioEnd = facts.firstSample + audio.data;
    return chunks.align == 2 && audio.data % 2 != 0 && audio.ending.tail == Tail::Chunks &&
           audio.ending.formEnd == audioEnd + 1 && value == audioEnd - chunks.formBias;
  }
};

// A field of the container's width and byte order at `at`, to hold `value`.
void Put(Changes& changes, const FileBytes& file, std::uint64_t at,
         std::span<const unsigned char> now, std::uint64_t value) {
  const auto want = FieldBytes(file.Chunks(), value, now.size());
  changes.Want(at, now, std::span(want).first(now.size()));
}

// A RIFF file (or RF64 without ds64) whose sizes fit 32 bits, an AIFF file,
// a Wave64 file: the form's size and the data chunk's.
Plan PlanRiff(const FileBytes& file, const Facts& facts, const Audio& audio, const RiffSize& riff,
              Changes changes) {
  const Container& chunks = file.Chunks();
  const std::uint64_t at = chunks.formSize;
  const auto form = file.Head(at, chunks.sizeBytes);
  if (facts.form != Form::Rf64 && facts.form != Form::UpgradeCut && !riff.Ok(Field(chunks, form))) {
    Put(changes, file, at, form,
        chunks.box == Box::W64 ? riff.Want() : std::min(riff.Want(), kMax32));
  }
  Put(changes, file, facts.sizeAt, facts.SizeField(chunks), audio.data + facts.overhead);
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
  const auto size32 = static_cast<std::uint64_t>(Assem4(std::span(facts.dataSize).first<4>()));
  const bool saysToEnd = Assem4(file.Head<4>(kRiffSize)) == kMax32 && size32 == kMax32;
  changes.Want(kRiffSize, file.Head(kRiffSize, 4), Decon4(kMax32));
  changes.Want(facts.sizeAt, facts.SizeField(kRiffChunks), Decon4(std::min(audio.data, kMax32)));
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
  changes.Size(facts.sizeAt, facts.SizeField(kRiffChunks), {kMax32, audio.data});
  Plan plan = std::move(changes).Done();
  plan.mayHaveIntent = facts.form == Form::Rf64 && !facts.fits32;  // an intent outlived its insert
  return plan;
}

// The sample count of fact (AIFF's in COMM) and, in RF64, of ds64: kept true
// and the same, and exact in a file that is or becomes RF64 and in AIFF,
// whose readers take the length from it (ima4's packets as blocks are, where
// libsndfile stores half the count in stereo). What they hold, where the format
// tells.
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
    Put(changes, file, *facts.layout.factAt, facts.fact, FactFor(count));
  }
  return count;
}

// The plan for a file that may start like a WAVE file.
Plan SizesOf(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more) {
  const Form form = FormOf(head);
  FileBytes file(head, length, more, ChunksOf(form));
  const Container& chunks = file.Chunks();
  auto examined = Examine(file, form);
  if (const Outcome* outcome = std::get_if<Outcome>(&examined)) {
    return Only(*outcome);
  }
  const Facts& facts = std::get<Facts>(examined);
  const auto size32 = chunks.box == Box::Riff
                          ? static_cast<std::uint64_t>(Assem4(std::span(facts.dataSize).first<4>()))
                          : kMax32;  // no 32-bit size wraps there
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
  header.zeroIsLoud = facts.layout.zeroIsLoud;
  const std::optional<Audio> audio = WhereAudioEnds(file, header);
  if (!audio) {
    return Only(Outcome::ReadFailed);
  }
  const RiffSize riff{facts, *audio, length, chunks};
  const std::uint64_t data = audio->data;
  const bool pastRiff = chunks.box != Box::W64 && !facts.wide &&
                        (data > kMax32 - facts.overhead || riff.Want() > kMax32);
  Changes changes;
  const bool exact =
      facts.wide || pastRiff || (chunks.box == Box::Aiff && facts.layout.perCount == 1);
  const std::optional<std::uint64_t> count = KeepCountsTrue(file, facts, data, exact, changes);
  if (file.Failed()) {
    return Only(Outcome::ReadFailed);
  }
  Plan plan = pastRiff     ? PlanPastRiff(file, facts, *audio, count, std::move(changes))
              : facts.wide ? PlanWide(file, facts, *audio, riff, std::move(changes))
                           : PlanRiff(file, facts, *audio, riff, std::move(changes));
  const std::uint64_t said = stated.empty() ? 0 : stated.front();  // ds64's 0
  const std::optional<CountRule> saidRule = CountRuleFor(facts.layout, said);
  // Readers take the length of sample formats from the data size, whatever
  // fact says; only AIFF's count, and the count of blocks, is theirs to read.
  const std::optional<CountRule> rule = CountRuleFor(facts.layout, data);
  const bool bySize = rule && !rule->blocks && chunks.box != Box::Aiff;
  plan.found =
      Found{.dataChunk = facts.h,
            .stated = said,
            .audio = data,
            .frames = bySize  ? std::optional(rule->want)
                      : count ? std::optional(*count * facts.layout.perCount)
                              : std::nullopt,
            .statedFrames =
                saidRule ? std::optional(saidRule->want * facts.layout.perCount) : std::nullopt,
            .sampleRate = facts.layout.sampleRate};
  return plan;
}

}  // namespace

Plan PlanSizes(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more) {
  Plan plan = SizesOf(head, length, more);
  switch (FormOf(head)) {
    case Form::None:
      plan.found.kind = HeaderKind::NotWave;
      break;
    case Form::Riff:
      plan.found.kind = HeaderKind::Riff;
      break;
    case Form::Rf64:
    case Form::UpgradeCut:
      plan.found.kind = HeaderKind::Rf64;
      break;
    case Form::Aiff:
      plan.found.kind = HeaderKind::Aiff;
      break;
    case Form::Aifc:
      plan.found.kind = HeaderKind::Aifc;
      break;
    case Form::W64:
      plan.found.kind = HeaderKind::W64;
      break;
  }
  return plan;
}

}  // namespace zavevuv
