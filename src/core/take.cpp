// SPDX-License-Identifier: MIT
#include "take.h"

#include <algorithm>
#include <string_view>
#include <variant>

#include "codec.h"
#include "data_chunk.h"

namespace zavevuv {
namespace {

constexpr std::uint64_t kFormatTag = 0, kChannels = 2, kBlockAlign = 12, kSubFormat = 24;
constexpr std::uint64_t kPcm = 1, kFloat = 3, kAlaw = 6, kMulaw = 7, kExtensible = 0xFFFE;
constexpr std::uint64_t kCommCount = 2, kCommBits = 6, kCommType = 18;  // in COMM's body
constexpr std::uint32_t kAifcVersion = 0xA2805140;                      // FVER's one version
constexpr Id kFiller = MakeId("FLLR");  // AIFF's padding: a chunk every reader skips

std::uint64_t At(std::span<const unsigned char> bytes, std::uint64_t at, std::size_t width,
                 bool big) {
  return at + width <= bytes.size() ? AssemN(bytes.subspan(at, width), big) : 0;
}

// How a RIFF or Wave64 fmt chunk's samples read; nothing for a format whose
// samples no bytes can be tested against.
std::optional<Encoding> RiffEncoding(std::span<const unsigned char> fmt, unsigned channels) {
  std::uint64_t tag = At(fmt, kFormatTag, 2, false);
  if (tag == kExtensible) {
    tag = At(fmt, kSubFormat, 2, false);
  }
  const std::uint64_t bytes = channels != 0 ? At(fmt, kBlockAlign, 2, false) / channels : 0;
  if (tag == kPcm && bytes >= 1 && bytes <= 4) {
    return Encoding{bytes == 1 ? SampleKind::Unsigned : SampleKind::Int,
                    static_cast<unsigned>(bytes), false};
  }
  if (tag == kFloat && (bytes == 4 || bytes == 8)) {
    return Encoding{SampleKind::Float, static_cast<unsigned>(bytes), false};
  }
  if ((tag == kAlaw || tag == kMulaw) && bytes == 1) {
    return Encoding{tag == kAlaw ? SampleKind::Alaw : SampleKind::Ulaw, 1, false};
  }
  return std::nullopt;
}

// The same for an AIFF or AIFF-C COMM chunk.
std::optional<Encoding> AiffEncoding(std::span<const unsigned char> comm, bool compressed) {
  const auto bytes = static_cast<unsigned>((At(comm, kCommBits, 2, true) + 7) / 8);
  Id type = MakeId("NONE");
  if (compressed && comm.size() >= kCommType + 4) {
    std::ranges::copy(comm.subspan(kCommType, 4), type.begin());
  }
  const auto is = [&](std::string_view a, std::string_view b) {
    return type == MakeId(a) || type == MakeId(b);
  };
  if (is("NONE", "twos") && bytes >= 1 && bytes <= 4) {
    return Encoding{SampleKind::Int, bytes, true};
  }
  if (is("sowt", "sowt") && bytes >= 2 && bytes <= 4) {
    return Encoding{SampleKind::Int, bytes, false};
  }
  if (is("fl32", "FL32") || is("fl64", "FL64")) {
    return Encoding{SampleKind::Float, type[2] == '3' ? 4U : 8U, true};
  }
  if (is("ulaw", "ULAW") || is("alaw", "ALAW")) {
    return Encoding{type[0] == 'u' || type[0] == 'U' ? SampleKind::Ulaw : SampleKind::Alaw, 1,
                    true};
  }
  return std::nullopt;
}

void Put(std::vector<unsigned char>& out, std::span<const unsigned char> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// The first `n` bytes of a field or an id made for it.
template <std::size_t N>
void Put(std::vector<unsigned char>& out, const std::array<unsigned char, N>& bytes,
         std::uint64_t n) {
  Put(out, std::span(bytes).first(static_cast<std::size_t>(n)));
}

// A chunk's header: its id and a size of `body` (with the header, in Wave64).
void Header(std::vector<unsigned char>& out, const Container& chunks, const Id& id,
            std::uint64_t body) {
  Put(out, IdBytes(chunks, id), chunks.idBytes);
  const std::uint64_t size = chunks.box == Box::W64 ? body + chunks.Header() : body;
  Put(out, FieldBytes(chunks, size, chunks.sizeBytes), chunks.sizeBytes);
}

void Chunk(std::vector<unsigned char>& out, const Container& chunks, const Id& id,
           std::span<const unsigned char> body) {
  Header(out, chunks, id, body.size());
  Put(out, body);
  out.resize(out.size() + chunks.Pad(body.size()), 0);
}

// The padding from where `out` ends to `to`: a chunk every reader skips.
bool Pad(std::vector<unsigned char>& out, const Container& chunks, std::uint64_t to) {
  if (to == out.size()) {
    return true;
  }
  const std::uint64_t room = to - out.size();
  if (to < out.size() || room < chunks.Header() || room % chunks.align != 0) {
    return false;
  }
  const Id id = chunks.box == Box::Riff ? kJunk : chunks.box == Box::W64 ? MakeId("junk") : kFiller;
  Header(out, chunks, id, room - chunks.Header());
  out.resize(to, 0);
  return true;
}

}  // namespace

std::optional<Take> ReadTake(std::span<const unsigned char> head, std::uint64_t length,
                             const ReadMore& more) {
  Take take;
  take.form = FormOf(head);
  if (take.form == Form::None || take.form == Form::UpgradeCut) {
    return std::nullopt;
  }
  FileBytes file(head, length, more, ChunksOf(take.form));
  const auto examined = Examine(file, take.form);
  const Facts* facts = std::get_if<Facts>(&examined);
  if (facts == nullptr || !facts->layout.formatAt || facts->layout.sampleRate == 0) {
    return std::nullopt;
  }
  const Layout& layout = facts->layout;
  take.format.resize(static_cast<std::size_t>(layout.formatSize));
  if (!file.Read(*layout.formatAt, take.format)) {
    return std::nullopt;
  }
  const bool aiff = file.Chunks().box == Box::Aiff;
  take.channels = static_cast<unsigned>(At(take.format, aiff ? 0 : kChannels, 2, aiff));
  const std::optional<Encoding> encoding = aiff ? AiffEncoding(take.format, take.form == Form::Aifc)
                                                : RiffEncoding(take.format, take.channels);
  if (!encoding || take.channels == 0 ||
      layout.blockAlign != std::uint64_t{take.channels} * encoding->bytes) {
    return std::nullopt;
  }
  std::ranges::copy(head.first(4), take.formId.begin());
  take.encoding = *encoding;
  take.fact = layout.factAt && !aiff;
  take.firstSample = facts->firstSample;
  take.fver = IsId(head.subspan(std::min<std::size_t>(head.size(), kFirstChunk)), MakeId("FVER"));
  take.frame = layout.blockAlign;
  take.sampleRate = layout.sampleRate;
  return take;
}

std::optional<std::vector<unsigned char>> HeadOf(const Take& take, std::uint64_t start,
                                                 bool before) {
  const Container& chunks = ChunksOf(take.form);
  std::vector<unsigned char> out;
  if (chunks.box == Box::W64) {
    Put(out, kW64Form);
    out.resize(out.size() + 8, 0);
    Put(out, kW64WaveGuid);
  } else {
    Put(out, take.formId);
    Put(out, Decon4(std::uint64_t{0}));
    Put(out, chunks.box == Box::Aiff ? MakeId(take.form == Form::Aifc ? "AIFC" : "AIFF") : kWave);
  }
  if (take.form == Form::Rf64) {
    Chunk(out, chunks, kDs64, std::vector<unsigned char>(kDs64Body, 0));
  }
  if (take.fver) {
    const auto version = FieldBytes(chunks, kAifcVersion, 4);
    Chunk(out, chunks, MakeId("FVER"), std::span(version).first(4));
  }
  std::vector<unsigned char> format = take.format;
  if (chunks.box == Box::Aiff) {
    std::fill_n(format.begin() + kCommCount, 4, 0);  // the count, made true by the decision
  }
  Chunk(out, chunks, chunks.format, format);
  if (take.fact) {
    Chunk(out, chunks, kFact, std::vector<unsigned char>(chunks.box == Box::W64 ? 8 : 4, 0));
  }
  if (before) {
    return Pad(out, chunks, start) ? std::optional(out) : std::nullopt;
  }
  if (chunks.box == Box::Aiff) {  // SSND's offset reaches the audio: it may start anywhere
    const std::uint64_t ssnd = out.size();
    if (start < ssnd + 16) {
      return std::nullopt;
    }
    Header(out, chunks, chunks.data, 0);
    Put(out, FieldBytes(chunks, start - ssnd - 16, 4), 4);
    out.resize(start, 0);
    return out;
  }
  if (start < chunks.Header() || !Pad(out, chunks, start - chunks.Header())) {
    return std::nullopt;
  }
  Header(out, chunks, chunks.data, 0);
  return out;
}

}  // namespace zavevuv
