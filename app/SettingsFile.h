// The text model of the settings file: sections of key lines, read by the
// rules of a plain INI file and written back normalised.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/SysUtils.h"

class IniDocument {
public:
  // Lines end at CR LF, LF or CR. Each line is trimmed of blanks; empty lines,
  // comments (";") and lines before the first section are dropped.
  static IniDocument Parse(StringView text);

  // The value of the last key of that name in the last section of that name;
  // names compare without regard to case.
  std::optional<String> ReadString(StringView section, StringView key) const;
  // Replaces the value of the key that ReadString would find, or adds the key
  // at the end of its section, or the section at the end of the document.
  void WriteString(StringView section, StringView key, StringView value);

  // Every section line, its lines, then one empty line; CR LF after each.
  String Text() const;

private:
  struct Line {
    String text;    // a line without "=", kept as it stands
    bool isKey = false;
    String name;
    String value;
  };
  struct Section {
    String name;
    std::vector<Line> lines;
  };
  Section* FindSection(StringView name);
  const Section* FindSection(StringView name) const;

  std::vector<Section> FSections;
};

// Bytes of a text file to text, by its byte-order mark: FF FE UTF-16LE, FE FF
// UTF-16BE, EF BB BF UTF-8. Without a mark, a file whose odd bytes are mostly
// 0 is UTF-16LE; anything else goes to the given ANSI decoder.
String DecodeText(const std::string& bytes, const std::function<String(const std::string&)>& ansi);
// The mark FF FE followed by the text in UTF-16LE.
std::string EncodeUtf16Le(StringView text);
