#include "toolkit/SysUtils.h"

#include <vector>

Exception::Exception(String message) : FMessage(std::move(message)), FUtf8(ToUtf8(FMessage)) {}

std::string ToUtf8(StringView text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

String FromUtf8(std::string_view text) {
  String out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    uint32_t c;
    size_t len;
    uint32_t min;
    if (b < 0x80) { c = b; len = 1; min = 0; }
    else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; len = 2; min = 0x80; }
    else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; len = 3; min = 0x800; }
    else if ((b & 0xF8) == 0xF0) { c = b & 0x07; len = 4; min = 0x10000; }
    else { out += u'\uFFFD'; ++i; continue; }
    size_t k = 1;
    for (; k < len && i + k < text.size(); ++k) {
      const auto n = static_cast<unsigned char>(text[i + k]);
      if ((n & 0xC0) != 0x80) break;
      c = (c << 6) | (n & 0x3F);
    }
    if (k < len || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out += u'\uFFFD';
      i += k;  // resynchronise on the first byte that did not fit
      continue;
    }
    i += len;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

String Trim(StringView text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] <= u' ') ++b;
  while (e > b && text[e - 1] <= u' ') --e;
  return String(text.substr(b, e - b));
}

String LowerCaseAscii(StringView text) {
  String out(text);
  for (auto& c : out)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return out;
}

static char16_t FoldCase(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c < 0x80) return c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 32);
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
  if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 32);
  return c;
}

bool SameText(StringView a, StringView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

String IntToStr(int64_t value) {
  const std::string s = std::to_string(value);
  return String(s.begin(), s.end());
}

std::optional<int32_t> TryStrToInt(StringView text) {
  size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == u'$') {
    base = 16;
    ++i;
  } else if (i < text.size() && (text[i] == u'x' || text[i] == u'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return std::nullopt;
  const int64_t limit = negative ? 0x80000000LL : 0x7FFFFFFFLL;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    int digit;
    if (c >= u'0' && c <= u'9') digit = c - u'0';
    else if (base == 16 && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
    else if (base == 16 && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
    else return std::nullopt;
    value = value * base + digit;
    if (value > limit) return std::nullopt;
  }
  return static_cast<int32_t>(negative ? -value : value);
}

String ExtractFileExt(StringView path) {
  for (size_t i = path.size(); i-- > 0;) {
    if (path[i] == u'.') return String(path.substr(i));
    if (path[i] == u'\\' || path[i] == u':') break;
  }
  return String();
}

String ExtractFilePath(StringView path) {
  for (size_t i = path.size(); i-- > 0;)
    if (path[i] == u'\\' || path[i] == u':') return String(path.substr(0, i + 1));
  return String();
}

String Format(StringView pattern, std::initializer_list<StringView> args) {
  String out;
  auto arg = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == u'%' && i + 1 < pattern.size() && pattern[i + 1] == u's' && arg != args.end()) {
      out += *arg++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

String ErrorReportText(StringView message) {
  String text(message);
  if (!text.empty() && text.back() > u'.') text += u'.';
  return text;
}
