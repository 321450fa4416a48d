// Lists of strings. TStrings is what a caller reads and fills; TStringList
// keeps the strings in memory, in the order they were added.
#pragma once

#include <cstddef>
#include <iterator>
#include <vector>

#include "toolkit/SysUtils.h"

class TStrings {
public:
  TStrings() = default;
  TStrings(const TStrings&) = delete;
  TStrings& operator=(const TStrings&) = delete;
  virtual ~TStrings() = default;

  virtual int Count() const = 0;
  // Index errors raise an Exception naming the index.
  virtual String Get(int index) const = 0;
  virtual void Put(int index, const String& value) = 0;
  // 0 <= index <= Count(); Count() appends.
  virtual void Insert(int index, const String& value) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;

  String operator[](int index) const { return Get(index); }
  String Strings(int index) const { return Get(index); }
  bool Empty() const { return Count() == 0; }
  // Appends and gives the new string's index.
  int Add(const String& value);
  void AddStrings(const TStrings& other);
  // Makes this list a copy of the other.
  void Assign(const TStrings& other);
  // The first string equal to `value`, letter case aside; -1 when there is none.
  int IndexOf(StringView value) const;

  // The strings, each followed by a line break (CR LF).
  String Text() const;
  // Replaces the strings by the lines of `text`; CR LF, LF and CR all end a
  // line, and a last line without a break counts too.
  void SetText(StringView text);

  class const_iterator {
  public:
    using iterator_category = std::input_iterator_tag;
    using value_type = String;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = String;
    const_iterator(const TStrings* list, int index) : FList(list), FIndex(index) {}
    String operator*() const { return FList->Get(FIndex); }
    const_iterator& operator++() { ++FIndex; return *this; }
    const_iterator operator++(int) { const_iterator old = *this; ++FIndex; return old; }
    bool operator==(const const_iterator& other) const = default;

  private:
    const TStrings* FList;
    int FIndex;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, Count()}; }

protected:
  // Raises the error for an index outside the list.
  [[noreturn]] static void IndexError(int index);
};

class TStringList : public TStrings {
public:
  TStringList() = default;

  int Count() const override { return static_cast<int>(FItems.size()); }
  String Get(int index) const override;
  void Put(int index, const String& value) override;
  void Insert(int index, const String& value) override;
  void Delete(int index) override;
  void Clear() override { FItems.clear(); }

private:
  void CheckIndex(int index, int limit) const;
  std::vector<String> FItems;
};
