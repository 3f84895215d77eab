// SPDX-License-Identifier: MIT
#include "text.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace zavevuv::cli {
namespace {

// The length of the valid UTF-8 sequence at s[i], or 0: no overlong forms,
// no surrogates, nothing past U+10FFFF.
std::size_t Utf8At(std::string_view s, std::size_t i) {
  const auto at = [&](std::size_t k) {
    return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0U;
  };
  const unsigned b0 = at(0);
  const auto tail = [&](std::size_t k, unsigned low, unsigned high) {
    return at(k) >= low && at(k) <= high;
  };
  if (b0 < 0x80) {
    return 1;
  }
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    return tail(1, 0x80, 0xBF) ? 2 : 0;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    const unsigned low = b0 == 0xE0 ? 0xA0 : 0x80;   // no overlong form
    const unsigned high = b0 == 0xED ? 0x9F : 0xBF;  // no surrogate
    return tail(1, low, high) && tail(2, 0x80, 0xBF) ? 3 : 0;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    const unsigned low = b0 == 0xF0 ? 0x90 : 0x80;   // no overlong form
    const unsigned high = b0 == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    return tail(1, low, high) && tail(2, 0x80, 0xBF) && tail(3, 0x80, 0xBF) ? 4 : 0;
  }
  return 0;
}

// Whether the UTF-8 character of `n` bytes at s[i] is a C1 control, U+0080
// to U+009F, which a terminal may take for a control sequence.
bool C1At(std::string_view s, std::size_t i, std::size_t n) {
  return n == 2 && static_cast<unsigned char>(s[i]) == 0xC2 &&
         static_cast<unsigned char>(s[i + 1]) < 0xA0;
}

template <std::size_t N>
void Printf(std::string& out, const char* format, unsigned value) {
  std::array<char, N> text{};
  std::snprintf(text.data(), text.size(), format, value);
  out += text.data();
}

}  // namespace

std::string Format(std::string_view format, std::initializer_list<std::string_view> args) {
  std::string line;
  const auto* arg = args.begin();
  for (std::size_t at = 0; at < format.size(); ++at) {
    const std::string_view rest = format.substr(at);
    if (arg != args.end() && (rest.starts_with("%s") || rest.starts_with("%i"))) {
      line += *arg++;
      ++at;
    } else {
      line += format[at];
    }
  }
  return line;
}

std::string Escaped(std::string_view name, bool backslash) {
  std::string shown;
  for (std::size_t i = 0; i < name.size();) {
    const auto byte = static_cast<unsigned char>(name[i]);
    const std::size_t n = Utf8At(name, i);
    const std::size_t width = n == 0 ? 1 : n;  // a stray byte stands alone
    const bool control = byte < 0x20 || byte == 0x7F || (n == 0 && byte < 0xA0) || C1At(name, i, n);
    if (byte == '\\' && backslash) {
      shown += "\\\\";
    } else if (byte == '\n' || byte == '\t') {
      shown += byte == '\n' ? "\\n" : "\\t";
    } else if (control) {
      for (const char c : name.substr(i, width)) {
        Printf<5>(shown, "\\%03o", static_cast<unsigned char>(c));
      }
    } else {
      shown += name.substr(i, width);
    }
    i += width;
  }
  return shown;
}

std::string Quoted(std::string_view s) {
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size();) {
    const auto byte = static_cast<unsigned char>(s[i]);
    const std::size_t n = Utf8At(s, i);
    if (n == 0) {
      Printf<7>(out, "\\u%04x", 0xDC00U + byte);
    } else if (byte == '"' || byte == '\\') {
      out += '\\';
      out += s[i];
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte < 0x20 || byte == 0x7F) {
      Printf<7>(out, "\\u%04x", byte);
    } else if (C1At(s, i, n)) {
      Printf<7>(out, "\\u%04x", static_cast<unsigned char>(s[i + 1]));
    } else {
      out.append(s.substr(i, n));
    }
    i += n != 0 ? n : 1;
  }
  return out + '"';
}

std::string Grouped(std::uint64_t n) {
  std::string digits = std::to_string(n);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<std::size_t>(at), 1, ',');
  }
  return digits;
}

bool NamedAsAudio(std::string_view path) {
  const auto dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) {
    return false;
  }
  std::string ending(path.substr(dot + 1));
  for (char& c : ending) {
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  constexpr std::array<std::string_view, 7> kAudio = {"wav", "bwf",  "rf64", "w64",
                                                      "aif", "aiff", "aifc"};
  return std::ranges::find(kAudio, ending) != kAudio.end();
}

}  // namespace zavevuv::cli
