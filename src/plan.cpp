// SPDX-License-Identifier: MIT
// Decides which size fields of a WAVE file are wrong and what they should hold.
//
//   0       "RIFF", or "RF64" / "BW64" for files of 4 GiB and more
//   4       the RIFF size: where the form ends, less 8 (0xFFFFFFFF when unknown)
//   8       "WAVE"
//   12      the chunks, each a 4-byte id, a 32-bit size, the body and a pad
//           byte after an odd-sized body. In RF64 and BW64 the first is ds64,
//           holding the true sizes in 64 bits; writers that may pass 4 GiB
//           reserve room for it with a JUNK chunk of 28 bytes or more.
//   h       "data", h + 4 its 32-bit size, h + 8 the first sample byte
//           ... chunks a writer put after the audio (LIST, cue , ...)
//           ... the form's end; tags a tagger appended (ID3v1, APEv2, ID3v2)
//
// The header is correct when each size field says what the file holds; a
// repair rewrites exactly the fields that do not. When the stated audio is
// followed by a chain of chunks, or by appended tags, the data size is right
// as it stands; otherwise the audio runs to the end of the file, or to where
// the appended tags begin.
#include <algorithm>
#include <initializer_list>
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
constexpr Id kFact = MakeId("fact");
// Chunks that writers put after the audio: metadata, cue points, loudness
// and peak data, padding.
constexpr std::array kTrailingIds = {
    MakeId("LIST"), MakeId("id3 "), MakeId("ID3 "), MakeId("cue "), MakeId("smpl"), MakeId("inst"),
    MakeId("acid"), MakeId("bext"), MakeId("iXML"), MakeId("axml"), MakeId("cart"), MakeId("umid"),
    MakeId("_PMX"), MakeId("DISP"), MakeId("PEAK"), MakeId("fact"), MakeId("plst"), MakeId("labl"),
    MakeId("note"), MakeId("ltxt"), MakeId("JUNK"), MakeId("junk"), MakeId("PAD "), MakeId("levl"),
    MakeId("chna"), MakeId("dbmd"), MakeId("bxml"), MakeId("sxml"), MakeId("FLLR"), MakeId("Fake"),
    MakeId("ResU"), MakeId("minf"), MakeId("elm1"), MakeId("regn"), MakeId("SyLp"), MakeId("r64m")};

constexpr std::uint64_t kFormId = 0;          // "RIFF", "RF64" or "BW64"
constexpr std::uint64_t kRiffSize = 4;        // 32 bits: the form's end less 8
constexpr std::uint64_t kWaveId = 8;          // "WAVE"
constexpr std::uint64_t kFirstChunk = 12;     // ds64, or the JUNK that reserves its room
constexpr std::uint64_t kChunkHeader = 8;     // a chunk's id, then its 32-bit size
constexpr std::uint64_t kDs64RiffSize = 20;   // ds64 body + 0: the RIFF size, 64 bits
constexpr std::uint64_t kDs64DataSize = 28;   // ds64 body + 8: the data size, 64 bits
constexpr std::uint64_t kDs64Samples = 36;    // ds64 body + 16: the sample count, 64 bits
constexpr std::uint64_t kDs64Table = 44;      // ds64 body + 24: the table's length, 32 bits
constexpr std::uint64_t kDs64Body = 28;       // the four fields above
constexpr std::uint64_t kDs64Entry = 12;      // a table entry: an id and a 64-bit size
constexpr std::uint64_t kFmtFormat = 0;       // fmt body + 0: the format tag, 16 bits
constexpr std::uint64_t kFmtBlockAlign = 12;  // fmt body + 12: bytes per block, 16 bits
constexpr std::uint64_t kFmtBody = 16;        // the smallest fmt body
constexpr std::uint64_t kFmtPerBlock = 18;    // fmt body + 18: ADPCM samples per block, 16 bits
constexpr std::uint64_t kFmtSubFormat = 24;   // fmt body + 24: an extensible format's format tag
constexpr std::uint64_t kLastTag = 0x20000;   // the probe's window ends at 131,072
constexpr std::uint64_t kMax32 = 0xFFFFFFFF;  // the most a 32-bit field holds; "unknown"
constexpr int kMaxTrailingChunks = 1024;      // chunks followed after the stated audio
constexpr int kMaxFarChunks = 64;             // chunk headers read past the head
constexpr int kMaxTags = 8;                   // tags stacked at the end of the file
constexpr std::size_t kBlock = 0x10000;       // what one read past the head covers
constexpr std::uint64_t kWriteBlock = 4096;   // fields this close share one write
constexpr std::uint64_t kWrap = 0x100000000;  // 2^32: a wrapped size lacks multiples of it
constexpr std::uint64_t kLeadUnit = 4096;     // an inserted block: a multiple of 4 KiB
constexpr std::uint64_t kMaxLead = 0x10000;   // up to 64 KiB (ext4 with bigalloc)
constexpr std::uint64_t kJunkAfterDs64 = 48;  // the head block's JUNK chunk, after ds64

