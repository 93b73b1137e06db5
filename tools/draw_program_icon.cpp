// Draws the program's icon: a house on a blue tile, the modem at its door
// with its lamp lit, and the signal going out from the roof. One list of
// shapes is painted into the PNG sizes of the icon theme and written out as
// the scalable SVG, so every size is the same drawing.
// Usage: draw-program-icon DIR (scripts/draw-icon runs it); DIR receives
// hicolor/NxN/apps/quorvel.png and hicolor/scalable/apps/quorvel.svg.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kCanvas = 256;  // the drawing's own units
constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};
constexpr double kPi = 3.14159265358979323846;

struct Shape {
  enum Kind { kTile, kPolygon, kRoundRect, kCircle, kArc } kind;
  std::vector<QPointF> points;  // polygon corners; for the others the first is the centre or corner
  double w = 0, h = 0, r = 0;   // size, corner radius or circle radius
  double startDeg = 0, spanDeg = 0;  // arcs: counter-clockwise from three o'clock
  QColor fill, fill2;                // a tile runs from fill (top) to fill2 (bottom)
  QColor stroke;
  double strokeWidth = 0;
};

std::vector<Shape> Drawing() {
  std::vector<Shape> s;
  s.push_back({Shape::kTile, {{16, 16}}, 224, 224, 44, 0, 0, QColor(0x2f, 0x72, 0xbd), QColor(0x17, 0x3b, 0x70), {}, 0});
  // The house.
  s.push_back({Shape::kPolygon,
               {{52, 132}, {128, 64}, {204, 132}, {188, 132}, {188, 208}, {68, 208}, {68, 132}},
               0, 0, 0, 0, 0, QColor(0xf5, 0xf6, 0xf8), {}, {}, 0});
  // The modem at the door, and its lamp.
  s.push_back({Shape::kRoundRect, {{98, 138}}, 60, 58, 9, 0, 0, QColor(0x2b, 0x33, 0x3f), {}, {}, 0});
  s.push_back({Shape::kCircle, {{143, 153}}, 0, 0, 7, 0, 0, QColor(0x3d, 0xd6, 0x5f), {}, {}, 0});
  s.push_back({Shape::kRoundRect, {{108, 172}}, 30, 8, 4, 0, 0, QColor(0x8a, 0x95, 0xa5), {}, {}, 0});
  // The signal from the roof.
  const QColor amber(0xff, 0xc8, 0x3d);
  for (const double radius : {22.0, 38.0, 54.0})
    s.push_back({Shape::kArc, {{162, 94}}, 0, 0, radius, 5, 80, {}, {}, amber, 12});
  return s;
}

void Paint(QPainter& p, const std::vector<Shape>& shapes) {
  p.setRenderHint(QPainter::Antialiasing);
  for (const Shape& s : shapes) {
    const QPointF a = s.points.front();
    switch (s.kind) {
      case Shape::kTile: {
        QLinearGradient g(a, a + QPointF(0, s.h));
        g.setColorAt(0, s.fill);
        g.setColorAt(1, s.fill2);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRoundedRect(QRectF(a, QSizeF(s.w, s.h)), s.r, s.r);
        break;
      }
      case Shape::kPolygon:
        p.setPen(Qt::NoPen);
        p.setBrush(s.fill);
        p.drawPolygon(QPolygonF(QList<QPointF>(s.points.begin(), s.points.end())));
        break;
      case Shape::kRoundRect:
        p.setPen(Qt::NoPen);
        p.setBrush(s.fill);
        p.drawRoundedRect(QRectF(a, QSizeF(s.w, s.h)), s.r, s.r);
        break;
      case Shape::kCircle:
        p.setPen(Qt::NoPen);
        p.setBrush(s.fill);
        p.drawEllipse(a, s.r, s.r);
        break;
      case Shape::kArc: {
        QPen pen(s.stroke, s.strokeWidth);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        const QRectF box(a - QPointF(s.r, s.r), QSizeF(2 * s.r, 2 * s.r));
        p.drawArc(box, static_cast<int>(s.startDeg * 16), static_cast<int>(s.spanDeg * 16));
        break;
      }
    }
  }
}

