// Decides which size fields of a WAVE file are wrong and what they should hold.
//
//   0       "RIFF", or "RF64" / "BW64" for files of 4 GiB and more
//   4       the RIFF size: the file's length less 8 (0xFFFFFFFF when unknown)
//   8       "WAVE"
//   12      the chunks, each a 4-byte id, a 32-bit size, the body and a pad
//           byte after an odd-sized body. In RF64 and BW64 the first is ds64,
//           holding the true sizes in 64 bits; writers that may pass 4 GiB
//           reserve room for it with a JUNK chunk of 28 bytes or more.
//   h       "data", h + 4 its 32-bit size, h + 8 the first sample byte
//
// The header is correct when each size field says what the file holds; a
// repair rewrites exactly the fields that do not. The audio is taken to run
// to the end of the file, unless what follows the stated audio is a chain of
// chunks, as writers append them: such a file is left as it is.
#include <algorithm>
#include <optional>
#include <string_view>

#include "plan.h"

namespace zavevuv {
namespace {

using Id = std::array<unsigned char, 4>;

constexpr Id MakeId(std::string_view text) {
  return {static_cast<unsigned char>(text[0]), static_cast<unsigned char>(text[1]),
          static_cast<unsigned char>(text[2]), static_cast<unsigned char>(text[3])};
}

constexpr Id kRiff = MakeId("RIFF");
constexpr Id kRf64 = MakeId("RF64");
constexpr Id kBw64 = MakeId("BW64");
constexpr Id kWave = MakeId("WAVE");
constexpr Id kData = MakeId("data");
constexpr Id kDs64 = MakeId("ds64");
constexpr Id kJunk = MakeId("JUNK");
constexpr Id kFmt = MakeId("fmt ");
// Chunks that writers put after the audio: metadata, cue points, padding.
constexpr std::array kTrailingIds = {
    MakeId("LIST"), MakeId("id3 "), MakeId("ID3 "), MakeId("cue "), MakeId("smpl"), MakeId("inst"),
    MakeId("acid"), MakeId("bext"), MakeId("iXML"), MakeId("axml"), MakeId("cart"), MakeId("umid"),
    MakeId("_PMX"), MakeId("DISP"), MakeId("PEAK"), MakeId("fact"), MakeId("plst"), MakeId("labl"),
    MakeId("note"), MakeId("ltxt"), MakeId("JUNK"), MakeId("junk"), MakeId("PAD ")};

constexpr std::uint64_t kFormId = 0;          // "RIFF", "RF64" or "BW64"
constexpr std::uint64_t kRiffSize = 4;        // 32 bits: the file's length less 8
constexpr std::uint64_t kWaveId = 8;          // "WAVE"
constexpr std::uint64_t kFirstChunk = 12;     // ds64, or the JUNK that reserves its room
constexpr std::uint64_t kChunkHeader = 8;     // a chunk's id, then its 32-bit size
constexpr std::uint64_t kDs64RiffSize = 20;   // ds64 body + 0: the RIFF size, 64 bits
constexpr std::uint64_t kDs64DataSize = 28;   // ds64 body + 8: the data size, 64 bits
constexpr std::uint64_t kDs64Samples = 36;    // ds64 body + 16: the sample count, 64 bits
constexpr std::uint64_t kDs64Table = 44;      // ds64 body + 24: the table's length, 32 bits
constexpr std::uint64_t kDs64Body = 28;       // the four fields above
constexpr std::uint64_t kFmtFormat = 0;       // fmt body + 0: the format tag, 16 bits
constexpr std::uint64_t kFmtBlockAlign = 12;  // fmt body + 12: bytes per frame, 16 bits
constexpr std::uint64_t kFmtBody = 16;        // the smallest fmt body
constexpr std::uint64_t kLastTag = 0x20000;   // the data chunk starts at 131,072 at the latest
constexpr std::uint64_t kMax32 = 0xFFFFFFFF;  // the most a 32-bit field holds; "unknown"
constexpr int kMaxTrailingChunks = 64;        // chunks followed after the stated audio
constexpr std::uint64_t kPcm = 1, kFloat = 3, kExtensible = 0xFFFE;  // formats with fixed frames

// The bytes of one file: the head in memory, anything further on request.
class FileBytes {
 public:
  FileBytes(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more)
      : head_(
            head.first(static_cast<std::size_t>(std::min<std::uint64_t>(head.size(), kHeadBytes)))),
        length_(length),
        more_(more) {}

