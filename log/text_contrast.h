#pragma once
// Readable text: the contrast of a text colour on its background by relative
// luminance, and the nearest readable variant of a colour that falls short, so
// every look can keep the log's colours where they read and lighten or darken
// them where they do not.
#include "log/trace_event.h"

namespace quorvel {

// Log text must reach this contrast on its background (accessibility guidance
// for body text).
inline constexpr double kMinTextContrast = 4.5;

// Relative luminance 0 (black) .. 1 (white) of an sRGB colour.
double RelativeLuminance(TraceColor color);
// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on white.
double ContrastRatio(TraceColor a, TraceColor b);

// `text` itself when it reaches `minimum` on `background`; otherwise `text`
// blended toward white or black (whichever the background contrasts with
// more) just far enough to reach it, so its hue still shows.
TraceColor ReadableOn(TraceColor text, TraceColor background, double minimum = kMinTextContrast);

// A colour between `text` and `background` for disabled text: plainly weaker
// than enabled text, yet still legible (about 2.5:1 where the pair allows).
TraceColor DisabledOn(TraceColor text, TraceColor background);

}  // namespace quorvel
