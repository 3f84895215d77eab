// SPDX-License-Identifier: MIT
#include "from_end.h"

#include <algorithm>
#include <array>
#include <span>
#include <utility>
#include <vector>

#include "format.h"

namespace zavevuv {
namespace {

// Chains are looked for from the end within the block the tags already read.
constexpr std::uint64_t kWindow = kBlockBytes;
constexpr std::uint64_t kWrap = 0x100000000;  // 2^32: a wrapped size lacks multiples of it
constexpr std::uint64_t kName = 4;            // a chunk's name: its id, or a GUID's first bytes

constexpr Id kList = MakeId("LIST");
// The types of the LIST chunks that writers append after the audio.
constexpr std::array kListTypes = {MakeId("INFO"), MakeId("adtl")};

// Whether `audio` bytes after the first sample lie at whole frames, or at
// the padding after them (the pad byte after an odd number of bytes).
bool WholeFrames(std::uint64_t audio, std::uint64_t frame, const Container& chunks) {
  if (frame == 0 || audio % frame == 0) {
    return frame != 0;
  }
  for (std::uint64_t pad = 1; pad < chunks.align && pad <= audio; ++pad) {
    if ((audio - pad) % frame == 0 && chunks.Pad(audio - pad) == pad) {
      return true;
    }
  }
  return false;
}

// Whether the chunk whose header starts `bytes`, running past the end of the
// file, may be one a writer was killed while appending: a RIFF LIST only of
// a known type, or one whose type the end of the file cuts (a prefix of one).
bool CutOff(const Container& chunks, std::span<const unsigned char> bytes) {
  if (chunks.box != Box::Riff || !IsId(bytes, kList) || bytes.size() <= kChunkHeader) {
    return true;
  }
  const auto type = bytes.subspan(kChunkHeader, std::min<std::size_t>(4, bytes.size() - 8));
  return std::ranges::any_of(kListTypes, [&](const Id& known) {
    return std::ranges::equal(type, std::span(known).first(type.size()));
  });
}

// What a scan from the form's end backward found, each in ascending order.
struct Scan {
  std::vector<ChainStart> starts;  // chains that end at the form's end
  std::vector<ChainStart> cut;     // chains that end in a chunk or header cut off
  // LIST chunks of those chains, and cut off: where their sub-chunks lie.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> lists;
};

// What a chain from one id reaches.
struct Mark {
  bool reaches = false;     // the form's end
  bool followsOne = false;  // a chunk of such a chain ends here
  bool unpadded = false;    // that chain's last chunk lacks its padding
  bool cutEnd = false;      // a chunk or chunk header cut off
  bool followsCut = false;  // a chunk of such a chain ends here
};

// The scan of a window (from `lo` to the form's end) backward: at each offset
// where an after-audio id starts, whether a chain from there ends at the
// form's end, or in a chunk cut off (its body, its type, its size, or the
// next one's header); a chain's next chunk is no start of its own.
class Backward {
 public:
  Backward(std::span<const unsigned char> window, std::uint64_t lo, std::uint64_t length,
           const FromEnd& where)
      : window_(window), lo_(lo), length_(length), where_(where), chunks_(where.chunks) {
    ids_ = AfterAudioIdsIn(chunks_, window, lo);
    // Ids whose size field the end of the file cuts.
    for (std::uint64_t k = chunks_.Header() - 1; Cuts() && k >= chunks_.idBytes; --k) {
      const std::uint64_t at = window.size() - k;
      if (window.size() >= k && Aligned(at) &&
          KnownAfterAudio(chunks_, IdOf(chunks_, window.subspan(static_cast<std::size_t>(at))))) {
        ids_.push_back(at);
      }
    }
    marks_.resize(ids_.size());
  }

  Scan Run() {
    for (std::size_t k = ids_.size(); k-- > 0;) {
      Look(k);
    }
    std::ranges::reverse(reaching_);
    for (const std::uint64_t at : reaching_) {
      if (const Mark* mark = MarkAt(at); !mark->followsOne) {
        scan_.starts.push_back({at, mark->unpadded});
      }
    }
    for (std::size_t k = 0; k < ids_.size(); ++k) {
      if (marks_[k].cutEnd && !marks_[k].followsCut && AtWholeFrames(lo_ + ids_[k])) {
        scan_.cut.push_back({.at = lo_ + ids_[k], .cut = true});
      }
    }
    CutNameAlone();
    std::ranges::reverse(scan_.lists);
    return std::move(scan_);
  }

 private:
  // Whether the end of the file is the form's: only there can a copy be cut.
  [[nodiscard]] bool Cuts() const { return where_.formEnd == length_; }
  [[nodiscard]] bool Aligned(std::uint64_t at) const { return (lo_ + at) % chunks_.align == 0; }
  [[nodiscard]] bool AtWholeFrames(std::uint64_t at) const {
    return WholeFrames(at - where_.firstSample, where_.frame, chunks_);
  }
  [[nodiscard]] std::span<const unsigned char> From(std::uint64_t at) const {
    return window_.subspan(static_cast<std::size_t>(at - lo_));
  }

