#include "views/event_editors/widgets_dialog_model.h"

#include <algorithm>
#include <cctype>

#include "automation/x10_codes.h"
#include "automation/x10_widget.h"
#include "engine/context.h"
#include "platform/bytes.h"

namespace quorvel {

namespace {

// The list box sorts as the platform's sorted lists do: letters without regard to case.
bool Before(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

// Inserts in sorted place, after any equal entries; the new entry's index.
int AddSorted(std::vector<std::string>& list, std::string text) {
  const auto at = std::upper_bound(list.begin(), list.end(), text, Before);
  const auto inserted = list.insert(at, std::move(text));
  return static_cast<int>(inserted - list.begin());
}

}  // namespace

WidgetsDialogState OpenWidgetsDialog(const Context& ctx) {
  WidgetsDialogState state;
  for (const auto& [key, w] : ctx.widgets.widgets) {
    if (w.x10House >= 16 || w.x10Unit >= 16) continue;
    state.selected = AddSorted(state.list, FormatX10Address(w.x10House, w.x10Unit));
  }
  return state;
}

void ChangeWidgetType(WidgetsDialogState& state, int type) {
  state.type = type == kWidgetTypeX10 ? kWidgetTypeX10 : kWidgetTypeEmail;
  const bool x10 = state.type == kWidgetTypeX10;
  state.x10EditShown = x10;
  state.emailEditsShown = !x10;
  state.typeLabel = x10 ? kNewX10AddressText : kEmailSetupText;
}

CreateOutcome CreateWidget(Context& ctx, WidgetsDialogState& state, std::string_view x10Text,
                           std::string_view emailText) {
  CreateOutcome out;
  if (state.type == kWidgetTypeEmail) {
    // Listed for the user to see; e-mail widgets are not kept.
    const std::string_view shown = emailText.substr(0, kEmailTextMax);
    if (!shown.empty()) state.selected = AddSorted(state.list, std::string(shown));
    return out;
  }
  if (!IsX10Address(x10Text)) {
    out.title = kX10AddressTitle;
    out.text = kX10AddressHelp;
    return out;
  }
  const WidgetRecord w = MakeX10Widget(x10Text);
  ctx.widgets.Add(w);
  state.selected = AddSorted(state.list, std::string(FixedText(w.addressText)));
  out.created = true;
  return out;
}

}  // namespace quorvel