// Format tags whose frames follow from the data size.
constexpr std::uint64_t kPcm = 1, kAdpcm = 2, kFloat = 3, kAlaw = 6, kMulaw = 7, kImaAdpcm = 0x11,
                        kGsm = 0x31, kExtensible = 0xFFFE;
constexpr std::uint64_t kGsmBlock = 65, kGsmSamples = 320;  // GSM 6.10: 320 samples in 65 bytes

// The bytes of one file: the head in memory, anything further on request, a
// block at a time.
class FileBytes {
 public:
  FileBytes(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more)
      : head_(
            head.first(static_cast<std::size_t>(std::min<std::uint64_t>(head.size(), kHeadBytes)))),
        length_(length),
        more_(more) {}

  [[nodiscard]] std::uint64_t Length() const { return length_; }
  // Whether a read past the head failed: nothing may then be decided.
  [[nodiscard]] bool Failed() const { return failed_; }
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
  // Exactly out.size() bytes at `at`, all within the file. Bytes past the
  // head come from a block of up to 64 KiB read at once; near the end the
  // block is the file's last 64 KiB, so the tags and a chain of small chunks
  // there cost one read.
  bool Read(std::uint64_t at, std::span<unsigned char> out) {
    const std::uint64_t n = out.size();
    if (at > length_ || n > length_ - at) {
      return false;
    }
    if (InHead(at, n)) {
      std::ranges::copy(Head(at, n), out.begin());
      return true;
    }
    if (at < blockAt_ || at + n > blockAt_ + blockLength_) {
      const std::uint64_t start = std::min(at, length_ > kBlock ? length_ - kBlock : 0);
      blockAt_ = start;
      blockLength_ = std::min(kBlock, length_ - start);
      if (!more_ || !more_(start, std::span(block_).first(blockLength_))) {
        blockLength_ = 0;
        failed_ = true;
        return false;
      }
    }
    std::copy_n(block_.begin() + static_cast<std::ptrdiff_t>(at - blockAt_), n, out.begin());
    return true;
  }

 private:
  std::span<const unsigned char> head_;
  std::uint64_t length_;
  const ReadMore& more_;
  std::array<unsigned char, kBlock> block_;  // on the stack, as the head is: no allocation
  std::uint64_t blockAt_ = 0;
  std::size_t blockLength_ = 0;
  bool failed_ = false;
};

bool Printable(std::span<const unsigned char> id) {
  return std::ranges::all_of(id.first(4), [](unsigned char c) { return c >= 0x20 && c <= 0x7E; });
}

bool IsId(std::span<const unsigned char> bytes, const Id& id) {
  return std::ranges::equal(bytes.first(4), id);
}

// Each byte that of `a` or of `b`: an id that a write cut off part-way while
// turning one into the other.
bool Between(std::span<const unsigned char> bytes, const Id& a, const Id& b) {
  for (std::size_t i = 0; i < 4; ++i) {
    if (bytes[i] != a[i] && bytes[i] != b[i]) {
      return false;
    }
  }
  return true;
}

bool Trailing(std::span<const unsigned char> id) {
  return std::ranges::any_of(kTrailingIds, [&](const Id& known) { return IsId(id, known); });
}

std::uint64_t Le32Of(std::span<const unsigned char> bytes) {
  return static_cast<std::uint64_t>(Assem4(bytes.first<4>()));
}

