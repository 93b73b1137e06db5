// Draws the device pictures the program shows, one PNG per picture name of
// the device catalogue, as simple vector drawings: wall switches and dimmers,
// keypads, plug-in and in-line modules, remotes, sensors, the I/O module and
// the modem. Usage: draw-device-pictures DIR (scripts/draw-pictures runs it).
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kSize = 128;
const QColor kOutline(70, 75, 85);
const QColor kIvory(246, 244, 238);
const QColor kShade(214, 211, 202);
const QColor kLedGreen(40, 200, 70);
const QColor kLedBlue(60, 140, 230);
const QColor kLedAmber(240, 170, 40);

void Body(QPainter& p, const QRectF& r, qreal radius, QColor top = kIvory, QColor bottom = kShade) {
  QLinearGradient g(r.topLeft(), r.bottomRight());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  p.setPen(QPen(kOutline, 2));
  p.setBrush(g);
  p.drawRoundedRect(r, radius, radius);
}

void Led(QPainter& p, QPointF c, qreal r, const QColor& color) {
  QRadialGradient g(c - QPointF(r / 3, r / 3), r * 1.4);
  g.setColorAt(0, color.lighter(160));
  g.setColorAt(1, color);
  p.setPen(QPen(color.darker(150), 1));
  p.setBrush(g);
  p.drawEllipse(c, r, r);
}

void Screw(QPainter& p, QPointF c) {
  p.setPen(QPen(kOutline, 1.2));
  p.setBrush(QColor(200, 200, 195));
  p.drawEllipse(c, 3.5, 3.5);
  p.drawLine(c + QPointF(-2.5, 0), c + QPointF(2.5, 0));
}

// A wall plate with its two screws.
void WallPlate(QPainter& p) {
  Body(p, QRectF(30, 6, 68, 116), 8);
  Screw(p, QPointF(64, 14));
  Screw(p, QPointF(64, 114));
}