  // The mark of the id at `at`, where one starts there.
  Mark* MarkAt(std::uint64_t at) {
    const auto found = std::ranges::lower_bound(ids_, at - lo_);
    return found != ids_.end() && *found == at - lo_
               ? &marks_[static_cast<std::size_t>(found - ids_.begin())]
               : nullptr;
  }

  // Whether the bytes from `at` to the end of the file, fewer than an id,
  // start an after-audio id: a chunk header the end cut.
  [[nodiscard]] bool CutName(std::uint64_t at) const {
    return Cuts() && at < length_ && length_ - at < chunks_.idBytes &&
           StartsKnownAfterAudio(chunks_, From(at));
  }

  // The id at ids_[k]: what a chain from there reaches.
  void Look(std::size_t k) {
    const std::uint64_t n = chunks_.Header();
    const std::uint64_t at = lo_ + ids_[k];
    const auto bytes = From(at);
    const std::optional<std::uint64_t> body =
        bytes.size() < n ? std::optional(length_) : BodyOf(chunks_, bytes);
    if (!body) {
      return;
    }
    const std::uint64_t formEnd = where_.formEnd;
    const bool cut = bytes.size() < n || *body > length_ - at - n;
    const std::uint64_t end = cut ? length_ + 1 : at + n + *body;
    const std::uint64_t next = end + chunks_.Pad(cut ? length_ : *body);
    const bool last = !cut && end <= formEnd && formEnd <= next;  // its padding may be short
    Mark* const following = last || next >= formEnd ? nullptr : MarkAt(next);
    const bool list = chunks_.box == Box::Riff && IsId(bytes, kList);
    const bool headerCut = !last && following == nullptr && CutName(next);
    if (cut ? CutOff(chunks_, bytes) : headerCut || (following != nullptr && following->cutEnd)) {
      marks_[k].cutEnd = true;
      nameFollows_ = nameFollows_ || headerCut;
      if (following != nullptr) {
        following->followsCut = true;
      }
      if (list) {
        scan_.lists.emplace_back(at, end);
      }
      return;
    }
    if (cut || (!last && (following == nullptr || !following->reaches))) {
      return;
    }
    marks_[k].reaches = true;
    marks_[k].unpadded = last ? next != formEnd : following->unpadded;
    reaching_.push_back(at);
    if (!last) {
      following->followsOne = true;
    }
    if (list) {
      scan_.lists.emplace_back(at, end);
    }
  }

  // A chunk header alone at the end, cut inside its id but holding a name
  // (a Wave64 GUID's first 4 to 15 bytes), where no chunk before leads to it.
  void CutNameAlone() {
    for (std::uint64_t left = chunks_.idBytes - 1; !nameFollows_ && left >= kName; --left) {
      const std::uint64_t at = length_ - left;
      if (left < window_.size() && Aligned(at - lo_) && CutName(at) && AtWholeFrames(at)) {
        scan_.cut.push_back({.at = at, .cut = true});
      }
    }
  }

  std::span<const unsigned char> window_;
  std::uint64_t lo_, length_;
  const FromEnd& where_;
  const Container& chunks_;
  std::vector<std::uint64_t> ids_;  // from lo_, ascending
  std::vector<Mark> marks_;
  std::vector<std::uint64_t> reaching_;  // backward
  bool nameFollows_ = false;             // a chunk before the cut header at the end leads to it
  Scan scan_;
};

// Drops the offsets that lie inside one of `lists` (ascending by start): a
// LIST's sub-chunks are chunks too, but no start of their own.
void DropSubChunks(std::vector<ChainStart>& offsets,
                   std::span<const std::pair<std::uint64_t, std::uint64_t>> lists) {
  std::uint64_t held = 0;  // the furthest a LIST before reaches
  auto list = lists.begin();
  std::erase_if(offsets, [&](const ChainStart& start) {
    for (; list != lists.end() && list->first < start.at; ++list) {
      held = std::max(held, list->second);
    }
    return start.at < held;
  });
}

}  // namespace

std::optional<ChainStart> ChainFromEnd(FileBytes& file, const FromEnd& where) {
  const std::uint64_t length = file.Length();
  const std::uint64_t lo = std::max(where.firstSample + 1, length > kWindow ? length - kWindow : 0);
  if (where.formEnd < lo + kName) {
    return std::nullopt;
  }
  const std::span<const unsigned char> window = file.View(lo, where.formEnd - lo);
  if (window.empty() || file.Failed()) {
    return std::nullopt;
  }
  Scan scan = Backward(window, lo, length, where).Run();
  DropSubChunks(scan.starts, scan.lists);
  DropSubChunks(scan.cut, scan.lists);
  if (scan.starts.empty()) {
    return scan.cut.size() == 1 ? std::optional(scan.cut.front()) : std::nullopt;
  }
  if (scan.starts.size() > 1 && where.size32) {
    std::erase_if(scan.starts, [&](const ChainStart& start) {
      const std::uint64_t audio = start.at - where.firstSample;
      return audio % kWrap != *where.size32 && (audio - 1) % kWrap != *where.size32;
    });
  }
  return scan.starts.size() == 1 ? std::optional(scan.starts.front()) : std::nullopt;
}

}  // namespace zavevuv
