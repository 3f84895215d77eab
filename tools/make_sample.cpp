// SPDX-License-Identifier: MIT
// Writes a damaged WAV file, as a crashed recorder leaves it: one second of a
// tone whose header still says the file and its data are empty.
#include <fstream>
#include <iostream>

#include "wavgen.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::cout << "usage: make_sample OUT.wav\n";
    return 2;
  }
  wavgen::Wav wav;
  wav.samples = wavgen::Tone(16000);  // 8000 frames of 16-bit mono
  wav.riff = 8;                       // as libsndfile leaves a recording it never closed
  wav.stored = 0;
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << wavgen::Build(wav);
  out.close();
  return out ? 0 : 1;
}
