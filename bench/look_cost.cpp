// SPDX-License-Identifier: MIT
// The CPU of one look (zavevuv_check) at a take in the page cache: a correct
// one, and one a recorder crashed on (both sizes 0), each of `bytes` of
// 16-bit audio, looked at `runs` times; user and system time per look.
//   c++ -std=c++20 -O2 bench/look_cost.cpp -Ibuild/generated/include -Lbuild -lzavevuv \
//       -o /tmp/look_cost
//   LD_LIBRARY_PATH=build /tmp/look_cost DIR [BYTES [RUNS]]
#include <sys/resource.h>
#include <zavevuv.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Put32(std::vector<unsigned char>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    out[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
  }
}

std::string Take(const std::string& dir, const char* name, std::uint32_t audio, bool crashed) {
  std::vector<unsigned char> wav(44 + audio);
  const unsigned char head[] = {'R',  'I',  'F', 'F', 0, 0, 0,  0, 'W', 'A', 'V',  'E',  'f', 'm',
                                't',  ' ',  16,  0,   0, 0, 1,  0, 1,   0,   0x40, 0x1F, 0,   0,
                                0x80, 0x3E, 0,   0,   2, 0, 16, 0, 'd', 'a', 't',  'a'};
  std::copy(std::begin(head), std::end(head), wav.begin());
  std::uint32_t noise = 1;
  for (std::size_t i = 44; i < wav.size(); ++i) {
    noise = noise * 1103515245U + 12345U;
    wav[i] = static_cast<unsigned char>(noise >> 16);
  }
  Put32(wav, 4, crashed ? 0 : 36 + audio);
  Put32(wav, 40, crashed ? 0 : audio);
  const std::string path = dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(wav.data(), 1, wav.size(), f) != wav.size() ||
      std::fclose(f) != 0) {
    std::perror(path.c_str());
    std::exit(1);
  }
  return path;
}

double CpuMicros() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1e6 +
         static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec);
}

double PerLook(const std::string& path, int runs, int expect) {
  zavevuv_report report{};
  report.size = sizeof report;
  const double start = CpuMicros();
  for (int i = 0; i < runs; ++i) {
    if (zavevuv_check(path.c_str(), &report) != expect) {
      std::fprintf(stderr, "%s: unexpected outcome %d\n", path.c_str(), report.outcome);
      std::exit(1);
    }
  }
  return (CpuMicros() - start) / runs;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: look_cost DIR [BYTES [RUNS]]\n");
    return 2;
  }
  const auto bytes = static_cast<std::uint32_t>(argc > 2 ? std::atol(argv[2]) : 65536);
  const int runs = argc > 3 ? std::atoi(argv[3]) : 20000;
  const std::string correct = Take(argv[1], "correct.wav", bytes, false);
  const std::string crashed = Take(argv[1], "crashed.wav", bytes, true);
  const double ok = PerLook(correct, runs, ZAVEVUV_CORRECT);
  const double bad = PerLook(crashed, runs, ZAVEVUV_FIXED);
  std::printf("%u bytes of audio: correct %.1f us a look, crashed %.1f us (x%.1f)\n", bytes, ok,
              bad, bad / ok);
  return 0;
}