// What the walk over the chunks before the audio found.
struct Layout {
  std::optional<std::uint64_t> tag;  // h: where "data" starts
  bool cutBefore = false;            // the file ends inside a chunk before the audio
  Id first{};                        // the chunk at 12, when it parsed
  std::uint64_t firstSize = 0;
  bool roomFor64 = false;    // that chunk is ds64 or JUNK (or cut between them), 28 bytes or more
  std::uint64_t format = 0;  // from the fmt chunk passed, if any
  std::uint64_t blockAlign = 0;
  std::uint64_t perBlock = 0;           // ADPCM samples per block
  std::optional<std::uint64_t> factAt;  // the fact chunk's sample count
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

void ReadFormat(const FileBytes& file, std::uint64_t body, std::uint64_t size, Layout& layout) {
  if (size < kFmtBody || !file.InHead(body, kFmtBody)) {
    return;
  }
  layout.format = file.Le16(body + kFmtFormat);
  layout.blockAlign = file.Le16(body + kFmtBlockAlign);
  if (size >= kFmtPerBlock + 2 && file.InHead(body + kFmtPerBlock, 2)) {
    layout.perBlock = file.Le16(body + kFmtPerBlock);
  }
  if (layout.format == kExtensible && size >= kFmtSubFormat + 2 &&
      file.InHead(body + kFmtSubFormat, 2)) {
    layout.format = kExtensible << 16U | file.Le16(body + kFmtSubFormat);
  }
}

// Follows the chunks from offset 12 to the data chunk. Text inside a chunk
// that parsed is never taken for the tag. Past the head, chunks that parse
// are still followed, a header per read, up to 64 of them.
Layout Walk(FileBytes& file) {
  Layout layout;
  std::uint64_t at = kFirstChunk;
  int far = 0;
  while (at < file.Length() && file.Length() - at >= 4) {
    std::array<unsigned char, kChunkHeader> header{};
    const auto got = std::span(header).first(
        static_cast<std::size_t>(std::min(kChunkHeader, file.Length() - at)));
    if (!file.InHead(at, got.size()) && (++far > kMaxFarChunks || !file.Read(at, got))) {
      return layout;
    }
    if (file.InHead(at, got.size())) {
      std::ranges::copy(file.Head(at, got.size()), got.begin());
    }
    if (IsId(header, kData)) {
      layout.tag = at;
      return layout;
    }
    const std::uint64_t size = got.size() == kChunkHeader ? Le32Of(std::span(header).last<4>()) : 0;
    const std::uint64_t body = at + kChunkHeader;
    if (!Printable(header)) {
      layout.tag = Probe(file, at);
      return layout;
    }
    if (got.size() < kChunkHeader || body + size > file.Length()) {
      // A chunk that runs past the end. One a writer puts before the audio
      // means the copy was cut before its audio; anything else may be a
      // broken chunk with the data chunk intact behind it.
      if (Trailing(header) || IsId(header, kFmt)) {
        layout.cutBefore = true;
      } else {
        layout.tag = Probe(file, at);
      }
      return layout;
    }
    if (at == kFirstChunk) {
      std::ranges::copy(std::span(header).first<4>(), layout.first.begin());
      layout.firstSize = size;
      layout.roomFor64 = Between(header, kDs64, kJunk) && size >= kDs64Body;
    }
    if (IsId(header, kFmt)) {
      ReadFormat(file, body, size, layout);
    }
    if (IsId(header, kFact) && size >= 4) {
      layout.factAt = body;
    }
    at = body + size + (size & 1U);
  }
  return layout;
}

// The frames that `data` bytes of audio hold, where the format tells.
std::optional<std::uint64_t> Frames(const Layout& layout, std::uint64_t data) {
  const std::uint64_t align = layout.blockAlign;
  switch (layout.format) {
    case kPcm:
    case kFloat:
    case kAlaw:
    case kMulaw:
    case kExtensible << 16U | kPcm:
    case kExtensible << 16U | kFloat:
    case kExtensible << 16U | kAlaw:
    case kExtensible << 16U | kMulaw:
      return align != 0 ? std::optional(data / align) : std::nullopt;
    case kAdpcm:
    case kImaAdpcm:
      return align != 0 && layout.perBlock != 0 ? std::optional(data / align * layout.perBlock)
                                                : std::nullopt;
    case kGsm:
      return data / kGsmBlock * kGsmSamples;
    default:
      return std::nullopt;
  }
}

// Where the tag that ends at `end` begins, if one does: an APEv2 tag (its
// 32-byte footer last), an ID3v2 tag with a footer, or an ID3v1 tag with an
// Enhanced TAG+ block perhaps before it. None begins before `floor`.
std::optional<std::uint64_t> TagEndingAt(FileBytes& file, std::uint64_t end, std::uint64_t floor) {
  const std::uint64_t room = end - floor;
  std::array<unsigned char, 32> ape{};  // "APETAGEX", version, size, items, flags, reserved
  if (room >= ape.size() && file.Read(end - ape.size(), ape) &&
      std::ranges::equal(std::span(ape).first(8), std::string_view("APETAGEX"))) {
    const std::uint64_t size = Le32Of(std::span(ape).subspan<12, 4>());  // items and footer
    const bool header = (Le32Of(std::span(ape).subspan<20, 4>()) >> 31U) != 0;
    const std::uint64_t whole = size + (header ? ape.size() : 0);
    if (size >= ape.size() && whole <= room) {
      std::array<unsigned char, 8> start{};
      if (!header || (file.Read(end - whole, start) &&
                      std::ranges::equal(start, std::string_view("APETAGEX")))) {
        return end - whole;
      }
    }
  }
  std::array<unsigned char, 10> id3{};  // "3DI" or "ID3", version, flags, syncsafe size
  if (room >= 2 * id3.size() && file.Read(end - id3.size(), id3) && id3[0] == '3' &&
      id3[1] == 'D' && id3[2] == 'I' &&
      std::ranges::all_of(std::span(id3).last<4>(), [](auto b) { return b < 0x80; })) {
    std::uint64_t size = 0;
    for (const unsigned char b : std::span(id3).last<4>()) {
      size = size << 7U | b;
    }
    const std::uint64_t whole = size + 2 * id3.size();
    std::array<unsigned char, 10> start{};
    if (whole <= room && file.Read(end - whole, start) && start[0] == 'I' && start[1] == 'D' &&
        start[2] == '3' &&
        std::ranges::equal(std::span(start).subspan<3, 7>(), std::span(id3).subspan<3, 7>())) {
      return end - whole;
    }
  }
  constexpr std::uint64_t kId3v1 = 128;     // "TAG" and 125 bytes of fields
  constexpr std::uint64_t kEnhanced = 227;  // "TAG+" and 223 bytes of fields
  std::array<unsigned char, 4> tag{};
  if (room >= kId3v1 && file.Read(end - kId3v1, std::span(tag).first<3>()) && tag[0] == 'T' &&
      tag[1] == 'A' && tag[2] == 'G') {
    const std::uint64_t start = end - kId3v1;
    if (start - floor >= kEnhanced && file.Read(start - kEnhanced, tag) &&
        std::ranges::equal(tag, std::string_view("TAG+"))) {
      return start - kEnhanced;
    }
    return start;
  }
  return std::nullopt;
}

// Where the RIFF form may end: the file's length, and where each of the tags
// stacked at its end begins, last tag first.
std::vector<std::uint64_t> FormEnds(FileBytes& file, std::uint64_t floor) {
  std::vector<std::uint64_t> ends{file.Length()};
  while (ends.size() <= kMaxTags) {
    const auto start = TagEndingAt(file, ends.back(), floor);
    if (!start) {
      break;
    }
    ends.push_back(*start);
  }
  return ends;
}

// How the stated audio ends.
enum class Tail {
  Chunks,      // at the form's end, or where a chain of chunks starts that ends there
  Cut,         // a chain of after-audio chunks whose last the end of the file cuts short
  Other,       // something else follows: the data size is wrong
  Unreadable,  // a read failed
};

struct Ending {
  Tail tail = Tail::Other;
  std::uint64_t formEnd = 0;
  bool unpadded = false;  // the form's last chunk is odd-sized and its pad byte missing
};

// Whether the bytes from `from` are chunks a writer put after the audio: a
// chain of chunks ending at one of `ends` (the last pad byte may be missing),
// or one whose last chunk a cut copy left short, when every id in it is one
// that writers put after the audio. `unpadded`: the audio is odd-sized and
// `from` is right after it.
Ending AfterAudio(FileBytes& file, std::uint64_t from, std::span<const std::uint64_t> ends,
                  bool unpadded) {
  const auto isEnd = [&](std::uint64_t at) { return std::ranges::find(ends, at) != ends.end(); };
  if (isEnd(from)) {
    return {Tail::Chunks, from, unpadded};
  }
  bool known = true;
  std::uint64_t at = from;
  for (int chunk = 0; chunk < kMaxTrailingChunks && at < file.Length(); ++chunk) {
    const std::uint64_t left = file.Length() - at;
    if (left < 4) {
      return {};
    }
    std::array<unsigned char, kChunkHeader> header{};
    const auto got =
        std::span(header).first(static_cast<std::size_t>(std::min(left, kChunkHeader)));
    if (!file.Read(at, got)) {
      return {Tail::Unreadable};
    }
    if (!Printable(header)) {
      return {};
    }
    known = known && Trailing(header);
    if (left < kChunkHeader) {
      return {known ? Tail::Cut : Tail::Other};  // cut inside the size field
    }
    const std::uint64_t size = Le32Of(std::span(header).last<4>());
    const std::uint64_t end = at + kChunkHeader + size;
    if (end > file.Length()) {
      return {known ? Tail::Cut : Tail::Other};  // cut inside the body
    }
    const std::uint64_t pad = size & 1U;
    if (isEnd(end + pad)) {
      return {Tail::Chunks, end + pad, false};
    }
    if (pad != 0 && isEnd(end)) {
      return {Tail::Chunks, end, true};
    }
    at = end + pad;
  }
  return {};
}

// The stated audio of `stored` bytes, followed by its pad byte or, as some
// writers leave it, without one.
Ending AfterStated(FileBytes& file, std::uint64_t firstSample, std::uint64_t stored,
                   std::span<const std::uint64_t> ends) {
  const std::uint64_t end = firstSample + stored;
  Ending best;
  for (const bool padded : {true, false}) {
    if (!padded && (stored & 1U) == 0) {
      continue;
    }
    const std::uint64_t from = end + (padded ? stored & 1U : 0);
    if (from > file.Length()) {
      continue;
    }
    const Ending ending = AfterAudio(file, from, ends, !padded);
    if (ending.tail == Tail::Chunks || ending.tail == Tail::Unreadable) {
      return ending;
    }
    if (ending.tail == Tail::Cut) {
      best = ending;
    }
  }
  return best;
}

// A plan that writes nothing.
Plan Only(Outcome outcome) {
  Plan plan;
  plan.outcome = outcome;
  return plan;
}

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
  // A size field that may hold any of `good`; when it holds none, `good`'s
  // first is written.
  void Size(std::uint64_t at, std::span<const unsigned char> now,
            std::initializer_list<std::optional<std::uint64_t>> good) {
    const std::uint64_t value = now.size() == 8 ? Assem8(now.first<8>()) : Le32Of(now);
    if (std::ranges::none_of(good, [&](const auto& g) { return g && *g == value; })) {
      const std::uint64_t want = **good.begin();
      if (now.size() == 8) {
        Want(at, now, Bytes8(want));
      } else {
        Want(at, now, Bytes4(want));
      }
    }
  }
  [[nodiscard]] Plan Done() && {
    if (writes_.empty()) {
      return Only(Outcome::Correct);
    }
    std::ranges::sort(writes_, {}, &FieldWrite::at);
    Plan plan = Only(Outcome::Fixed);
    plan.writes = std::move(writes_);
    return plan;
  }

