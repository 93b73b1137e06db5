#include "app/day_night_gradient.h"

#include <QLinearGradient>
#include <QPainter>

#include "engine/context.h"

namespace quorvel {

bool IsNightHour(int localHour, const SunTimes& sun) {
  return localHour >= sun.sunsetHour || localHour < sun.sunriseHour;
}

QColor DayNightBottomColor(int localHour, const SunTimes& sun) {
  return IsNightHour(localHour, sun) ? kGradientNightBottom : kGradientDayBottom;
}

void FillDayNightGradient(const QRect& rect, QPainter& painter, const Context& ctx) {
  const LocalTime now = ctx.clock.LocalNow();
  QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
  gradient.setColorAt(0, kGradientTop);
  gradient.setColorAt(1, DayNightBottomColor(now.valid ? now.hour : 12, ctx.sun));
  painter.fillRect(rect, gradient);
}

}  // namespace quorvel
