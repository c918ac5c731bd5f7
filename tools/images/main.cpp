// Draws every image of the front-panel replica at the size it is shown.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <cstdio>
#include <functional>

namespace {

const QColor accent(0, 162, 232);
const QColor idle(127, 127, 127);
const QColor callGreen(40, 180, 70);
const QColor hangupRed(220, 45, 45);

// Glyphs are drawn on a 100 x 100 grid and scaled to the image size.
using Glyph = std::function<void(QPainter&)>;

QPen strokePen(const QColor& c, double w = 8.0)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QImage render(int w, int h, const Glyph& glyph, bool grid = true)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    if (grid) {
        const double s = qMin(w, h) / 100.0;
        p.translate((w - 100 * s) / 2.0, (h - 100 * s) / 2.0);
        p.scale(s, s);
    }
    glyph(p);
    p.end();
    return image;
}

void gear(QPainter& p, const QColor& c)
{
    QPainterPath path;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const double a0 = (i - 0.5) * M_PI / teeth;
        const double a1 = (i + 0.5) * M_PI / teeth;
        const double r = (i % 2 == 0) ? 44.0 : 34.0;
        const QPointF p0(50 + r * qCos(a0), 50 + r * qSin(a0));
        const QPointF p1(50 + r * qCos(a1), 50 + r * qSin(a1));
        if (i == 0)
            path.moveTo(p0);
        else
            path.lineTo(p0);
        path.lineTo(p1);
    }
    path.closeSubpath();
    path.addEllipse(QPointF(50, 50), 14, 14);
    path.setFillRule(Qt::OddEvenFill);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(path);
}

void handset(QPainter& p, const QColor& c)
{
    // A receiver: two ear/mouth pieces joined by a curved grip.
    QPainterPath path;
    path.moveTo(22, 10);
    path.lineTo(36, 24);
    path.quadTo(40, 28, 36, 33);
    path.lineTo(30, 39);
    path.quadTo(40, 58, 61, 70);
    path.lineTo(67, 64);
    path.quadTo(72, 60, 76, 64);
    path.lineTo(90, 78);
    path.quadTo(93, 82, 89, 86);
    path.lineTo(80, 94);
    path.quadTo(70, 100, 55, 90);
    path.quadTo(25, 72, 10, 44);
    path.quadTo(2, 30, 10, 18);
    path.lineTo(16, 10);
    path.quadTo(19, 7, 22, 10);
    path.closeSubpath();
    // A black outline keeps the shape readable on the line boxes' green, yellow
    // and red alike (at least 5:1), whatever the fill.
    p.translate(50, 50);
    p.scale(0.9, 0.9);
    p.translate(-50, -50);
    p.setPen(strokePen(Qt::black, 7));
    p.setBrush(c);
    p.drawPath(path);
}

void headphones(QPainter& p, const QColor& c)
{
    p.setPen(strokePen(c, 9));
    p.setBrush(Qt::NoBrush);
    QPainterPath band;
    band.moveTo(16, 62);
    band.lineTo(16, 50);
    band.cubicTo(16, 4, 84, 4, 84, 50);
    band.lineTo(84, 62);
    p.drawPath(band);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(8, 56, 22, 36), 7, 7);
    p.drawRoundedRect(QRectF(70, 56, 22, 36), 7, 7);
}

void chevron(QPainter& p, const QColor& c, bool right)
{
    p.setPen(strokePen(c, 11));
    p.setBrush(Qt::NoBrush);
    if (right)
        p.drawPolyline(QPolygonF({QPointF(36, 18), QPointF(68, 50), QPointF(36, 82)}));
    else
        p.drawPolyline(QPolygonF({QPointF(64, 18), QPointF(32, 50), QPointF(64, 82)}));
}

void arrowHead(QPainter& p, const QPointF& tip, double angleDeg, double size)
{
    const double a = qDegreesToRadians(angleDeg);
    const QPointF back(-qCos(a) * size, -qSin(a) * size);
    const QPointF side(-qSin(a) * size * 0.6, qCos(a) * size * 0.6);
    p.drawPolygon(QPolygonF({tip, tip + back + side, tip + back - side}));
}