 private:
  std::vector<FieldWrite> writes_;
};

std::optional<std::uint64_t> Cap32(std::optional<std::uint64_t> value) {
  return value ? std::optional(std::min(*value, kMax32)) : std::nullopt;
}

enum class Form { Riff, Wide, Torn, None };

Form FormOf(std::span<const unsigned char> bytes) {
  if (bytes.size() < kFirstChunk || !IsId(bytes.subspan<kWaveId, 4>(), kWave)) {
    return Form::None;
  }
  const auto id = bytes.first<4>();
  if (IsId(id, kRiff)) {
    return Form::Riff;
  }
  if (IsId(id, kRf64) || IsId(id, kBw64)) {
    return Form::Wide;
  }
  return Between(id, kRiff, kRf64) ? Form::Torn : Form::None;
}

}  // namespace

bool IsWaveHeader(std::span<const unsigned char> bytes) { return FormOf(bytes) != Form::None; }

namespace {

// Decide, on a head that may be shorter than the file's first 128 KiB.
Plan DecideOn(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more);

// An insert whose head block was not written, or not whole: the old RIFF
// header at B (a multiple of 4 KiB, up to 64 KiB) in a file that needs the
// upgrade, and before it nothing but zeros and bytes of its head block. The
// plan is the old file's, moved on, with the head block to write.
std::optional<Plan> CompleteInsert(std::span<const unsigned char> head, std::uint64_t length,
                                   const ReadMore& more) {
  for (std::uint64_t lead = kLeadUnit; lead <= kMaxLead && lead + kFirstChunk <= head.size();
       lead += kLeadUnit) {
    const auto at = static_cast<std::size_t>(lead);
    if (FormOf(head.subspan(at)) != Form::Riff) {
      continue;
    }
    Plan old = DecideOn(head.subspan(at), length - lead,
                        [&](std::uint64_t offset, std::span<unsigned char> out) {
                          return more && more(offset + lead, out);
                        });
    if (!old.upgrade) {
      continue;
    }
    const std::vector<unsigned char> block = HeadBlock(*old.upgrade, lead);
    const auto written = head.first(at);
    if (std::ranges::equal(written, block) ||
        !std::ranges::equal(written, block, [](unsigned char now, unsigned char want) {
          return now == want || now == 0;
        })) {
      continue;  // the head block whole (an RF64 file), or other bytes: not ours
    }
    Plan plan = Only(Outcome::Fixed);
    plan.upgrade = old.upgrade;
    plan.lead = lead;
    plan.mayHaveIntent = true;
    for (FieldWrite write : old.writes) {
      if (write.at != kRiffSize) {  // the old RIFF size now lies in a JUNK body
        write.at += lead;
        plan.writes.push_back(write);
      }
    }
    return plan;
  }
  return std::nullopt;
}

}  // namespace

