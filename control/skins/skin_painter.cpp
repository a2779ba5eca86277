// Draws the project's own skins from the layout strings: a background and a
// pressed-state bitmap per layout, 275x190, 24-bit BMP.
// Usage: kestrel_skin_painter OUTPUT_FOLDER
#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

#include "parameters/parameter_defaults.h"
#include "render/layout.h"

namespace {

using kestrel::control_layout;
using kestrel::layout_rect;

constexpr int SKIN_WIDTH = 275;
constexpr int SKIN_HEIGHT = 190;

struct palette {
    QColor body, body_edge, band, well, well_edge, button, button_edge;
    QColor key, key_edge, digit, letters, groove, groove_edge, symbol;
};

// Dark: yellow status and white caption text read on it.
const palette VOXLINE = {
    "#2B3440", "#151A20", "#161B22", "#1C2A24", "#0B0F12", "#1E5AA8", "#0F2E57",
    "#4A5563", "#222830", "#F2F2F2", "#B8C4D0", "#10151B", "#5A6570", "#C0C8D0",
};

// Light: black status, display and caption text read on it.
const palette DIALDECK = {
    "#E4E8EC", "#9AA4AE", "#F5F5EA", "#C8DEC8", "#7E947E", "#8FD18F", "#4E8A4E",
    "#FAFAFA", "#8A949E", "#202830", "#506070", "#B0B8C0", "#6A747E", "#3A4450",
};

const char* const KEY_DIGITS[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "0", "#"};
const char* const KEY_LETTERS[] = {"",     "ABC", "DEF",  "GHI", "JKL", "MNO",
                                   "PQRS", "TUV", "WXYZ", "",    "",    ""};

QRectF to_qrect(const layout_rect& r) {
    return QRectF(r.left, r.top, r.width(), r.height());
}

QRectF unite(const layout_rect& a, const layout_rect& b) {
    return to_qrect(a).united(to_qrect(b));
}

QFont label_font(int pixels, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void draw_key(QPainter& p, const palette& c, const layout_rect& r, int index) {
    const QRectF face = to_qrect(r).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(QPen(c.key_edge, 1));
    p.setBrush(c.key);
    p.drawRoundedRect(face, 5, 5);
    const char* letters = KEY_LETTERS[index];
    p.setPen(c.digit);
    p.setFont(label_font(15, true));
    if (*letters) {
        p.drawText(face.adjusted(4, 0, -face.width() / 2, 0), Qt::AlignCenter, KEY_DIGITS[index]);
        p.setPen(c.letters);
        p.setFont(label_font(8, false));
        p.drawText(face.adjusted(face.width() / 2 - 2, 0, -2, 0), Qt::AlignCenter, letters);
    } else {
        p.drawText(face, Qt::AlignCenter, KEY_DIGITS[index]);
    }
}

void draw_small_key(QPainter& p, const palette& c, const layout_rect& r, bool clear) {
    const QRectF face = to_qrect(r).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(c.key_edge, 1));
    p.setBrush(c.key);
    p.drawRoundedRect(face, 2, 2);
    const QPointF m = face.center();
    p.setPen(QPen(c.digit, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (clear) {  // a cross
        p.drawLine(m + QPointF(-3, -3), m + QPointF(3, 3));
        p.drawLine(m + QPointF(-3, 3), m + QPointF(3, -3));
    } else {  // an arrow to the left
        p.drawLine(m + QPointF(-4, 0), m + QPointF(4, 0));
        p.drawLine(m + QPointF(-4, 0), m + QPointF(-1, -3));
        p.drawLine(m + QPointF(-4, 0), m + QPointF(-1, 3));
    }
}

void draw_track(QPainter& p, const palette& c, const layout_rect& r) {
    if (r.empty()) return;
    const QRectF track = to_qrect(r);
    const QRectF groove(track.left(), track.center().y() - 2, track.width(), 4);
    p.setPen(QPen(c.groove_edge, 1));
    p.setBrush(c.groove);
    p.drawRoundedRect(groove, 2, 2);
}

void draw_microphone(QPainter& p, const palette& c, QPointF at) {
    p.setPen(QPen(c.symbol, 1.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(c.symbol);
    p.drawRoundedRect(QRectF(at.x() - 2, at.y() - 6, 4, 7), 2, 2);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(at.x() - 4, at.y() - 4, 8, 7), 180 * 16, 180 * 16);
    p.drawLine(at + QPointF(0, 3), at + QPointF(0, 5));
    p.drawLine(at + QPointF(-2, 5), at + QPointF(2, 5));
}

void draw_speaker(QPainter& p, const palette& c, QPointF at) {
    QPainterPath cone;
    cone.moveTo(at + QPointF(-5, -2));
    cone.lineTo(at + QPointF(-3, -2));
    cone.lineTo(at + QPointF(0, -5));
    cone.lineTo(at + QPointF(0, 5));
    cone.lineTo(at + QPointF(-3, 2));
    cone.lineTo(at + QPointF(-5, 2));
    cone.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c.symbol);
    p.drawPath(cone);
    p.setPen(QPen(c.symbol, 1.1, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(at.x() - 3, at.y() - 3, 6, 6), -50 * 16, 100 * 16);
    p.drawArc(QRectF(at.x() - 6, at.y() - 6, 12, 12), -50 * 16, 100 * 16);
}

QImage paint_background(const control_layout& l, const palette& c) {
    QImage image(SKIN_WIDTH, SKIN_HEIGHT, QImage::Format_RGB32);
    image.fill(c.body_edge);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(c.body);
    p.drawRoundedRect(QRectF(1, 1, SKIN_WIDTH - 2, SKIN_HEIGHT - 2), 10, 10);

    const auto& r = l.rects;
    p.setBrush(c.band);
    p.drawRoundedRect(
        unite(r[kestrel::RECT_STATUS], r[kestrel::RECT_STATUS_LABEL]).adjusted(-2, -1, 2, 1), 3, 3);
    p.setPen(QPen(c.well_edge, 1));
    p.setBrush(c.well);
    p.drawRoundedRect(to_qrect(r[kestrel::RECT_DISPLAY]).adjusted(-1.5, -0.5, 1.5, 0.5), 3, 3);

    p.setPen(QPen(c.button_edge, 1));
    p.setBrush(c.button);
    p.drawRoundedRect(to_qrect(r[kestrel::RECT_MAIN_BUTTON]).adjusted(1.5, 1.5, -1.5, -1.5), 7, 7);

    for (int key = 1; key <= 12; ++key) draw_key(p, c, r[key], key - 1);
    draw_small_key(p, c, r[kestrel::RECT_BACKSPACE], false);
    draw_small_key(p, c, r[kestrel::RECT_CLEAR], true);

    for (const int track : {kestrel::RECT_MIC_TRACK, kestrel::RECT_SPEAKER_TRACK}) {
        draw_track(p, c, r[track]);
        const QPointF beside(r[track].right + 8, (r[track].top + r[track].bottom) / 2.0);
        if (track == kestrel::RECT_MIC_TRACK)
            draw_microphone(p, c, beside);
        else
            draw_speaker(p, c, beside);
    }
    return image;
}

// Every key and button pressed: darker, and every pixel of it changed.
QImage paint_down(const QImage& background, const control_layout& l) {
    QImage image = background.copy();
    for (int index = 0; index <= kestrel::RECT_CLEAR; ++index) {
        const layout_rect& r = l.rects[index];
        for (int y = std::max(0, r.top); y < std::min(SKIN_HEIGHT, r.bottom); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = std::max(0, r.left); x < std::min(SKIN_WIDTH, r.right); ++x) {
                const QRgb px = line[x];
                const int red = qRed(px) * 3 / 5, green = qGreen(px) * 3 / 5,
                          blue = qBlue(px) * 3 / 5;
                line[x] = px == qRgb(red, green, blue) ? qRgb(64, 64, 64) : qRgb(red, green, blue);
            }
        }
    }
    return image;
}

bool write_skin(const QString& folder, const QString& name, const char* layout_text,
                const palette& colours) {
    const control_layout layout =
        kestrel::build_layout(layout_text, "Horizontal", {0, 0, SKIN_WIDTH, SKIN_HEIGHT});
    const QImage background = paint_background(layout, colours);
    const QImage down = paint_down(background, layout);
    // RGB888 is written as a 24-bit bitmap.
    return background.convertToFormat(QImage::Format_RGB888)
               .save(folder + name + QStringLiteral("_bg.bmp"), "BMP") &&
           down.convertToFormat(QImage::Format_RGB888)
               .save(folder + name + QStringLiteral("_dn.bmp"), "BMP");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrel_skin_painter OUTPUT_FOLDER\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    QDir().mkpath(folder);
    if (!write_skin(folder, QStringLiteral("Voxline"), kestrel::LAYOUT_B, VOXLINE) ||
        !write_skin(folder, QStringLiteral("Dialdeck"), kestrel::LAYOUT_A, DIALDECK)) {
        std::fprintf(stderr, "kestrel_skin_painter: cannot write the skins to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
