#pragma once
// The sky behind several windows: light blue at the top fading to pale grey by
// day and to slate blue by night, night being from sunset to sunrise.
#include <QColor>
#include <QRect>

class QPainter;

namespace quorvel {

struct Context;
struct SunTimes;

inline const QColor kGradientTop(136, 187, 238);
inline const QColor kGradientDayBottom(238, 238, 238);
inline const QColor kGradientNightBottom(85, 102, 119);

// Night from the hour of sunset on and before the hour of sunrise.
bool IsNightHour(int localHour, const SunTimes& sun);
QColor DayNightBottomColor(int localHour, const SunTimes& sun);

// Fills the rectangle from its top edge down with the vertical gradient of the
// current local hour.
void FillDayNightGradient(const QRect& rect, QPainter& painter, const Context& ctx);

}  // namespace quorvel