// The big rocker of a wall switch; `dimBar` adds the level bar of a dimmer.
void Paddle(QPainter& p, bool dimBar, bool timer) {
  WallPlate(p);
  Body(p, QRectF(42, 24, 44, 80), 5, QColor(255, 255, 252), QColor(225, 222, 214));
  p.setPen(QPen(kShade.darker(110), 1.5));
  p.drawLine(QPointF(46, 64), QPointF(82, 64));
  if (dimBar) {
    for (int i = 0; i < 5; ++i) Led(p, QPointF(91, 34 + i * 9), 2.2, i < 3 ? kLedBlue : QColor(190, 200, 215));
  } else {
    Led(p, QPointF(91, 60), 2.6, kLedGreen);
  }
  if (timer) {
    p.setPen(QPen(kOutline, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(64, 44), 9, 9);
    p.drawLine(QPointF(64, 44), QPointF(64, 38));
    p.drawLine(QPointF(64, 44), QPointF(69, 46));
  }
}

// A keypad of `rows` rows; a 6-button keypad has a big top and bottom button.
void Keypad(QPainter& p, int buttons) {
  WallPlate(p);
  const qreal left = 44;
  const qreal width = 40;
  if (buttons == 6) {
    Body(p, QRectF(left, 24, width, 18), 3, QColor(255, 255, 252), QColor(228, 225, 218));
    for (int i = 0; i < 4; ++i) {
      const qreal y = 46 + i * 12;
      Body(p, QRectF(left, y, width / 2 - 2, 10), 2, QColor(255, 255, 252), QColor(228, 225, 218));
      Body(p, QRectF(left + width / 2 + 2, y, width / 2 - 2, 10), 2, QColor(255, 255, 252), QColor(228, 225, 218));
    }
    Body(p, QRectF(left, 94, width, 10), 3, QColor(255, 255, 252), QColor(228, 225, 218));
    Led(p, QPointF(left + width - 6, 33), 2.2, kLedBlue);
  } else {
    for (int i = 0; i < buttons / 2; ++i) {
      const qreal y = 24 + i * 20;
      Body(p, QRectF(left, y, width / 2 - 2, 17), 2, QColor(255, 255, 252), QColor(228, 225, 218));
      Body(p, QRectF(left + width / 2 + 2, y, width / 2 - 2, 17), 2, QColor(255, 255, 252), QColor(228, 225, 218));
      Led(p, QPointF(left + width / 2 - 6, y + 8.5), 1.8, i == 0 ? kLedBlue : QColor(190, 200, 215));
    }
  }
}

// A toggle switch's lever on its plate.
void Toggle(QPainter& p) {
  WallPlate(p);
  Body(p, QRectF(52, 48, 24, 32), 4, QColor(235, 233, 226), QColor(205, 202, 194));
  QPainterPath lever;
  lever.moveTo(58, 64);
  lever.lineTo(70, 64);
  lever.lineTo(68, 30);
  lever.lineTo(60, 30);
  lever.closeSubpath();
  p.setPen(QPen(kOutline, 2));
  p.setBrush(QColor(250, 249, 245));
  p.drawPath(lever);
  Led(p, QPointF(64, 92), 2.5, kLedGreen);
}

// The face of one receptacle: two slots and the ground hole.
void Receptacle(QPainter& p, QPointF c) {
  p.setPen(QPen(kOutline, 1.5));
  p.setBrush(QColor(252, 251, 247));
  p.drawRoundedRect(QRectF(c.x() - 15, c.y() - 15, 30, 30), 12, 12);
  p.setBrush(kOutline);
  p.drawRect(QRectF(c.x() - 8, c.y() - 7, 3, 9));
  p.drawRect(QRectF(c.x() + 5, c.y() - 7, 3, 9));
  p.drawEllipse(QPointF(c.x(), c.y() + 7), 3, 2.5);
}

void Outlet(QPainter& p) {
  WallPlate(p);
  Receptacle(p, QPointF(64, 42));
  Receptacle(p, QPointF(64, 86));
  Led(p, QPointF(84, 64), 2.2, kLedGreen);
}

// A module that plugs into a receptacle: its body, its prongs and its own socket.
void PlugIn(QPainter& p, bool dimmer) {
  p.setPen(QPen(kOutline, 2));
  p.setBrush(QColor(160, 160, 160));
  p.drawRect(QRectF(14, 52, 12, 4));
  p.drawRect(QRectF(14, 70, 12, 4));
  Body(p, QRectF(26, 20, 78, 88), 14);
  Receptacle(p, QPointF(65, 58));
  Body(p, QRectF(48, 86, 34, 12), 5, QColor(255, 255, 252), QColor(220, 217, 208));
  Led(p, QPointF(92, 34), 3, dimmer ? kLedBlue : kLedGreen);
}

// A module wired in line: a box with its wires out of one end.
void InLine(QPainter& p, bool sense) {
  const QColor wires[] = {QColor(20, 20, 20), QColor(240, 240, 240), QColor(200, 40, 40), QColor(40, 140, 60)};
  for (int i = 0; i < (sense ? 4 : 3); ++i) {
    p.setPen(QPen(wires[i].darker(130), 1));
    p.setBrush(wires[i]);
    p.drawRoundedRect(QRectF(30 + i * 16, 84, 7, 36), 3, 3);
  }
  Body(p, QRectF(20, 14, 88, 74), 10);
  Body(p, QRectF(42, 32, 44, 16), 4, QColor(255, 255, 252), QColor(220, 217, 208));
  Led(p, QPointF(64, 64), 3, kLedBlue);
}

// A hand-held remote with `rows` pairs of on/off buttons.
void Remote(QPainter& p, int rows, bool slim) {
  const QRectF body = slim ? QRectF(38, 8, 52, 112) : QRectF(30, 8, 68, 112);
  Body(p, body, 14, QColor(250, 250, 250), QColor(200, 200, 205));
  const qreal gap = (body.height() - 30) / rows;
  for (int i = 0; i < rows; ++i) {
    const qreal y = body.top() + 18 + i * gap;
    const qreal w = body.width() / 2 - 12;
    Body(p, QRectF(body.left() + 8, y, w, gap - 6), 4, QColor(255, 255, 255), QColor(225, 225, 230));
    Body(p, QRectF(body.center().x() + 4, y, w, gap - 6), 4, QColor(255, 255, 255), QColor(225, 225, 230));
  }
  Led(p, QPointF(body.center().x(), body.bottom() - 6), 2.5, kLedGreen);
}

// A table-top controller with its row of buttons.
void ControlLinc(QPainter& p) {
  QPainterPath wedge;
  wedge.moveTo(12, 100);
  wedge.lineTo(116, 100);
  wedge.lineTo(104, 36);
  wedge.lineTo(24, 36);
  wedge.closeSubpath();
  QLinearGradient g(0, 36, 0, 100);
  g.setColorAt(0, kIvory);
  g.setColorAt(1, kShade);
  p.setPen(QPen(kOutline, 2));
  p.setBrush(g);
  p.drawPath(wedge);
  for (int i = 0; i < 5; ++i) {
    Body(p, QRectF(26 + i * 16, 46, 12, 22), 3, QColor(255, 255, 255), QColor(225, 225, 230));
    Body(p, QRectF(26 + i * 16, 72, 12, 18), 3, QColor(235, 235, 238), QColor(205, 205, 210));
  }
}

// A motion sensor: its body and the faceted lens.
void MotionSensor(QPainter& p) {
  Body(p, QRectF(26, 14, 76, 100), 20);
  QRadialGradient lens(QPointF(58, 52), 26);
  lens.setColorAt(0, QColor(250, 250, 250));
  lens.setColorAt(1, QColor(190, 190, 195));
  p.setPen(QPen(kOutline, 1.5));
  p.setBrush(lens);
  p.drawEllipse(QPointF(64, 58), 24, 24);
  p.setPen(QPen(QColor(160, 160, 165), 1));
  for (int i = -2; i <= 2; ++i) p.drawLine(QPointF(64 + i * 8, 36), QPointF(64 + i * 8, 80));
  p.drawLine(QPointF(41, 58), QPointF(87, 58));
  Led(p, QPointF(64, 98), 3, QColor(220, 50, 50));
}

// A door sensor: the sensor and its magnet beside it.
void DoorSensor(QPainter& p) {
  Body(p, QRectF(18, 22, 50, 88), 10);
  Body(p, QRectF(80, 34, 26, 64), 6, QColor(235, 235, 235), QColor(195, 195, 195));
  p.setPen(QPen(kOutline, 1.5, Qt::DashLine));
  p.drawLine(QPointF(70, 66), QPointF(78, 66));
  Led(p, QPointF(43, 40), 3, kLedGreen);
}

// The I/O module: a box with its terminal block and relay and sense LEDs.
void IoModule(QPainter& p) {
  Body(p, QRectF(16, 20, 96, 72), 10);
  p.setPen(QPen(kOutline, 2));
  p.setBrush(QColor(40, 120, 60));
  p.drawRect(QRectF(24, 92, 80, 20));
  for (int i = 0; i < 5; ++i) Screw(p, QPointF(32 + i * 16, 102));
  Led(p, QPointF(40, 40), 3.5, kLedGreen);
  Led(p, QPointF(58, 40), 3.5, kLedAmber);
  Body(p, QRectF(72, 32, 28, 16), 4, QColor(255, 255, 252), QColor(220, 217, 208));
}

// The modem: a plug-in box with a socket and its cable.
void Modem(QPainter& p) {
  p.setPen(QPen(kOutline, 2));
  p.setBrush(QColor(160, 160, 160));
  p.drawRect(QRectF(14, 48, 12, 4));
  p.drawRect(QRectF(14, 66, 12, 4));
  Body(p, QRectF(26, 16, 76, 86), 12, QColor(250, 250, 252), QColor(205, 208, 215));
  Receptacle(p, QPointF(64, 52));
  p.setPen(QPen(QColor(60, 60, 70), 5, Qt::SolidLine, Qt::RoundCap));
  QPainterPath cable;
  cable.moveTo(64, 102);
  cable.cubicTo(64, 118, 96, 110, 110, 122);
  p.setBrush(Qt::NoBrush);
  p.drawPath(cable);
  Body(p, QRectF(54, 96, 20, 10), 2, QColor(90, 90, 100), QColor(60, 60, 70));
  Led(p, QPointF(90, 84), 3, kLedGreen);
  Led(p, QPointF(80, 84), 3, kLedAmber);
}

// Any other device: a box with a question mark.
void Default(QPainter& p) {
  Body(p, QRectF(22, 22, 84, 84), 12);
  QFont font;
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(54);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(120, 125, 135));
  p.drawText(QRectF(22, 22, 84, 84), Qt::AlignCenter, QStringLiteral("?"));
}

