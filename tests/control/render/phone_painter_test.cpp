#include "render/phone_painter.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "state/state_fixture.h"

namespace voxline::test {
namespace {

using kestrel::phone_picture;

const QRgb SKIN = qRgb(40, 40, 40), DOWN = qRgb(200, 0, 200), FLASH = qRgb(0, 204, 204);
const QRgb STATUS = qRgb(255, 255, 0), DISPLAY = qRgb(0, 255, 0), BUTTON = qRgb(255, 255, 255);
const QRgb BODY = qRgb(153, 153, 204), HILITE = qRgb(230, 230, 230), SHADOW = qRgb(102, 102, 102);
const QRgb BLACK = qRgb(0, 0, 0);
const QSize CLIENT(200, 140);

// On 200x140: main button 10,60 80x32; key 1 at 100,60 and key 2 at 150,60,
// both 40x30; Hangup 5,30 90x24; display 5,5 90x20; status 100,5 and its
// label 100,30, both 95x20; microphone and speaker tracks at 10,100 and
// 110,100, 80x12; thumbs 7x12. The other keys are empty.
const char* const LAYOUT =
    "10,60,80,32|100,60,40,30|150,60,40,30|0,0,0,0|0,0,0,0|0,0,0,0|"
    "0,0,0,0|0,0,0,0|0,0,0,0|0,0,0,0|0,0,0,0|0,0,0,0|0,0,0,0|0,0,0,0|"
    "0,0,0,0|5,30,90,24|5,5,90,20|100,5,95,20|100,30,95,20|10,100,80,12|"
    "110,100,80,12|0,0,7,12";

QPixmap flat(QRgb colour, QSize size = CLIENT) {
    QPixmap pixmap(size);
    pixmap.fill(QColor(colour));
    return pixmap;
}

struct painted {
    kestrel::control_layout layout =
        kestrel::build_layout(LAYOUT, "H", {0, 0, CLIENT.width(), CLIENT.height()});
    phone_picture picture;

    painted() {
        picture.layout = &layout;
        picture.background = flat(SKIN);
        picture.colours = {QColor(STATUS), QColor(DISPLAY), QColor(BUTTON), QColor(FLASH),
                           QColor(BODY),   QColor(HILITE),  QColor(SHADOW)};
        picture.fonts = {{"DejaVu Sans"}, {"DejaVu Sans"}, {"DejaVu Sans"}};
    }
    QImage paint(QRect bounds = {{0, 0}, CLIENT}) const {
        QImage image(CLIENT, QImage::Format_RGB32);
        image.fill(SKIN);
        QPainter painter(&image);
        kestrel::paint_phone(painter, bounds, picture);
        return image;
    }
};

// Pixels of colour inside area; pixels outside it unlike the skin (or, with
// only_colour, of colour) count as stray.
struct ink {
    int inside = 0, stray = 0, changed = 0;
};
ink ink_of(const QImage& image, QRgb colour, const QRect& area, bool only_colour = false) {
    ink out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (area.contains(x, y)) {
                out.inside += p == colour;
                out.changed += p != SKIN;
            } else {
                out.stray += only_colour ? p == colour : p != SKIN;
            }
        }
    return out;
}

void expect_pixels(const QImage& image, const std::vector<std::tuple<int, int, QRgb>>& probes) {
    for (const auto& [x, y, colour] : probes) EXPECT_EQ(image.pixel(x, y), colour) << x << "," << y;
}

TEST(PhonePainter, EachTextInksOnlyItsOwnArea) {
    // What, the texts set, their colour, the area they ink (empty: none).
    const std::tuple<const char*, void (*)(phone_picture&), QRgb, QRect> rows[] = {
        // clang-format off
        {"status", [](phone_picture& p) { p.status = "Ready"; }, STATUS, {100, 5, 95, 20}},
        {"label", [](phone_picture& p) { p.status_label = "Status:"; }, STATUS, {100, 30, 95, 20}},
        // A quarter of 80x32 off each side of the main button.
        {"caption", [](phone_picture& p) { p.caption = "Answer"; }, BUTTON, {30, 68, 40, 16}},
        // Two-button mode: a quarter of the 90x24 Hangup button.
        {"hangup caption", [](phone_picture& p) { p.caption = "Hangup", p.caption_on_hangup = true; },
         BUTTON, {27, 36, 46, 12}},
        {"number", [](phone_picture& p) { p.display_text = "5550100"; }, DISPLAY, {5, 5, 90, 20}},
        {"custom", [](phone_picture& p) { p.custom_message = "Hello"; }, DISPLAY, {5, 5, 90, 20}},
        {"no display outside browser mode",
         [](phone_picture& p) { p.display_text = p.custom_message = "55", p.browser_mode = false; },
         DISPLAY, {}},
        // clang-format on
    };
    for (const auto& [what, texts, colour, area] : rows) {
        SCOPED_TRACE(what);
        painted phone;
        phone.layout.rects[kestrel::RECT_THUMB] = {};  // no thumbs
        texts(phone.picture);
        const ink drawn = ink_of(phone.paint(), colour, area);
        EXPECT_EQ(std::pair(drawn.stray, drawn.inside > 0), std::pair(0, !area.isEmpty()));
    }

    // The label is drawn at weight 900, the status at 400: the same text in
    // rectangles of one size takes more ink as the label.
    painted both;
    both.picture.status_label = both.picture.status = "Status:";
    const QImage image = both.paint();
    EXPECT_GT(ink_of(image, STATUS, {100, 30, 95, 20}).changed,
              ink_of(image, STATUS, {100, 5, 95, 20}).changed * 11 / 10);
}

TEST(PhonePainter, PressedKeysFromTheDownPictureOrAsFlashEllipses) {
    // Key 1 (100..139 x 60..89) flashes as an outlined ellipse.
    painted flash;
    flash.picture.pressed.set(1);
    // clang-format off
    expect_pixels(flash.paint(), {{120, 75, FLASH}, {100, 60, SKIN}, {139, 89, SKIN},
                                  {100, 75, BLACK}, {139, 75, BLACK}, {120, 60, BLACK},
                                  {120, 89, BLACK}, {99, 75, SKIN}, {140, 75, SKIN}});
    // clang-format on
    // Outside browser mode only the main button, from the down picture.
    painted plain;
    plain.picture.browser_mode = false;
    plain.picture.down = flat(DOWN);
    for (int key : {0, 1, 2}) plain.picture.pressed.set(key);
    expect_pixels(plain.paint(), {{50, 76, DOWN}, {120, 75, SKIN}, {170, 75, SKIN}});

    // An empty client draws nothing, not even pressed keys.
    plain.picture.browser_mode = true;
    EXPECT_EQ(ink_of(plain.paint({0, 0, 0, 0}), SKIN, {}).stray, 0);
}

TEST(PhonePainter, ThumbsHaveBodyHighlightAndShadowUnlessSizeless) {
    // The speaker thumb at level 0 sits on the left end of its track,
    // (110, 106): 7x12 covers 107..113 x 100..111; the microphone's at (10, 106).
    painted phone;
    phone.picture.status = "x";  // texts do not reach the thumbs
    // clang-format off
    expect_pixels(phone.paint(), {{110, 106, BODY}, {107, 105, HILITE}, {110, 100, HILITE},
                                  {113, 105, SHADOW}, {110, 111, SHADOW}, {106, 106, SKIN},
                                  {114, 106, SKIN}, {110, 112, SKIN}, {10, 106, BODY},
                                  {7, 104, HILITE}});
    // clang-format on
    phone.layout.rects[kestrel::RECT_THUMB] = {0, 0, 0, 12};
    expect_pixels(phone.paint(), {{110, 106, SKIN}, {10, 106, SKIN}});
}

// The whole phone: a skin folder with a 2x2 checker background, drawn by the
// control for its 275x190 window.
TEST(PhonePainter, ControlStretchesItsSkinAndShowsItsStatus) {
    QTemporaryDir dir;
    QImage checker(2, 2, QImage::Format_RGB32);
    const QRgb quadrant[4] = {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 128, 0), qRgb(64, 64, 64)};
    for (int i = 0; i < 4; ++i) checker.setPixel(i % 2, i / 2, quadrant[i]);
    ASSERT_TRUE(checker.save(dir.filePath("bg.bmp")));
    ASSERT_TRUE(flat(SKIN, {1, 1}).save(dir.filePath("other.bmp")));
    qputenv("KESTREL_SKINS", dir.path().toUtf8());

