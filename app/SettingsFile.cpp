#include "app/SettingsFile.h"

IniDocument IniDocument::Parse(StringView text) {
  IniDocument doc;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
    const String line = Trim(text.substr(start, end - start));
    if (end < text.size() && text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n')
      ++end;
    start = end + 1;

    if (line.empty() || line[0] == u';') continue;
    if (line.front() == u'[' && line.back() == u']' && line.size() >= 2) {
      doc.FSections.push_back(Section{Trim(StringView(line).substr(1, line.size() - 2)), {}});
      continue;
    }
    if (doc.FSections.empty()) continue;
    Line entry;
    const size_t eq = line.find(u'=');
    if (eq == String::npos) {
      entry.text = line;
    } else {
      entry.isKey = true;
      entry.name = Trim(StringView(line).substr(0, eq));
      entry.value = Trim(StringView(line).substr(eq + 1));
    }
    doc.FSections.back().lines.push_back(std::move(entry));
  }
  return doc;
}

IniDocument::Section* IniDocument::FindSection(StringView name) {
  for (auto it = FSections.rbegin(); it != FSections.rend(); ++it)
    if (SameText(it->name, name)) return &*it;
  return nullptr;
}

const IniDocument::Section* IniDocument::FindSection(StringView name) const {
  return const_cast<IniDocument*>(this)->FindSection(name);
}

std::optional<String> IniDocument::ReadString(StringView section, StringView key) const {
  const Section* s = FindSection(section);
  if (!s) return std::nullopt;
  for (auto it = s->lines.rbegin(); it != s->lines.rend(); ++it)
    if (it->isKey && SameText(it->name, key)) return it->value;
  return std::nullopt;
}

void IniDocument::WriteString(StringView section, StringView key, StringView value) {
  Section* s = FindSection(section);
  if (!s) {
    FSections.push_back(Section{String(section), {}});
    s = &FSections.back();
  }
  for (auto it = s->lines.rbegin(); it != s->lines.rend(); ++it) {
    if (it->isKey && SameText(it->name, key)) {
      it->name = String(key);
      it->value = String(value);
      return;
    }
  }
  Line entry;
  entry.isKey = true;
  entry.name = String(key);
  entry.value = String(value);
  s->lines.push_back(std::move(entry));
}

String IniDocument::Text() const {
  String out;
  for (const Section& s : FSections) {
    out += u"[" + s.name + u"]\r\n";
    for (const Line& l : s.lines) out += (l.isKey ? l.name + u"=" + l.value : l.text) + u"\r\n";
    out += u"\r\n";
  }
  return out;
}

String DecodeText(const std::string& bytes, const std::function<String(const std::string&)>& ansi) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  auto utf16 = [&](size_t from, bool bigEndian) {
    String out;
    out.reserve((bytes.size() - from) / 2);
    for (size_t i = from; i + 1 < bytes.size(); i += 2)
      out += static_cast<char16_t>(bigEndian ? (byte(i) << 8) | byte(i + 1) : byte(i) | (byte(i + 1) << 8));
    return out;
  };
  if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) return utf16(2, false);
  if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) return utf16(2, true);
  if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF)
    return FromUtf8(std::string_view(bytes).substr(3));
  // UTF-16LE without a mark: text of the Latin range has a 0 in most odd
  // bytes, which ANSI text never has.
  size_t zeros = 0;
  for (size_t i = 1; i < bytes.size(); i += 2) zeros += byte(i) == 0;
  if (zeros * 2 > bytes.size() / 2) return utf16(0, false);
  return ansi(bytes);
}

std::string EncodeUtf16Le(StringView text) {
  std::string out;
  out.reserve(2 + text.size() * 2);
  out += '\xFF';
  out += '\xFE';
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}