  [[nodiscard]] std::uint64_t Length() const { return length_; }
  [[nodiscard]] bool InHead(std::uint64_t at, std::uint64_t n) const {
    return at + n <= head_.size();
  }
  // `n` bytes at `at`; only for bytes InHead.
  [[nodiscard]] std::span<const unsigned char> Head(std::uint64_t at, std::uint64_t n) const {
    return head_.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(n));
  }
  [[nodiscard]] bool Is(std::uint64_t at, const Id& id) const {
    return InHead(at, 4) && std::ranges::equal(Head(at, 4), id);
  }
  [[nodiscard]] std::uint64_t Le16(std::uint64_t at) const {
    return head_[static_cast<std::size_t>(at)] |
           static_cast<std::uint64_t>(head_[static_cast<std::size_t>(at + 1)]) << 8U;
  }
  [[nodiscard]] std::uint64_t Le32(std::uint64_t at) const {
    return static_cast<std::uint64_t>(Assem4(Head(at, 4).first<4>()));
  }
  [[nodiscard]] std::uint64_t Le64(std::uint64_t at) const {
    return Assem8(Head(at, 8).first<8>());
  }
  // Exactly out.size() bytes at `at`, all within the file.
  [[nodiscard]] bool Read(std::uint64_t at, std::span<unsigned char> out) const {
    if (InHead(at, out.size())) {
      std::ranges::copy(Head(at, out.size()), out.begin());
      return true;
    }
    return at + out.size() <= length_ && more_ && more_(at, out);
  }

