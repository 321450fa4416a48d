// Text, numbers and errors shared by every unit: the portable base of the toolkit.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

// All text is UTF-16, as Windows keeps it. On Linux wchar_t is 32 bits wide, so
// the portable code uses char16_t and views it as wchar_t only at the Win32 edge.
using String = std::u16string;
using StringView = std::u16string_view;

// An error that carries a message meant for the user.
class Exception : public std::exception {
public:
  explicit Exception(String message);
  const String& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FUtf8.c_str(); }

private:
  String FMessage;
  std::string FUtf8;
};

std::string ToUtf8(StringView text);
String FromUtf8(std::string_view text);  // invalid sequences become U+FFFD

// Characters up to U+0020 count as blanks, as in the settings file.
String Trim(StringView text);
String LowerCaseAscii(StringView text);
// Case-insensitive comparison for names: ASCII, Latin-1, Greek, Cyrillic and
// full-width Latin letters fold to lower case.
bool SameText(StringView a, StringView b);

String IntToStr(int64_t value);

// Whole numbers as typed by people: leading spaces, an optional sign, then
// decimal digits or hexadecimal digits after "$", "x" or "0x". Anything else,
// trailing blanks included, and values outside the signed 32-bit range fail.
std::optional<int32_t> TryStrToInt(StringView text);

// The extension of a path, dot included: the text from the last "." that
// follows the last "\" or ":". Empty when there is no such dot.
String ExtractFileExt(StringView path);
// The folder part of a path, up to and including the last "\" or ":".
String ExtractFilePath(StringView path);

// Replaces each "%s" in order with the given arguments.
String Format(StringView pattern, std::initializer_list<StringView> args);

// The text of the general error report: the message, with "." added when its
// last character has a code above that of ".".
String ErrorReportText(StringView message);