Plan Decide(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more) {
  if (head.size() < std::min(length, kHeadBytes)) {
    return Only(Outcome::ReadFailed);  // the file shrank while it was read
  }
  return DecideOn(head, length, more);
}

namespace {

Plan DecideOn(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more) {
  FileBytes file(head, length, more);
  const Form form = FormOf(head);
  if (form != Form::Riff) {
    if (auto plan = CompleteInsert(head, length, more)) {
      return *std::move(plan);
    }
  }
  if (form == Form::None) {
    return Only(Outcome::NoTag);  // not a WAVE file: never written
  }
  const Layout layout = Walk(file);
  if (file.Failed()) {
    return Only(Outcome::ReadFailed);
  }
  // An id at 0 cut off on its way to RF64 is ours, and only where ds64 has room.
  if (!layout.tag || layout.cutBefore || (form == Form::Torn && !layout.roomFor64)) {
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
  const std::uint64_t toEnd = length - firstSample;
  const bool fits32 = toEnd <= kMax32 && length - 8 <= kMax32;
  // RF64 and BW64 keep their sizes in ds64. A RIFF file that no 32-bit field
  // can describe becomes RF64 where its writer reserved the room, and so does
  // one whose upgrade was cut off part-way.
  const bool wide = layout.roomFor64 && (form != Form::Riff || !fits32);
  const bool hasDs64 = wide && layout.first == kDs64;
  // The stated audio: from ds64 where it is, else the 32-bit field. A ds64
  // data size of 0 is one not written yet, as writers reserve it; and an
  // upgrade cut off before ds64's data size was written leaves the true size
  // in the 32-bit field still, so that is tried too.
  const std::uint64_t size32 = Le32Of(oldDsize_ch);
  std::vector<std::uint64_t> stated;
  if (hasDs64 && file.Le64(kDs64DataSize) != 0) {
    stated.push_back(file.Le64(kDs64DataSize));
  }
  if (!hasDs64 || (size32 != kMax32 && (stated.empty() || size32 != stated.front()))) {
    stated.push_back(size32);
    // Past 4 GiB a writer may have stored the size modulo 2^32: where chunks
    // or tags follow one of its unwrapped values, the audio ends there.
    for (std::uint64_t unwrapped = size32 + kWrap; !hasDs64 && unwrapped <= toEnd;
         unwrapped += kWrap) {
      stated.push_back(unwrapped);
    }
  }

  // Where the audio and the form end. Tags appended to the file are never
  // audio; they are looked for unless the stated audio (and its pad byte)
  // reaches the end of the file, as in almost every correct file.
  std::uint64_t stored = stated.empty() ? 0 : stated.front();
  const bool reachesEnd = !stated.empty() && stored <= toEnd && toEnd - stored <= (stored & 1U);
  const std::vector<std::uint64_t> ends =
      reachesEnd ? std::vector{length} : FormEnds(file, firstSample);
  Ending ending;
  const auto follow = [&] {
    for (const std::uint64_t size : stated) {
      if (size <= toEnd) {
        ending = AfterStated(file, firstSample, size, ends);
        if (ending.tail != Tail::Other) {
          stored = size;
          return;
        }
      }
    }
  };
  follow();
  if (ending.tail == Tail::Unreadable || file.Failed()) {
    return Only(Outcome::ReadFailed);
  }
  std::uint64_t data = stored;
  if (ending.tail == Tail::Other) {
    ending.formEnd = ends.back();
    data = ending.formEnd - firstSample;
    ending.unpadded = (data & 1U) != 0;
  }
  // The RIFF size is the form's end less 8; the pad byte a form lacks at its
  // end may be counted, and so may tags appended after it. A copy cut inside
  // its trailing chunks keeps any size that covers the audio.
  const std::uint64_t riffSize = ending.formEnd - 8;
  const auto riffOk = [&](std::uint64_t value) {
    return ending.tail == Tail::Cut
               ? value >= firstSample + stored - 8
               : value == riffSize || (ending.unpadded && value == riffSize + 1) ||
                     (ending.formEnd < length && value == length - 8);
  };
  const std::uint64_t riffWant = ending.tail == Tail::Cut ? length - 8 : riffSize;

  // The fact chunk's sample count: the frames the audio holds. One short of
  // the count by a pad byte that the data size includes is right too.
  const std::optional<std::uint64_t> frames = Frames(layout, data);
  const std::optional<std::uint64_t> framesUnpadded =
      data > 0 && data % 2 == 0 ? Frames(layout, data - 1) : std::nullopt;
  Changes changes;
  std::array<unsigned char, 4> fact{};
  if (layout.factAt && frames && file.Read(*layout.factAt, fact)) {
    changes.Size(
        *layout.factAt, fact,
        {Cap32(frames), Cap32(framesUnpadded), wide ? std::optional(kMax32) : std::nullopt});
  }
  if (file.Failed()) {
    return Only(Outcome::ReadFailed);
  }

  if (!wide && (data > kMax32 || riffWant > kMax32)) {
    if (form != Form::Riff) {
      return Only(Outcome::TooLarge);  // RF64 or BW64 without ds64 at 12
    }
    // No 32-bit field can tell: both say "to the end of the file" (a data
    // size that fits is kept), and a block inserted at the start can make
    // the file RF64. Where both already say so, an insert may have been cut
    // off part-way.
    const bool saysToEnd = file.Le32(kRiffSize) == kMax32 && size32 == kMax32;
    changes.Want(kRiffSize, file.Head(kRiffSize, 4), Bytes4(kMax32));
    changes.Want(h + 4, oldDsize_ch, Bytes4(std::min(data, kMax32)));
    Plan plan = std::move(changes).Done();
    plan.outcome = plan.writes.empty() ? Outcome::TooLarge : Outcome::ToEnd;
    plan.upgrade = Upgrade{ending.formEnd, data, frames.value_or(0)};
    plan.mayHaveIntent = saysToEnd;
    return plan;
  }
  if (!wide) {
    if (form == Form::Riff) {
      const std::uint64_t now = file.Le32(kRiffSize);
      if (!riffOk(now)) {
        changes.Want(kRiffSize, file.Head(kRiffSize, 4), Bytes4(std::min(riffWant, kMax32)));
      }
    }
    changes.Want(h + 4, oldDsize_ch, Bytes4(data));
    return std::move(changes).Done();
  }

  if (form != Form::Wide) {
    changes.Want(kFormId, file.Head(kFormId, 4), kRf64);  // BW64 stays BW64
  }
  changes.Want(kRiffSize, file.Head(kRiffSize, 4), Bytes4(kMax32));
  changes.Want(kFirstChunk, file.Head(kFirstChunk, 4), kDs64);
  if (!riffOk(file.Le64(kDs64RiffSize))) {
    changes.Want(kDs64RiffSize, file.Head(kDs64RiffSize, 8), Bytes8(riffWant));
  }
  changes.Want(kDs64DataSize, file.Head(kDs64DataSize, 8), Bytes8(data));
  if (frames) {
    changes.Size(kDs64Samples, file.Head(kDs64Samples, 8), {frames, framesUnpadded});
  } else if (!hasDs64) {
    changes.Want(kDs64Samples, file.Head(kDs64Samples, 8), Bytes8(0));
  }
  // The table: entries of 12 bytes after the four fields, as many as fit.
  const std::uint64_t entries = file.Le32(kDs64Table);
  if (!hasDs64 || kDs64Body + kDs64Entry * entries > layout.firstSize) {
    changes.Want(kDs64Table, file.Head(kDs64Table, 4), Bytes4(0));
  }
  changes.Size(h + 4, oldDsize_ch, {kMax32, data});
  Plan plan = std::move(changes).Done();
  plan.mayHaveIntent = form == Form::Wide && !fits32;  // an insert whose attribute outlived it
  return plan;
}

}  // namespace

std::vector<unsigned char> HeadBlock(const Upgrade& upgrade, std::uint64_t b) {
  std::vector<unsigned char> block(static_cast<std::size_t>(b), 0);
  const auto put = [&](std::uint64_t at, std::span<const unsigned char> bytes) {
    std::ranges::copy(bytes, block.begin() + static_cast<std::ptrdiff_t>(at));
  };
  put(kFormId, kRf64);
  put(kRiffSize, Bytes4(kMax32));
  put(kWaveId, kWave);
  put(kFirstChunk, kDs64);
  put(kFirstChunk + 4, Bytes4(kDs64Body));
  put(kDs64RiffSize, Bytes8(upgrade.formEnd + b - 8));
  put(kDs64DataSize, Bytes8(upgrade.data));
  put(kDs64Samples, Bytes8(upgrade.frames));
  put(kDs64Table, Bytes4(0));
  // JUNK from 48 to b + 12: its body holds the rest of this block and the
  // old "RIFF", size, "WAVE" at b.
  put(kJunkAfterDs64, kJunk);
  put(kJunkAfterDs64 + 4, Bytes4(b + kFirstChunk - kJunkAfterDs64 - kChunkHeader));
  return block;
}

std::vector<Patch> Coalesce(std::span<const unsigned char> head,
                            std::span<const FieldWrite> writes) {
  std::vector<Patch> patches;
  for (const FieldWrite& write : writes) {
    // A field joins the run before it when both lie within 4 KiB and the
    // bytes between them are in the head, to be written back as they are.
    if (!patches.empty()) {
      Patch& last = patches.back();
      const std::uint64_t lastEnd = last.at + last.bytes.size();
      if (write.at >= lastEnd && write.at + write.width - last.at <= kWriteBlock &&
          write.at <= head.size()) {
        last.bytes.insert(last.bytes.end(), head.begin() + static_cast<std::ptrdiff_t>(lastEnd),
                          head.begin() + static_cast<std::ptrdiff_t>(write.at));
        last.bytes.insert(last.bytes.end(), write.bytes.begin(),
                          write.bytes.begin() + static_cast<std::ptrdiff_t>(write.width));
        continue;
      }
    }
    patches.push_back(
        {write.at,
         {write.bytes.begin(), write.bytes.begin() + static_cast<std::ptrdiff_t>(write.width)}});
  }
  return patches;
}

std::vector<Patch> Writes(std::span<const unsigned char> head, const Plan& plan) {
  std::vector<Patch> patches;
  if (plan.lead != 0 && plan.upgrade) {
    patches.push_back({0, HeadBlock(*plan.upgrade, plan.lead)});
  }
  for (Patch& patch : Coalesce(head, plan.writes)) {
    patches.push_back(std::move(patch));
  }
  return patches;
}

}  // namespace zavevuv