struct Picture {
  const char* stem;
  std::function<void(QPainter&)> draw;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: draw-device-pictures DIR\n");
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!dir.exists() && !QDir().mkpath(dir.path())) {
    std::fprintf(stderr, "draw-device-pictures: cannot make %s\n", argv[1]);
    return 1;
  }
  const std::vector<Picture> pictures = {
      {"controllinc", ControlLinc},
      {"remotelinc", [](QPainter& p) { Remote(p, 3, false); }},
      {"remotelinc-2", [](QPainter& p) { Remote(p, 4, true); }},
      {"2476d", [](QPainter& p) { Paddle(p, true, false); }},
      {"2476dt", [](QPainter& p) { Paddle(p, false, false); }},
      {"keypadlinc", [](QPainter& p) { Paddle(p, true, true); }},
      {"2475d", [](QPainter& p) { InLine(p, false); }},
      {"247s2", [](QPainter& p) { InLine(p, true); }},
      {"2486dwh8", [](QPainter& p) { Keypad(p, 8); }},
      {"2486dwh6", [](QPainter& p) { Keypad(p, 6); }},
      {"2466sw", Toggle},
      {"2473swh", Outlet},
      {"2456s3", [](QPainter& p) { PlugIn(p, false); }},
      {"2413u", Modem},
      {"2450", IoModule},
      {"motion-sensor", MotionSensor},
      {"2421", DoorSensor},
      // The control panels' own names for the toggle switch, the door sensor and the modem.
      {"togglelinc", Toggle},
      {"triggerlinc", DoorSensor},
      {"plm", Modem},
      {"default", Default},
  };
  int failed = 0;
  for (const Picture& picture : pictures) {
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter p(&image);
      p.setRenderHint(QPainter::Antialiasing);
      picture.draw(p);
    }
    const QString path = dir.filePath(QString::fromLatin1(picture.stem) + QStringLiteral(".png"));
    if (!image.save(path, "PNG")) {
      std::fprintf(stderr, "draw-device-pictures: cannot write %s\n", qPrintable(path));
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}