void toggle(QPainter& p, bool on)
{
    // 60 x 34: a track with its knob at the chosen side.
    const QRectF track(2, 3, 56, 28);
    p.setPen(Qt::NoPen);
    p.setBrush(on ? accent : QColor(90, 90, 90));
    p.drawRoundedRect(track, 14, 14);
    p.setBrush(on ? QColor(Qt::white) : QColor(200, 200, 200));
    p.drawEllipse(on ? QRectF(32, 5, 24, 24) : QRectF(4, 5, 24, 24));
}

void links(QPainter& p, bool on)
{
    // 50 x 40: two chain links, joined when the pair is on.
    const QColor c = on ? accent : idle;
    p.setPen(QPen(c, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (on) {
        p.drawRoundedRect(QRectF(4, 12, 24, 16), 8, 8);
        p.drawRoundedRect(QRectF(22, 12, 24, 16), 8, 8);
    } else {
        p.drawRoundedRect(QRectF(3, 12, 19, 16), 8, 8);
        p.drawRoundedRect(QRectF(28, 12, 19, 16), 8, 8);
        p.drawLine(QPointF(25, 4), QPointF(25, 8));
        p.drawLine(QPointF(25, 32), QPointF(25, 36));
    }
}

struct Image {
    const char* name;
    int width;
    int height;
    Glyph glyph;
    bool grid = true;
};

QList<Image> images()
{
    QList<Image> list;

    list.append({"Kandelo.png", 300, 80, [](QPainter& p) {
        p.setPen(QPen(accent, 6, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(10, 10, 60, 60));
        const double a = qDegreesToRadians(200.0);
        const QPointF c(40, 40), d(-qSin(a), qCos(a));
        p.drawLine(c + d * 24, c + d * 36);
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(44);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(50, 50, 50));
        p.drawText(QRectF(84, 0, 216, 80), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kandelo"));
    }, false});

    list.append({"action.png", 34, 34, [](QPainter& p) {
        p.setPen(strokePen(accent, 8));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(6, 6, 88, 88));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawPolygon(QPolygonF({QPointF(40, 28), QPointF(72, 50), QPointF(40, 72)}));
    }});

    list.append({"audio.png", 50, 50, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawPolygon(QPolygonF({QPointF(8, 36), QPointF(26, 36), QPointF(48, 16), QPointF(48, 84),
                                 QPointF(26, 64), QPointF(8, 64)}));
        p.setPen(strokePen(accent, 7));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(42, 34, 24, 32), -60 * 16, 120 * 16);
        p.drawArc(QRectF(40, 20, 40, 60), -60 * 16, 120 * 16);
        p.drawArc(QRectF(38, 6, 56, 88), -60 * 16, 120 * 16);
    }});

    list.append({"back.png", 48, 48, [](QPainter& p) {
        p.setPen(strokePen(accent, 9));
        p.setBrush(Qt::NoBrush);
        QPainterPath turn;
        turn.moveTo(30, 34);
        turn.lineTo(62, 34);
        turn.cubicTo(92, 34, 92, 82, 62, 82);
        turn.lineTo(36, 82);
        p.drawPath(turn);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        arrowHead(p, QPointF(10, 34), 180, 24);
    }});

    list.append({"book.png", 50, 50, [](QPainter& p) {
        p.setPen(strokePen(accent, 6));
        p.setBrush(Qt::NoBrush);
        QPainterPath left, right;
        left.moveTo(50, 26);
        left.cubicTo(38, 16, 20, 16, 8, 20);
        left.lineTo(8, 80);
        left.cubicTo(20, 76, 38, 76, 50, 86);
        right.moveTo(50, 26);
        right.cubicTo(62, 16, 80, 16, 92, 20);
        right.lineTo(92, 80);
        right.cubicTo(80, 76, 62, 76, 50, 86);
        p.drawPath(left);
        p.drawPath(right);
        p.drawLine(QPointF(50, 26), QPointF(50, 86));
        p.setPen(strokePen(accent, 4));
        for (int y : {36, 48, 60}) {
            p.drawLine(QPointF(18, y), QPointF(40, y + 2));
            p.drawLine(QPointF(60, y + 2), QPointF(82, y));
        }
    }});

    list.append({"call-history.png", 48, 48, [](QPainter& p) {
        p.setPen(strokePen(accent, 8));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(12, 12, 76, 76), 200 * 16, -310 * 16);
        p.drawPolyline(QPolygonF({QPointF(50, 28), QPointF(50, 50), QPointF(66, 62)}));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        arrowHead(p, QPointF(12, 56), 100, 18);
    }});

    list.append({"check.png", 54, 54, [](QPainter& p) {
        p.setPen(strokePen(accent, 12));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(14, 52), QPointF(38, 76), QPointF(86, 24)}));
    }});

    list.append({"coding.png", 50, 50, [](QPainter& p) {
        p.setPen(strokePen(accent, 7));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(22, 24), QPointF(6, 50), QPointF(22, 76)}));
        p.drawPolyline(QPolygonF({QPointF(78, 24), QPointF(94, 50), QPointF(78, 76)}));
        QPainterPath wave;
        wave.moveTo(28, 50);
        for (int x = 28; x <= 72; ++x)
            wave.lineTo(x, 50 - 18 * qSin((x - 28) * 2 * M_PI / 22.0));
        p.drawPath(wave);
    }});

    list.append({"copy.png", 48, 48, [](QPainter& p) {
        p.setPen(strokePen(accent, 7));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(12, 10, 50, 60), 6, 6);
        p.setBrush(accent);
        p.drawRoundedRect(QRectF(38, 30, 50, 60), 6, 6);
    }});

    list.append({"dialpad.png", 48, 48, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 3; ++col)
                if (row < 3 || col == 1)
                    p.drawEllipse(QPointF(22 + 28 * col, 12 + 25 * row), 9, 9);
    }});

    list.append({"exit-menu.png", 50, 50, [](QPainter& p) {
        p.setPen(strokePen(accent, 7));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(52, 30), QPointF(52, 10), QPointF(10, 10), QPointF(10, 90),
                                  QPointF(52, 90), QPointF(52, 70)}));
        p.drawLine(QPointF(30, 50), QPointF(78, 50));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        arrowHead(p, QPointF(96, 50), 0, 22);
    }});

    list.append({"headphone-black.png", 48, 48, [](QPainter& p) { headphones(p, Qt::black); }});
    list.append({"headphone-white.png", 48, 48, [](QPainter& p) { headphones(p, Qt::white); }});

    list.append({"home.png", 48, 48, [](QPainter& p) {
        p.setPen(strokePen(accent, 8));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(6, 50), QPointF(50, 10), QPointF(94, 50)}));
        p.drawPolyline(QPolygonF({QPointF(20, 40), QPointF(20, 90), QPointF(80, 90), QPointF(80, 40)}));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRect(QRectF(40, 60, 20, 30));
    }});

    list.append({"input-settings.png", 48, 48, [](QPainter& p) {
        // A microphone on its stand.
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRoundedRect(QRectF(36, 6, 28, 50), 14, 14);
        p.setPen(strokePen(accent, 7));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(22, 22, 56, 50), 180 * 16, 180 * 16);
        p.drawLine(QPointF(50, 72), QPointF(50, 90));
        p.drawLine(QPointF(32, 92), QPointF(68, 92));
    }});

    list.append({"message.png", 48, 48, [](QPainter& p) {
        p.setPen(strokePen(accent, 7));
        p.setBrush(Qt::NoBrush);
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(8, 10, 84, 60), 12, 12);
        p.drawPath(bubble);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawPolygon(QPolygonF({QPointF(26, 66), QPointF(46, 66), QPointF(22, 92)}));
        p.setPen(strokePen(accent, 6));
        p.drawLine(QPointF(24, 32), QPointF(76, 32));
        p.drawLine(QPointF(24, 48), QPointF(62, 48));
    }});

    list.append({"mixer.png", 48, 48, [](QPainter& p) {
        p.setPen(strokePen(accent, 6));
        for (int i = 0; i < 3; ++i)
            p.drawLine(QPointF(22 + 28 * i, 8), QPointF(22 + 28 * i, 92));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        const double knobs[3] = {64, 30, 52};
        for (int i = 0; i < 3; ++i)
            p.drawRoundedRect(QRectF(10 + 28 * i, knobs[i] - 8, 24, 16), 4, 4);
    }});

    list.append({"navleft.png", 50, 50, [](QPainter& p) { chevron(p, accent, false); }});
    list.append({"navright.png", 34, 34, [](QPainter& p) { chevron(p, accent, true); }});

    list.append({"network.png", 50, 50, [](QPainter& p) {
        p.setPen(strokePen(accent, 6));
        p.drawLine(QPointF(50, 22), QPointF(20, 78));
        p.drawLine(QPointF(50, 22), QPointF(80, 78));
        p.drawLine(QPointF(20, 78), QPointF(80, 78));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawEllipse(QPointF(50, 22), 14, 14);
        p.drawEllipse(QPointF(20, 78), 14, 14);
        p.drawEllipse(QPointF(80, 78), 14, 14);
    }});

    list.append({"pair_off.png", 50, 40, [](QPainter& p) { links(p, false); }, false});
    list.append({"pair_on.png", 50, 40, [](QPainter& p) { links(p, true); }, false});

    list.append({"phone-call.png", 50, 50, [](QPainter& p) { handset(p, callGreen); }});
    list.append({"phone-hangup.png", 50, 50, [](QPainter& p) {
        p.translate(50, 50);
        p.rotate(135);
        p.translate(-50, -50);
        handset(p, hangupRed);
    }});

    list.append({"refresh.png", 54, 54, [](QPainter& p) {
        p.setPen(strokePen(accent, 9));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(14, 14, 72, 72), 60 * 16, 290 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        arrowHead(p, QPointF(80, 24), -40, 22);
    }});

    list.append({"settings.png", 48, 48, [](QPainter& p) { gear(p, accent); }});

    list.append({"shutdown.png", 34, 34, [](QPainter& p) {
        p.setPen(strokePen(hangupRed, 9));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(12, 14, 76, 76), 125 * 16, 290 * 16);
        p.drawLine(QPointF(50, 6), QPointF(50, 48));
    }});

    list.append({"status.png", 50, 50, [](QPainter& p) {
        p.setPen(strokePen(accent, 7));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(6, 6, 88, 88));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawEllipse(QPointF(50, 28), 7, 7);
        p.drawRoundedRect(QRectF(43, 42, 14, 36), 5, 5);
    }});

    list.append({"switch_off.png", 60, 34, [](QPainter& p) { toggle(p, false); }, false});
    list.append({"switch_on.png", 60, 34, [](QPainter& p) { toggle(p, true); }, false});

    list.append({"tools.png", 50, 50, [](QPainter& p) {
        // An open-ended wrench across the square.
        p.translate(50, 50);
        p.rotate(-45);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRoundedRect(QRectF(-8, -18, 16, 58), 6, 6);
        QPainterPath head;
        head.addEllipse(QPointF(0, -30), 20, 20);
        QPainterPath jaw;
        jaw.addRect(QRectF(-7, -56, 14, 26));
        p.drawPath(head.subtracted(jaw));
    }});

    return list;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("images");
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(dir));
        return 1;
    }
    int failures = 0;
    const QList<Image> list = images();
    for (const Image& image : list) {
        const QString path = QDir(dir).filePath(QString::fromLatin1(image.name));
        if (!render(image.width, image.height, image.glyph, image.grid).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    std::printf("%lld images written to %s\n", static_cast<long long>(list.size()), qPrintable(dir));
    return failures == 0 ? 0 : 1;
}