 private:
  std::span<const unsigned char> head_;
  std::uint64_t length_;
  const ReadMore& more_;
};

bool Printable(std::span<const unsigned char> id) {
  return std::ranges::all_of(id.first(4), [](unsigned char c) { return c >= 0x20 && c <= 0x7E; });
}

// What the walk over the chunks before the audio found.
struct Layout {
  std::optional<std::uint64_t> tag;  // h: where "data" starts
  Id first{};                        // the chunk at 12, when it parsed
  bool roomFor64 = false;            // that chunk is ds64 or JUNK, with 28 bytes or more
  std::uint64_t format = 0;          // from the fmt chunk passed, if any
  std::uint64_t blockAlign = 0;
};

// The first "data" at an even offset from `from` to 131,072: where the chunk
// structure breaks, a writer may still have left the data chunk intact.
std::optional<std::uint64_t> Probe(const FileBytes& file, std::uint64_t from) {
  for (std::uint64_t h = from; h <= kLastTag && file.InHead(h, 4); h += 2) {
    if (file.Is(h, kData)) {
      return h;
    }
  }
  return std::nullopt;
}

// Follows the chunks from offset 12 to the data chunk. Text inside a chunk
// that parsed is never taken for the tag.
Layout Walk(const FileBytes& file) {
  Layout layout;
  std::uint64_t at = kFirstChunk;
  // The window ends at 131,072; a file ending within an id holds no data chunk.
  while (at <= kLastTag && file.InHead(at, 4)) {
    if (file.Is(at, kData)) {
      layout.tag = at;
      return layout;
    }
    if (!Printable(file.Head(at, 4)) || at + kChunkHeader > file.Length()) {
      layout.tag = Probe(file, at);
      return layout;
    }
    if (!file.InHead(at, kChunkHeader)) {
      return layout;  // its size lies past the window, so the next chunk does too
    }
    const std::uint64_t size = file.Le32(at + 4);
    const std::uint64_t body = at + kChunkHeader;
    if (body + size > file.Length()) {
      layout.tag = Probe(file, at);
      return layout;
    }
    if (at == kFirstChunk) {
      std::ranges::copy(file.Head(at, 4), layout.first.begin());
      layout.roomFor64 = (file.Is(at, kDs64) || file.Is(at, kJunk)) && size >= kDs64Body;
    }
    if (file.Is(at, kFmt) && size >= kFmtBody && file.InHead(body, kFmtBody)) {
      layout.format = file.Le16(body + kFmtFormat);
      layout.blockAlign = file.Le16(body + kFmtBlockAlign);
    }
    at = body + size + (size & 1U);
  }
  return layout;
}

enum class Tail { Chunks, Other, Unreadable };

// Whether the bytes from `from` to the end are chunks a writer put after the
// audio: a chain of chunks ending exactly at the end (the last pad byte may
// be missing), or one whose last chunk a cut copy left short, when every id
// in it is one that writers put after the audio.
Tail AfterAudio(const FileBytes& file, std::uint64_t from) {
  if (from == file.Length()) {
    return Tail::Chunks;  // only the pad byte after odd-sized audio
  }
  bool known = true;
  std::uint64_t at = from;
  for (int chunk = 0; chunk < kMaxTrailingChunks; ++chunk) {
    const std::uint64_t left = file.Length() - at;
    if (left < 4) {
      return Tail::Other;
    }
    std::array<unsigned char, kChunkHeader> header{};
    const auto got =
        std::span(header).first(static_cast<std::size_t>(std::min(left, kChunkHeader)));
    if (!file.Read(at, got)) {
      return Tail::Unreadable;
    }
    if (!Printable(header)) {
      return Tail::Other;
    }
    known = known && std::ranges::any_of(kTrailingIds, [&](const Id& id) {
              return std::ranges::equal(id, std::span(header).first<4>());
            });
    if (left < kChunkHeader) {
      return known ? Tail::Chunks : Tail::Other;  // cut inside the size field
    }
    const std::uint64_t size = static_cast<std::uint64_t>(Assem4(std::span(header).last<4>()));
    const std::uint64_t end = at + kChunkHeader + size;
    if (end > file.Length()) {
      return known ? Tail::Chunks : Tail::Other;  // cut inside the body
    }
    if (end == file.Length() || end + (size & 1U) == file.Length()) {
      return Tail::Chunks;
    }
    at = end + (size & 1U);
  }
  return Tail::Other;
}

// A plan that writes nothing.
Plan Only(Outcome outcome) { return {outcome, {}}; }

std::array<unsigned char, 4> Bytes4(std::uint64_t value) {
  std::array<unsigned char, 4> out{};
  Decon4(static_cast<std::int64_t>(value), out);
  return out;
}

std::array<unsigned char, 8> Bytes8(std::uint64_t value) {
  std::array<unsigned char, 8> out{};
  Decon8(value, out);
  return out;
}

// Collects the fields whose bytes differ from what they should hold.
class Changes {
 public:
  void Want(std::uint64_t at, std::span<const unsigned char> now,
            std::span<const unsigned char> want) {
    if (!std::ranges::equal(now, want)) {
      FieldWrite write{at, {}, want.size()};
      std::ranges::copy(want, write.bytes.begin());
      writes_.push_back(write);
    }
  }
  [[nodiscard]] Plan Done() && {
    if (writes_.empty()) {
      return Only(Outcome::Correct);
    }
    std::ranges::sort(writes_, {}, &FieldWrite::at);
    return {Outcome::Fixed, std::move(writes_)};
  }

 private:
  std::vector<FieldWrite> writes_;
};

}  // namespace

bool IsWaveHeader(std::span<const unsigned char> bytes) {
  if (bytes.size() < kFirstChunk) {
    return false;
  }
  const auto form = bytes.first<4>();
  const auto wave = bytes.subspan<kWaveId, 4>();
  return (std::ranges::equal(form, kRiff) || std::ranges::equal(form, kRf64) ||
          std::ranges::equal(form, kBw64)) &&
         std::ranges::equal(wave, kWave);
}