std::string Hex(const QColor& c) { return c.name(QColor::HexRgb).toStdString(); }

std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", v);
  std::string s = text;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

std::string Svg(const std::vector<Shape>& shapes) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n";
  int gradients = 0;
  for (const Shape& s : shapes) {
    const QPointF a = s.points.front();
    switch (s.kind) {
      case Shape::kTile: {
        const std::string id = "tile" + std::to_string(gradients++);
        out += "  <defs><linearGradient id=\"" + id + "\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\"><stop offset=\"0\" stop-color=\"" +
               Hex(s.fill) + "\"/><stop offset=\"1\" stop-color=\"" + Hex(s.fill2) + "\"/></linearGradient></defs>\n";
        out += "  <rect x=\"" + Num(a.x()) + "\" y=\"" + Num(a.y()) + "\" width=\"" + Num(s.w) + "\" height=\"" +
               Num(s.h) + "\" rx=\"" + Num(s.r) + "\" fill=\"url(#" + id + ")\"/>\n";
        break;
      }
      case Shape::kPolygon: {
        out += "  <polygon points=\"";
        for (size_t i = 0; i < s.points.size(); ++i)
          out += (i ? " " : "") + Num(s.points[i].x()) + "," + Num(s.points[i].y());
        out += "\" fill=\"" + Hex(s.fill) + "\"/>\n";
        break;
      }
      case Shape::kRoundRect:
        out += "  <rect x=\"" + Num(a.x()) + "\" y=\"" + Num(a.y()) + "\" width=\"" + Num(s.w) + "\" height=\"" +
               Num(s.h) + "\" rx=\"" + Num(s.r) + "\" fill=\"" + Hex(s.fill) + "\"/>\n";
        break;
      case Shape::kCircle:
        out += "  <circle cx=\"" + Num(a.x()) + "\" cy=\"" + Num(a.y()) + "\" r=\"" + Num(s.r) + "\" fill=\"" +
               Hex(s.fill) + "\"/>\n";
        break;
      case Shape::kArc: {
        // Counter-clockwise on the screen is SVG's negative sweep, as y grows downwards.
        const double t0 = s.startDeg * kPi / 180, t1 = (s.startDeg + s.spanDeg) * kPi / 180;
        const QPointF p0(a.x() + s.r * std::cos(t0), a.y() - s.r * std::sin(t0));
        const QPointF p1(a.x() + s.r * std::cos(t1), a.y() - s.r * std::sin(t1));
        out += "  <path d=\"M " + Num(p0.x()) + " " + Num(p0.y()) + " A " + Num(s.r) + " " + Num(s.r) + " 0 " +
               (std::fabs(s.spanDeg) > 180 ? "1" : "0") + " " + (s.spanDeg > 0 ? "0" : "1") + " " + Num(p1.x()) + " " +
               Num(p1.y()) + "\" fill=\"none\" stroke=\"" + Hex(s.stroke) + "\" stroke-width=\"" + Num(s.strokeWidth) +
               "\" stroke-linecap=\"round\"/>\n";
        break;
      }
    }
  }
  out += "</svg>\n";
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: draw-program-icon DIR\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString root = QString::fromLocal8Bit(argv[1]) + "/hicolor";
  const std::vector<Shape> shapes = Drawing();
  for (const int size : kSizes) {
    const QString folder = root + QStringLiteral("/%1x%1/apps").arg(size);
    if (!QDir().mkpath(folder)) {
      std::fprintf(stderr, "draw-program-icon: cannot make %s\n", qPrintable(folder));
      return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(size / kCanvas, size / kCanvas);
    Paint(p, shapes);
    p.end();
    if (!image.save(folder + "/quorvel.png", "PNG")) {
      std::fprintf(stderr, "draw-program-icon: cannot write %s/quorvel.png\n", qPrintable(folder));
      return 1;
    }
  }
  const QString scalable = root + "/scalable/apps";
  QFile svg(scalable + "/quorvel.svg");
  const std::string text = Svg(shapes);
  if (!QDir().mkpath(scalable) || !svg.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      svg.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
    std::fprintf(stderr, "draw-program-icon: cannot write %s\n", qPrintable(svg.fileName()));
    return 1;
  }
  return 0;
}
