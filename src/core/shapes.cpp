// SPDX-License-Identifier: MIT
#include "shapes.h"

#include <algorithm>

#include "changes.h"
#include "codec.h"
#include "head_block.h"

namespace zavevuv {
namespace {

constexpr std::uint64_t kAssumedBlock = kMinBlock;  // a check's insert: B changes no size

// The file's bytes at `at`: from its first bytes where they lie there, else
// read.
bool ReadFile(std::span<const unsigned char> head, const ReadMore& more, std::uint64_t at,
              std::span<unsigned char> out) {
  std::size_t i = 0;
  for (; i < out.size() && at + i < head.size(); ++i) {
    out[i] = head[static_cast<std::size_t>(at + i)];
  }
  return i == out.size() || (more && more(at + i, out.subspan(i)));
}

// The file as it will be once rebuilt: `head` at 0, then the file's own
// bytes from head.size() on, lying `shift` bytes further on than they lie
// now (a cut file's insert).
struct Rebuilt {
  std::span<const unsigned char> given;
  const ReadMore& more;
  std::uint64_t length;
  std::vector<unsigned char> head;
  std::uint64_t shift = 0;

  [[nodiscard]] bool Read(std::uint64_t at, std::span<unsigned char> out) const {
    std::size_t i = 0;
    for (; i < out.size() && at + i < head.size(); ++i) {
      out[i] = head[static_cast<std::size_t>(at + i)];
    }
    return ReadFile(given, more, at + i - shift, out.subspan(i));
  }

