#include "toolkit/StringList.h"

int TStrings::Add(const String& value) {
  const int index = Count();
  Insert(index, value);
  return index;
}

void TStrings::AddStrings(const TStrings& other) {
  if (&other == this) {
    // Reading while appending would never end.
    const int count = Count();
    for (int i = 0; i < count; ++i) Add(Get(i));
    return;
  }
  for (const String& s : other) Add(s);
}

void TStrings::Assign(const TStrings& other) {
  if (&other == this) return;
  Clear();
  AddStrings(other);
}

int TStrings::IndexOf(StringView value) const {
  const int count = Count();
  for (int i = 0; i < count; ++i)
    if (SameText(Get(i), value)) return i;
  return -1;
}

String TStrings::Text() const {
  String text;
  for (const String& s : *this) {
    text += s;
    text += u"\r\n";
  }
  return text;
}

void TStrings::SetText(StringView text) {
  Clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of(u"\r\n", start);
    if (end == StringView::npos) end = text.size();
    Add(String(text.substr(start, end - start)));
    if (end < text.size() && text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ++end;
    start = end + 1;
  }
}

void TStrings::IndexError(int index) {
  throw Exception(Format(u"リストのインデックスが範囲外です (%s)。", {IntToStr(index)}));
}

void TStringList::CheckIndex(int index, int limit) const {
  if (index < 0 || index > limit) IndexError(index);
}

String TStringList::Get(int index) const {
  CheckIndex(index, Count() - 1);
  return FItems[static_cast<size_t>(index)];
}

void TStringList::Put(int index, const String& value) {
  CheckIndex(index, Count() - 1);
  FItems[static_cast<size_t>(index)] = value;
}

void TStringList::Insert(int index, const String& value) {
  CheckIndex(index, Count());
  FItems.insert(FItems.begin() + index, value);
}

void TStringList::Delete(int index) {
  CheckIndex(index, Count() - 1);
  FItems.erase(FItems.begin() + index);
}