Plan Decide(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more) {
  const FileBytes file(head, length, more);
  if (!file.InHead(0, std::min(length, kHeadBytes))) {
    return Only(Outcome::ReadFailed);  // the file shrank while it was read
  }
  if (!IsWaveHeader(head)) {
    return Only(Outcome::NoTag);  // not a WAVE file: never written
  }
  const Layout layout = Walk(file);
  if (!layout.tag) {
    return Only(Outcome::NoTag);
  }
  const std::uint64_t h = *layout.tag;
  const std::uint64_t firstSample = h + 8;
  if (firstSample > length) {
    return Only(Outcome::Truncated);
  }
  std::array<unsigned char, 4> oldDsize_ch{};
  if (!file.Read(h + 4, oldDsize_ch)) {
    return Only(Outcome::ReadFailed);
  }
  const std::uint64_t audio = length - firstSample;
  const bool riff = file.Is(kFormId, kRiff);
  const bool fits32 = audio <= kMax32 && length - 8 <= kMax32;
  // RF64 and BW64 keep their sizes in ds64. A RIFF file that no 32-bit field
  // can describe becomes RF64 where its writer reserved the room, and so does
  // one whose upgrade was cut off part-way.
  const bool wide = layout.roomFor64 && (!riff || !fits32);
  const bool hasDs64 = wide && layout.first == kDs64;
  const std::uint64_t stored =
      hasDs64 ? file.Le64(kDs64DataSize) : static_cast<std::uint64_t>(Assem4(oldDsize_ch));

  if (audio > stored) {
    // stored < audio, so this cannot overflow; the pad byte may be the last.
    switch (AfterAudio(file, firstSample + stored + (stored & 1U))) {
      case Tail::Chunks:
        return Only(Outcome::Correct);  // as its writer made it: nothing is written
      case Tail::Unreadable:
        return Only(Outcome::ReadFailed);
      case Tail::Other:
        break;
    }
  }

  Changes changes;
  if (!wide) {
    if (audio > kMax32) {
      return Only(Outcome::TooLarge);
    }
    if (riff) {
      changes.Want(kRiffSize, file.Head(kRiffSize, 4), Bytes4(std::min(length - 8, kMax32)));
    }
    changes.Want(h + 4, oldDsize_ch, Bytes4(audio));
    return std::move(changes).Done();
  }

  const bool knownFrames =
      (layout.format == kPcm || layout.format == kFloat || layout.format == kExtensible) &&
      layout.blockAlign != 0;
  if (riff) {
    changes.Want(kFormId, file.Head(kFormId, 4), kRf64);  // BW64 stays BW64
  }
  changes.Want(kRiffSize, file.Head(kRiffSize, 4), Bytes4(kMax32));
  changes.Want(kFirstChunk, file.Head(kFirstChunk, 4), kDs64);
  changes.Want(kDs64RiffSize, file.Head(kDs64RiffSize, 8), Bytes8(length - 8));
  changes.Want(kDs64DataSize, file.Head(kDs64DataSize, 8), Bytes8(audio));
  if (knownFrames || !hasDs64) {
    changes.Want(kDs64Samples, file.Head(kDs64Samples, 8),
                 Bytes8(knownFrames ? audio / layout.blockAlign : 0));
  }
  if (!hasDs64) {
    changes.Want(kDs64Table, file.Head(kDs64Table, 4), Bytes4(0));
  }
  changes.Want(h + 4, oldDsize_ch, Bytes4(kMax32));
  return std::move(changes).Done();
}

Patch Coalesce(std::span<const unsigned char> head, std::span<const FieldWrite> writes) {
  Patch patch;
  if (writes.empty()) {
    return patch;
  }
  patch.at = writes.front().at;
  const std::uint64_t end = writes.back().at + writes.back().width;
  patch.bytes.resize(static_cast<std::size_t>(end - patch.at));
  // Between the fields: the bytes as read. Every field lies within or right
  // after the head, so these all come from it.
  for (std::uint64_t at = patch.at; at < end && at < head.size(); ++at) {
    patch.bytes[static_cast<std::size_t>(at - patch.at)] = head[static_cast<std::size_t>(at)];
  }
  for (const FieldWrite& write : writes) {
    std::copy_n(write.bytes.begin(), write.width,
                patch.bytes.begin() + static_cast<std::ptrdiff_t>(write.at - patch.at));
  }
  return patch;
}

}  // namespace zavevuv