  // The plan that makes its sizes true: the fields within the head written
  // into it, the rest as fields to write; nothing where the decision does
  // not take the head for one that stands.
  std::optional<Plan> Sized() {
    const std::uint64_t length2 = length + shift;
    std::vector<unsigned char> first(static_cast<std::size_t>(std::min(length2, kFirstBytes)));
    const ReadMore read = [this](std::uint64_t at, std::span<unsigned char> out) {
      return Read(at, out);
    };
    if (!Read(0, first)) {
      return std::nullopt;
    }
    Plan sized = Decide(first, length2, read);
    if ((sized.outcome != Outcome::Fixed && sized.outcome != Outcome::Correct) ||
        sized.insert != Insert::None || sized.found.sampleRate == 0) {
      return std::nullopt;
    }
    std::vector<FieldWrite> outside;
    for (const FieldWrite& write : sized.writes) {
      if (write.at + write.width <= head.size()) {
        std::copy_n(write.bytes.begin(), write.width,
                    head.begin() + static_cast<std::ptrdiff_t>(write.at));
      } else if (write.at >= head.size()) {
        outside.push_back({write.at - shift, write.bytes, write.width});
      } else {
        return std::nullopt;
      }
    }
    sized.outcome = Outcome::Fixed;
    sized.writes = std::move(outside);
    sized.head = head;
    return sized;
  }
};

// Whether the file's first bytes are each zero or the byte `head` has there:
// zeros where a head was, or a head whose write was cut off part-way.
bool ZeroOrPlanned(FileBytes& file, std::span<const unsigned char> head) {
  for (std::uint64_t at = 0; at < head.size(); ++at) {
    if (!file.InHead(at, 1) || (file.Head(at, 1)[0] != 0 && file.Head(at, 1)[0] != head[at])) {
      return false;
    }
  }
  return true;
}

// Where the take's data chunk id lies in the file's head, at an offset where
// a chunk may start; and where its audio starts.
struct DataChunk {
  std::uint64_t h = 0;
  std::uint64_t firstSample = 0;
};

std::optional<DataChunk> FindData(FileBytes& file) {
  const Container& chunks = file.Chunks();
  const auto whole = IdBytes(chunks, chunks.data);
  const auto id = std::span(whole).first(chunks.idBytes);
  for (std::uint64_t h = chunks.align; file.InHead(h, chunks.Header() + 8); h += chunks.align) {
    if (std::ranges::equal(file.Head(h, id.size()), id)) {
      const std::uint64_t offset =
          chunks.box == Box::Aiff ? Field(chunks, file.Head(h + chunks.Header(), 4)) + 8 : 0;
      return DataChunk{h, h + chunks.Header() + offset};
    }
  }
  return std::nullopt;
}

// Where the longest chain of the file's own chunks that ends at `h` starts
// (bext, iXML, LIST, ...), each whole and known to writers; `h` where none
// does. The head is rebuilt before it.
std::vector<std::uint64_t> ChainsTo(FileBytes& file, std::uint64_t h) {
  const Container& chunks = file.Chunks();
  std::vector<std::uint64_t> starts;
  for (std::uint64_t s = chunks.first; s < h; s += chunks.align) {
    std::uint64_t at = s;
    while (at < h && file.InHead(at, chunks.Header())) {
      const Id id = IdOf(chunks, file.Head(at, chunks.idBytes));
      const auto body = BodyOf(chunks, file.Head(at, chunks.Header()));
      if (id == kFact || id == chunks.format || !KnownAfterAudio(chunks, id) || !body) {
        break;
      }
      at += chunks.Header() + *body + chunks.Pad(*body);
    }
    if (at == h) {
      starts.push_back(s);
    }
  }
  starts.push_back(h);
  return starts;
}

// The bytes of the partial frame a cut file starts with, whose samples
// start at `phase`, that the head covers: those before a sample that the
// container can start its audio at. Which channel it is cannot be told.
std::optional<std::uint64_t> PartialFrame(const Take& take, unsigned phase) {
  const Container& chunks = ChunksOf(take.form);
  // The data chunk's header ends where the audio starts: its start lies at
  // an even offset in RIFF, a multiple of 8 in Wave64 (B is a multiple of
  // both); AIFF's SSND offset reaches any.
  const std::uint64_t align = chunks.box == Box::Aiff ? 1 : chunks.align;
  for (std::uint64_t p = phase; p < take.frame; p += take.encoding.bytes) {
    if (p % align == 0) {
      return p;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<Plan> Shapes::Finish(const RebuildInsert& made) const {
  if (file_.Length() != made.oldLength + made.b || !Starts(made.b + made.partial)) {
    return std::nullopt;
  }
  auto plan = Sized(made.b + made.partial, 0, Shape::Cut);
  if (!plan || !ZeroOrPlanned(file_, std::span(plan->head).first(made.b))) {
    return std::nullopt;
  }
  plan->insert = Insert::Finish;
  plan->block = made.b;
  plan->mayHaveIntent = true;
  return plan;
}

std::optional<Plan> Shapes::Damaged() const {
  const auto data = FindData(file_);
  if (!data || !Starts(data->firstSample)) {
    return std::nullopt;
  }
  for (const std::uint64_t s : ChainsTo(file_, data->h)) {
    if (auto plan = Sized(s, 0, Shape::Damaged, true)) {
      return plan;
    }
  }
  return Refused(Refusal::NoRoom);
}

std::optional<Plan> Shapes::Zeroed() const {
  const std::uint64_t start = take_.firstSample;
  if (start >= file_.Length() || !Starts(start)) {
    return std::nullopt;
  }
  auto plan = Sized(start, 0, Shape::Zeroed);
  return plan && ZeroOrPlanned(file_, plan->head) ? plan : std::nullopt;
}

Plan Shapes::Cut() const {
  const auto partial = PartialFrame(take_, phase_);
  if (!partial) {
    return Refused(Refusal::Alignment);
  }
  auto plan = Sized(kAssumedBlock + *partial, kAssumedBlock, Shape::Cut);
  if (!plan) {
    return Refused(Refusal::NoRoom);
  }
  plan->head.clear();  // written once the block is in
  plan->insert = Insert::Make;
  plan->partial = *partial;
  plan->mayHaveIntent = true;
  return *plan;
}

Plan Shapes::Refused(Refusal refusal) const {
  Plan plan = Only(Outcome::HeaderGone);
  plan.found.refusal = refusal;
  plan.found.guess = Guess{take_.encoding, take_.channels, false};
  return plan;
}

std::optional<Plan> Shapes::Sized(std::uint64_t start, std::uint64_t shift, Shape shape,
                                  bool before) const {
  auto head = HeadOf(take_, start, before);
  if (!head) {
    return std::nullopt;
  }
  Rebuilt rebuilt{given_, more_, file_.Length(), *std::move(head), shift};
  auto plan = rebuilt.Sized();
  if (plan) {
    plan->found.shape = shape;
    plan->found.guess =
        Guess{take_.encoding, take_.channels, shape == Shape::Cut && take_.channels > 1};
  }
  return plan;
}

bool HasDataChunk(FileBytes& file) { return FindData(file).has_value(); }

}  // namespace zavevuv
