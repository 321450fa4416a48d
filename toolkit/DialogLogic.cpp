#include "toolkit/DialogLogic.h"

#include <algorithm>
#include <cstdlib>

int MulDivRound(int a, int b, int c) {
  if (c == 0) return 0;
  const int64_t product = static_cast<int64_t>(a) * b;
  const int64_t half = std::llabs(c) / 2;
  const bool negative = (product < 0) != (c < 0);
  const int64_t magnitude = (std::llabs(product) + half) / std::llabs(c);
  return static_cast<int>(negative ? -magnitude : magnitude);
}

TRectI DpiScale(const TRectI& r, int dpi) {
  return {DpiScale(r.Left, dpi), DpiScale(r.Top, dpi), DpiScale(r.Width, dpi), DpiScale(r.Height, dpi)};
}

std::vector<TRectI> AlignControls(const TRectI& area, const std::vector<TAlignItem>& items) {
  std::vector<TRectI> result(items.size());
  int top = area.Top, bottom = area.Bottom();
  for (size_t i = 0; i < items.size(); ++i) {
    const TAlignItem& item = items[i];
    result[i] = item.Bounds;
    if (item.Align == alTop) {
      result[i] = {area.Left, top, area.Width, item.Bounds.Height};
      top += item.Bounds.Height;
    }
  }
  for (size_t i = 0; i < items.size(); ++i) {
    const TAlignItem& item = items[i];
    if (item.Align == alBottom) {
      bottom -= item.Bounds.Height;
      result[i] = {area.Left, bottom, area.Width, item.Bounds.Height};
    }
  }
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].Align == alClient) result[i] = {area.Left, top, area.Width, std::max(0, bottom - top)};
  return result;
}

namespace {

// The children of `parent`, by TabOrder (stable for equal orders).
std::vector<int> ChildrenInOrder(const std::vector<TTabItem>& items, int parent) {
  std::vector<int> children;
  for (int i = 0; i < static_cast<int>(items.size()); ++i)
    if (items[static_cast<size_t>(i)].Parent == parent) children.push_back(i);
  std::stable_sort(children.begin(), children.end(), [&](int a, int b) {
    return items[static_cast<size_t>(a)].TabOrder < items[static_cast<size_t>(b)].TabOrder;
  });
  return children;
}

void CollectStops(const std::vector<TTabItem>& items, int parent, std::vector<int>& out) {
  const std::vector<int> children = ChildrenInOrder(items, parent);
  // The stop of the option buttons: the checked focusable one, else the first.
  int optionStop = -1;
  for (int c : children) {
    const TTabItem& item = items[static_cast<size_t>(c)];
    if (!item.Option || !item.Focusable) continue;
    if (optionStop < 0 || (item.Checked && !items[static_cast<size_t>(optionStop)].Checked)) optionStop = c;
  }
  for (int c : children) {
    const TTabItem& item = items[static_cast<size_t>(c)];
    if (!item.Focusable) continue;
    if (item.Option) {
      if (c == optionStop) out.push_back(c);
      continue;
    }
    if (item.TabStop) out.push_back(c);
    CollectStops(items, c, out);
  }
}

}  // namespace

std::vector<int> TabSequence(const std::vector<TTabItem>& items) {
  std::vector<int> out;
  CollectStops(items, -1, out);
  return out;
}

int NextTabStop(const std::vector<TTabItem>& items, int current, bool backward) {
  const std::vector<int> seq = TabSequence(items);
  if (seq.empty()) return -1;
  auto it = std::find(seq.begin(), seq.end(), current);
  // Inside an option group the group's stop stands for every button of it.
  if (it == seq.end() && current >= 0 && current < static_cast<int>(items.size()) &&
      items[static_cast<size_t>(current)].Option) {
    it = std::find_if(seq.begin(), seq.end(), [&](int s) {
      return items[static_cast<size_t>(s)].Option &&
             items[static_cast<size_t>(s)].Parent == items[static_cast<size_t>(current)].Parent;
    });
  }
  const int n = static_cast<int>(seq.size());
  if (it == seq.end()) return backward ? seq.back() : seq.front();
  const int pos = static_cast<int>(it - seq.begin());
  return seq[static_cast<size_t>((pos + (backward ? n - 1 : 1)) % n)];
}

int NextOptionInGroup(const std::vector<TTabItem>& items, int current, bool backward) {
  if (current < 0 || current >= static_cast<int>(items.size())) return -1;
  std::vector<int> group;
  for (int c : ChildrenInOrder(items, items[static_cast<size_t>(current)].Parent)) {
    const TTabItem& item = items[static_cast<size_t>(c)];
    if (item.Option && (item.Focusable || c == current)) group.push_back(c);
  }
  auto it = std::find(group.begin(), group.end(), current);
  if (it == group.end() || group.size() < 2) return -1;
  const int n = static_cast<int>(group.size());
  const int pos = static_cast<int>(it - group.begin());
  return group[static_cast<size_t>((pos + (backward ? n - 1 : 1)) % n)];
}

namespace {
char16_t Upper(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - u'a' + u'A');
  if (c >= u'ａ' && c <= u'ｚ') return static_cast<char16_t>(c - u'ａ' + u'Ａ');
  return c;
}
}  // namespace

char16_t AcceleratorChar(StringView caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != u'&') continue;
    if (caption[i + 1] == u'&') {
      ++i;  // "&&" is a plain ampersand
      continue;
    }
    return Upper(caption[i + 1]);
  }
  return 0;
}

bool IsAccelerator(char16_t key, StringView caption) {
  const char16_t accel = AcceleratorChar(caption);
  return accel != 0 && Upper(key) == accel;
}
