#include "toolkit/Layout.h"

#include <algorithm>

namespace {

TWinControl* MakeControl(const TControlSpec& spec, TForm& form) {
  switch (spec.Kind) {
    case ckPanel: return new TPanel(&form);
    case ckGroupBox: return new TGroupBox(&form);
    case ckLabel: return new TLabel(&form);
    case ckStaticText: return new TStaticText(&form);
    case ckButton: return new TButton(&form);
    case ckRadioButton: return new TRadioButton(&form);
    case ckCheckBox: return new TCheckBox(&form);
    case ckUpDown: return new TUpDown(&form);
    case ckCustom:
      if (spec.Make) return spec.Make(&form);
      break;
  }
  throw Exception(u"コントロール " + spec.Name + u" の種類が不明です。");
}

}  // namespace

void CreateControls(TForm& form, const std::vector<TControlSpec>& table) {
  std::vector<std::pair<TWinControl*, int>> tabOrders;
  for (const TControlSpec& spec : table) {
    if (spec.Name.empty() || form.FindComponent(spec.Name))
      throw Exception(u"コントロール名 " + spec.Name + u" が空か重複しています。");
    TWinControl* parent = &form;
    if (!spec.Parent.empty()) {
      parent = dynamic_cast<TWinControl*>(form.FindComponent(spec.Parent));
      if (!parent) throw Exception(u"コントロール " + spec.Name + u" の親 " + spec.Parent + u" がありません。");
    }
    TWinControl* c = MakeControl(spec, form);
    c->SetName(spec.Name);
    if (spec.Font) {
      TFont font = parent->Font();
      if (!spec.Font->Name.empty()) font.SetName(spec.Font->Name);
      if (spec.Font->Height > 0) font.SetHeight(spec.Font->Height);
      font.SetStyle(spec.Font->Style);
      font.SetColor(spec.Font->Color);
      c->SetParent(parent);
      c->SetFont(font);
    } else {
      c->SetParent(parent);
    }
    c->SetBounds(spec.Bounds);
    if (spec.Align != alNone) c->SetAlign(spec.Align);
    if (!spec.Caption.empty()) c->SetCaption(spec.Caption);
    c->SetCursor(spec.Cursor);
    if (!spec.Hint.empty()) c->SetHint(spec.Hint);
    if (spec.Color != kColorDefault) c->SetColor(spec.Color);
    if (spec.OnClick) c->OnClick = spec.OnClick;
    if (spec.OnDblClick) c->OnDblClick = spec.OnDblClick;
    if (spec.Setup) spec.Setup(*c);
    if (spec.TabOrder >= 0) tabOrders.emplace_back(c, spec.TabOrder);
  }
  // Once all siblings exist, lowest first: each lands where its line says.
  std::stable_sort(tabOrders.begin(), tabOrders.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  for (const auto& [control, order] : tabOrders) control->SetTabOrder(order);
}
