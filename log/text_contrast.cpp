#include "log/text_contrast.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

double Linear(uint8_t channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

uint8_t Mix(uint8_t from, uint8_t to, double t) {
  return static_cast<uint8_t>(std::lround(from + (to - from) * t));
}

TraceColor Blend(TraceColor from, TraceColor to, double t) {
  return {Mix(from.red, to.red, t), Mix(from.green, to.green, t), Mix(from.blue, to.blue, t)};
}

// The blend from `from` toward `to` that first reaches `minimum` on
// `background`, or `to` when none short of it does. The contrast grows with the
// blend on the side of `to`, so a bisection finds the nearest point.
TraceColor BlendUntil(TraceColor from, TraceColor to, TraceColor background, double minimum) {
  if (ContrastRatio(to, background) < minimum) return to;
  double lo = 0.0, hi = 1.0;
  for (int i = 0; i < 16; ++i) {
    const double mid = (lo + hi) / 2;
    if (ContrastRatio(Blend(from, to, mid), background) >= minimum) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  // Rounding to whole channels may land a hair below: step on until it holds.
  for (double t = hi; t <= 1.0; t += 1.0 / 512) {
    const TraceColor c = Blend(from, to, t);
    if (ContrastRatio(c, background) >= minimum) return c;
  }
  return to;
}

}  // namespace

double RelativeLuminance(TraceColor color) {
  return 0.2126 * Linear(color.red) + 0.7152 * Linear(color.green) + 0.0722 * Linear(color.blue);
}

double ContrastRatio(TraceColor a, TraceColor b) {
  const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TraceColor ReadableOn(TraceColor text, TraceColor background, double minimum) {
  if (ContrastRatio(text, background) >= minimum) return text;
  constexpr TraceColor kWhite{255, 255, 255}, kBlack{0, 0, 0};
  const TraceColor extreme =
      ContrastRatio(kWhite, background) >= ContrastRatio(kBlack, background) ? kWhite : kBlack;
  return BlendUntil(text, extreme, background, minimum);
}

TraceColor DisabledOn(TraceColor text, TraceColor background) {
  // Walk from the background toward the text until the contrast is about 2.5:1;
  // a pair that never gets there gives its midpoint.
  constexpr double kDisabledContrast = 2.5;
  const double full = ContrastRatio(text, background);
  if (full <= kDisabledContrast) return Blend(background, text, 0.5);
  return BlendUntil(background, text, background, kDisabledContrast);
}

}  // namespace quorvel
