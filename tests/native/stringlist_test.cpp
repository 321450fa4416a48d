#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "toolkit/StringList.h"

namespace {

std::vector<String> Items(const TStrings& list) { return {list.begin(), list.end()}; }

String ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.Message();
  }
  return u"<no error>";
}

}  // namespace

TEST(StringList, KeepsOrderAndDuplicatesThroughAddInsertPutDelete) {
  TStringList list;
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(list.Add(u"b"), 0);
  EXPECT_EQ(list.Add(u"a"), 1);
  EXPECT_EQ(list.Add(u"b"), 2);
  list.Insert(0, u"first");
  list.Insert(4, u"last");
  list.Insert(2, u"");
  EXPECT_EQ(Items(list), (std::vector<String>{u"first", u"b", u"", u"a", u"b", u"last"}));
  list.Put(2, u"mid");
  list.Delete(0);
  list.Delete(list.Count() - 1);
  EXPECT_EQ(Items(list), (std::vector<String>{u"b", u"mid", u"a", u"b"}));
  EXPECT_EQ(list[1], u"mid");
  EXPECT_EQ(list.Strings(3), u"b");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, IndexOutsideTheListIsAClearError) {
  TStringList list;
  list.Add(u"x");
  const String expected = u"リストのインデックスが範囲外です (%s)。";
  EXPECT_EQ(ErrorOf([&] { list.Get(1); }), Format(expected, {u"1"}));
  EXPECT_EQ(ErrorOf([&] { list.Get(-1); }), Format(expected, {u"-1"}));
  EXPECT_EQ(ErrorOf([&] { list.Put(1, u"y"); }), Format(expected, {u"1"}));
  EXPECT_EQ(ErrorOf([&] { list.Insert(2, u"y"); }), Format(expected, {u"2"}));
  EXPECT_EQ(ErrorOf([&] { list.Delete(1); }), Format(expected, {u"1"}));
  TStringList empty;
  EXPECT_EQ(ErrorOf([&] { empty[0]; }), Format(expected, {u"0"}));
  EXPECT_EQ(Items(list), std::vector<String>{u"x"});  // nothing changed on the way
}

TEST(StringList, IndexOfIgnoresLetterCase) {
  TStringList list;
  list.SetText(u"C:\\Pics\\A.JPG\r\nc:\\pics\\a.jpg\r\nÉté.png");
  EXPECT_EQ(list.IndexOf(u"c:\\PICS\\a.jpg"), 0);
  EXPECT_EQ(list.IndexOf(u"été.PNG"), 2);
  EXPECT_EQ(list.IndexOf(u"c:\\pics\\a.jp"), -1);
  EXPECT_EQ(TStringList().IndexOf(u""), -1);
}

TEST(StringList, TextRoundTripsAndSplitsEveryLineBreak) {
  struct Case { const char16_t* text; std::vector<String> lines; };
  const Case cases[] = {
      {u"", {}},
      {u"a", {u"a"}},
      {u"a\r\nb\r\n", {u"a", u"b"}},
      {u"a\nb\rc\r\n\r\nd", {u"a", u"b", u"c", u"", u"d"}},
      {u"\r\n", {u""}},
      {u"\n\r", {u"", u""}},  // LF then a lone CR: two empty lines
  };
  for (const auto& c : cases) {
    TStringList list;
    list.SetText(c.text);
    EXPECT_EQ(Items(list), c.lines) << ToUtf8(c.text);
    TStringList again;
    again.SetText(list.Text());
    EXPECT_EQ(Items(again), c.lines) << ToUtf8(c.text);
  }
  TStringList list;
  list.Add(u"x");
  list.Add(u"");
  EXPECT_EQ(list.Text(), u"x\r\n\r\n");
}

TEST(StringList, AssignAndAddStringsCopyIncludingFromItself) {
  TStringList a, b;
  a.SetText(u"1\n2");
  b.SetText(u"old");
  b.Assign(a);
  EXPECT_EQ(Items(b), Items(a));
  b.Assign(b);
  EXPECT_EQ(Items(b), (std::vector<String>{u"1", u"2"}));
  b.AddStrings(b);
  EXPECT_EQ(Items(b), (std::vector<String>{u"1", u"2", u"1", u"2"}));
  a.AddStrings(TStringList());
  EXPECT_EQ(a.Count(), 2);
}