    auto pool = std::make_shared<engine_pool>();
    auto control = make_phone(pool);
    control->SetParameter("ParametersToExpect", "0");
    control->SetParameter("BackgroundBMP", "bg.bmp");
    control->SetParameter("StatusFonts", "DejaVu Sans");

    // The first paint starts the set-up, but only after it returns.
    QWidget* widget = control->Widget();
    ASSERT_EQ(widget->size(), QSize(275, 190));
    const auto grab = [widget] {
        return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    grab();
    EXPECT_FALSE(control->initial_setup_complete());
    deliver();
    ASSERT_TRUE(control->initial_setup_complete());
    log_on(pool->engine());
    const QImage image = grab();
    // Nearest neighbour: no blend either side of the middle (137.5, 95).
    // clang-format off
    expect_pixels(image, {{68, 47, quadrant[0]}, {134, 47, quadrant[0]}, {141, 47, quadrant[1]},
                          {206, 47, quadrant[1]}, {68, 93, quadrant[0]}, {68, 97, quadrant[2]},
                          {68, 142, quadrant[2]}, {230, 170, quadrant[3]}});
    // clang-format on
    // Status (68,4 126x15) and its label (107,22 41x14) in #FFFF00, the
    // initial status colour, and nowhere else.
    const ink status = ink_of(image, STATUS, {68, 4, 126, 32}, true);
    EXPECT_EQ(std::pair(status.inside > 0, status.stray), std::pair(true, 0));
    EXPECT_GT(ink_of(image, STATUS, {107, 22, 41, 14}, true).inside, 0);

    // Once set up, a changed colour or skin name is read at once.
    control->SetParameter("BackgroundBMP", "other.bmp");
    control->SetParameter("StatusTextColor", "#00FF00");
    const QImage changed = grab();
    expect_pixels(changed, {{68, 47, SKIN}, {206, 142, SKIN}});
    EXPECT_GT(ink_of(changed, DISPLAY, {68, 4, 126, 15}).inside, 0);
    qunsetenv("KESTREL_SKINS");
}

}  // namespace
}  // namespace voxline::test
