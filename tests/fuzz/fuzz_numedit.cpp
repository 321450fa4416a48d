// Drives the numeric edit with any sequence of settings, texts, keys, pastes
// and undos, and checks after every step that the value is well formed and
// the shown text is its formatting.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "tests/native/FakeNumEditApi.h"

namespace {

class TReader {
public:
  TReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
  bool More() const { return FPos < FSize; }
  uint8_t Byte() { return FPos < FSize ? FData[FPos++] : 0; }
  // A short text, drawn mostly from the characters that matter.
  String Text() {
    static const char16_t kChars[] = u"0123456789-.,, a０９－．，\u3042";
    String s;
    for (int n = Byte() % 12; n > 0; --n) {
      const uint8_t b = Byte();
      s += b < 200 ? kChars[b % (std::size(kChars) - 1)] : static_cast<char16_t>(Byte() << 8 | b);
    }
    return s;
  }

private:
  const uint8_t* FData;
  size_t FSize;
  size_t FPos = 0;
};

void Check(bool ok) {
  if (!ok) std::abort();
}

// The value's form: "", "-", or an optional "-", digits, and "." with digits.
void CheckValue(TestNumEdit& e, bool withinLimits) {
  const String& t = e.Text();
  Check(e.ValText() == e.FormatText(t));
  Check(e.SelStart() == 0);
  size_t i = 0;
  if (i < t.size() && t[i] == u'-') ++i;
  size_t integers = 0, decimals = 0;
  while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') ++i, ++integers;
  const bool point = i < t.size() && t[i] == u'.';
  if (point) ++i;
  while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') ++i, ++decimals;
  Check(i == t.size());
  Check(!point || integers > 0);  // a point always has the zero before it
  if (!withinLimits) return;
  Check(t.empty() || t[0] != u'-' || e.Minus());
  Check(!point || e.DecimalLength() > 0);
  Check(decimals <= static_cast<size_t>(e.DecimalLength()));
  // A lone zero (what clearing leaves, or what goes before a leading point)
  // may stand even where IntegerLength allows no digit at all.
  const bool loneZero = integers == 1 && t[t[0] == u'-' ? 1 : 0] == u'0';
  Check(integers <= static_cast<size_t>(e.IntegerLength()) || loneZero);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FakeNumEditApi api;
  TestNumEdit e;
  e.HandleParentAssigned();
  TReader in(data, size);
  bool limitsChanged = false, relaxed = false;
  while (in.More()) {
    const uint8_t op = in.Byte();
    switch (op % 16) {
      case 0: e.SetText(in.Text()); break;
      case 1: e.SetIntegerLength(in.Byte() % 14 - 1); limitsChanged = true; break;
      case 2: e.SetDecimalLength(in.Byte() % 7 - 1); limitsChanged = true; break;
      case 3: e.SetMinus(in.Byte() & 1); limitsChanged = true; break;
      case 4: e.SetComma(in.Byte() & 1); break;
      case 5: e.SetDecimalFixed(in.Byte() & 1); break;
      case 6: e.SetLeftMark(in.Text()); e.SetRightMark(in.Text()); break;
      case 7: {
        char16_t c = in.Byte() < 128 ? u"0123456789-.\r\x08,a"[in.Byte() % 16] : in.Byte();
        e.HandleKeyPress(c);
        break;
      }
      case 8: {
        static const uint16_t kKeys[] = {0x08, 0x2E, 0x21, 0x22, 0x23, 0x24, 0x25,
                                         0x26, 0x27, 0x28, 'A',  'C',  'V',  'X'};
        uint16_t key = kKeys[in.Byte() % std::size(kKeys)];
        e.HandleKeyDown(key, in.Byte() % 8);
        break;
      }
      case 9: api.clipboard = in.Text(); e.PasteFromClipboard(); break;
      case 10: e.Undo(); relaxed = relaxed || limitsChanged; break;
      case 11: e.SelectAll(); break;
      case 12: e.HandleExit(); e.HandleEnter(); break;
      case 13: e.SetReadOnly(in.Byte() & 1); break;
      case 14: e.clientWidth = in.Byte(); break;
      case 15: e.CutToClipboard(); break;
    }
    CheckValue(e, !relaxed);
    Check(e.CaretOffset(e.Text()) >= 0);
    e.PlanPaint(true, 0, 0);
  }
  return 0;
}
