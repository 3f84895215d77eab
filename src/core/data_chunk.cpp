// SPDX-License-Identifier: MIT
#include "data_chunk.h"

#include "codec.h"

namespace zavevuv {
namespace {

constexpr std::uint64_t kSsndFields = 8;  // AIFF's SSND: an offset and a block size, 32 bits each

// Where the audio of the data chunk at `h` starts, and what its size field
// counts besides the audio; nothing where the file ends first.
bool PlaceAudio(FileBytes& file, Facts& facts) {
  const Container& chunks = file.Chunks();
  const std::uint64_t length = file.Length();
  facts.sizeAt = facts.h + chunks.idBytes;
  facts.firstSample = facts.h + chunks.Header();
  facts.overhead = chunks.box == Box::W64 ? chunks.Header() : 0;
  if (chunks.box == Box::Aiff) {
    std::array<unsigned char, 4> offset{};
    if (facts.firstSample + kSsndFields > length || !file.Read(facts.firstSample, offset)) {
      return false;
    }
    facts.overhead = kSsndFields + Field(chunks, offset);
    facts.firstSample += facts.overhead;
  }
  return facts.firstSample <= length;
}

}  // namespace

std::variant<Outcome, Facts> Examine(FileBytes& file, Form form) {
  if (form == Form::None) {
    return Outcome::NoDataChunk;  // not a file we know: never written
  }
  const Container& chunks = file.Chunks();
  Facts facts;
  facts.form = form;
  facts.layout = Walk(file);
  const Layout& layout = facts.layout;
  if (file.Failed()) {
    return Outcome::ReadFailed;
  }
  // An id at 0 cut off on its way to RF64 is ours, and only where ds64 has
  // room. An AIFF-C compression whose frames are unknown is left alone.
  if (!layout.dataChunk || layout.cutBefore || (form == Form::UpgradeCut && !layout.roomFor64) ||
      layout.unknownFormat) {
    return Outcome::NoDataChunk;
  }
  facts.h = *layout.dataChunk;
  if (!PlaceAudio(file, facts)) {
    return file.Failed() ? Outcome::ReadFailed : Outcome::Truncated;
  }
  const std::uint64_t length = file.Length();
  if (!file.Read(facts.sizeAt, std::span(facts.dataSize).first(chunks.sizeBytes)) ||
      (layout.factAt && !file.Read(*layout.factAt, facts.fact))) {
    return Outcome::ReadFailed;
  }
  if (layout.factAt) {
    facts.factCount = Field(chunks, facts.fact);
  }
  facts.toEnd = length - facts.firstSample;
  facts.fits32 =
      chunks.box == Box::W64 || (facts.toEnd <= kMax32 - facts.overhead && length - 8 <= kMax32);
  // RF64 and BW64 keep their sizes in ds64. A RIFF file that no 32-bit field
  // can describe becomes RF64 where its writer reserved the room, and so does
  // one whose upgrade was cut off part-way.
  facts.wide = layout.roomFor64 && (form != Form::Riff || !facts.fits32);
  facts.hasDs64 = facts.wide && layout.first == kDs64;
  return facts;
}

// The stated audio: from ds64 where it is, else the data chunk's field. A
// ds64 data size of 0 is one not written yet, as writers reserve it; and an
// upgrade cut off before ds64's data size was written leaves the true size
// in the 32-bit field still, so that is tried too. A field smaller than
// what it counts besides the audio (ffmpeg's AIFF placeholder of 0) states
// nothing.
std::vector<std::uint64_t> StatedSizes(const FileBytes& file, const Facts& facts) {
  const Container& chunks = file.Chunks();
  const std::uint64_t field = Field(chunks, facts.SizeField(chunks));
  std::vector<std::uint64_t> stated;
  if (chunks.box != Box::Riff) {
    if (field >= facts.overhead) {
      stated.push_back(field - facts.overhead);
    }
    return stated;
  }
  if (facts.hasDs64 && Assem8(file.Head<8>(kDs64DataSize)) != 0) {
    stated.push_back(Assem8(file.Head<8>(kDs64DataSize)));
  }
  if (!facts.hasDs64 || (field != kMax32 && (stated.empty() || field != stated.front()))) {
    stated.push_back(field);
  }
  return stated;
}

}  // namespace zavevuv
