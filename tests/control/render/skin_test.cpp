#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>

#include "control_test_log.h"
#include "parameters/parameter_defaults.h"
#include "render/layout.h"
#include "render/skin_loader.h"

namespace voxline::test {
namespace {

using kestrel::skin_loader;

void put16(QByteArray& b, int v) {
    b.append(char(v & 0xFF)).append(char(v >> 8 & 0xFF));
}
void put32(QByteArray& b, int64_t v) {
    put16(b, int(v & 0xFFFF));
    put16(b, int(v >> 16 & 0xFFFF));
}

// A 24-bit bitmap of one colour with the 12-byte (OS/2) or 40-byte header;
// pixel rows are left out when `with_pixels` is false.
QByteArray flat_bmp(int width, int height, QRgb colour, bool core_header, bool with_pixels = true) {
    const int row = (width * 3 + 3) & ~3;
    const int header = core_header ? 12 : 40;
    QByteArray b("BM");
    put32(b, 14 + header + int64_t{row} * height);
    put32(b, 0);
    put32(b, 14 + header);
    put32(b, header);
    if (core_header) {
        put16(b, width), put16(b, height), put16(b, 1), put16(b, 24);
    } else {
        put32(b, width), put32(b, height), put16(b, 1), put16(b, 24);
        for (int i = 0; i < 6; ++i) put32(b, 0);
    }
    if (!with_pixels) return b;
    QByteArray line(row, 0);
    for (int x = 0; x < width; ++x) {
        line[3 * x] = char(qBlue(colour));
        line[3 * x + 1] = char(qGreen(colour));
        line[3 * x + 2] = char(qRed(colour));
    }
    for (int y = 0; y < height; ++y) b.append(line);
    return b;
}

struct skin_folder_fixture : ::testing::Test {
    QTemporaryDir dir;
    captured_log log;
    QStringList messages;
    skin_loader loader{&log.log, [this](const QString& text) { messages << text; }};

    QString folder() const { return dir.path() + QLatin1Char('/'); }
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(folder() + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

TEST_F(skin_folder_fixture, ReadsBothHeaderKindsAsRgb32) {
    write("core.bmp", flat_bmp(3, 2, qRgb(10, 20, 30), true));
    write("info.bmp", flat_bmp(4096, 1, qRgb(200, 100, 50), false));
    const QImage core = loader.load_image(folder(), "core.bmp");
    const QImage info = loader.load_image(folder(), "info.bmp");
    ASSERT_EQ(core.size(), QSize(3, 2));
    EXPECT_EQ(core.format(), QImage::Format_RGB32);
    EXPECT_EQ(core.pixel(2, 1), qRgb(10, 20, 30));
    ASSERT_EQ(info.size(), QSize(4096, 1));
    EXPECT_EQ(info.pixel(4095, 0), qRgb(200, 100, 50));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(skin_folder_fixture, RefusesSidesAbove4096WithoutWaiting) {
    write("wide.bmp", flat_bmp(4097, 1, qRgb(1, 2, 3), false));
    write("huge.bmp", flat_bmp(30000, 30000, 0, false, false));
    write("core.bmp", flat_bmp(1, 5000, 0, true, false));
    for (const char* name : {"wide.bmp", "huge.bmp", "core.bmp"})
        EXPECT_TRUE(loader.load_image(folder(), name).isNull()) << name;
    EXPECT_EQ(messages, QStringList(3, QStringLiteral("The DIB is too large!")));
    EXPECT_NE(log.text().find("The DIB is too large!"), std::string::npos);
    EXPECT_TRUE(log.has_console("The DIB is too large!"));
}

TEST_F(skin_folder_fixture, DownBitmapOnlyWhenNamedOtherwiseAndWithPixels) {
    write("bg.bmp", flat_bmp(4, 4, qRgb(255, 0, 0), false));
    write("dn.bmp", flat_bmp(4, 4, qRgb(0, 0, 255), true));
    write("empty.bmp", flat_bmp(0, 0, 0, false));
    write("junk.bmp", QByteArray("BM not a bitmap"));
    const struct {
        const char* down;
        bool flash;
    } cases[] = {{"dn.bmp", false},   {"BG.BMP", true},   {"missing.bmp", true},
                 {"empty.bmp", true}, {"junk.bmp", true}, {"", true}};
    for (const auto& c : cases) {
        const auto skin = loader.load(folder(), "bg.bmp", c.down);
        EXPECT_EQ(skin.background.pixel(0, 0), qRgb(255, 0, 0)) << c.down;
        EXPECT_EQ(skin.flash, c.flash) << c.down;
        EXPECT_EQ(skin.down.isNull(), c.flash) << c.down;
    }
}

TEST_F(skin_folder_fixture, RefusesNamesLeavingTheFolder) {
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkdir("inner");
    write("inner/bg.bmp", flat_bmp(2, 2, 0, false));
    write("bg.bmp", flat_bmp(2, 2, 0, false));
    for (const char* name : {"inner/bg.bmp", "../bg.bmp", "..", "/etc/passwd"})
        EXPECT_TRUE(loader.load_image(folder() + "inner/", name).isNull()) << name;
    EXPECT_NE(log.text().find("../bg.bmp"), std::string::npos);
}

TEST(ControlSkinFolder, EnvironmentElseBesideTheLibrary) {
    const QByteArray saved = qgetenv("KESTREL_SKINS");
    qputenv("KESTREL_SKINS", "/opt/skins");
    EXPECT_EQ(kestrel::skin_folder(), QStringLiteral("/opt/skins/"));
    qunsetenv("KESTREL_SKINS");
    EXPECT_TRUE(kestrel::skin_folder().endsWith(QStringLiteral("/share/dialdeck/skins/")));
    if (!saved.isNull()) qputenv("KESTREL_SKINS", saved);
}

// WCAG relative luminance and contrast ratio.
double luminance(double r, double g, double b) {
    const auto channel = [](double c) {
        c /= 255;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(r) + 0.7152 * channel(g) + 0.0722 * channel(b);
}

double contrast_under(const QImage& image, const kestrel::layout_rect& r, QRgb text) {
    double sum[3] = {};
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const QRgb px = image.pixel(x, y);
            sum[0] += qRed(px), sum[1] += qGreen(px), sum[2] += qBlue(px);
        }
    const double n = double(r.width()) * r.height();
    const double skin = luminance(sum[0] / n, sum[1] / n, sum[2] / n);
    const double ink = luminance(qRed(text), qGreen(text), qBlue(text));
    return (std::max(skin, ink) + 0.05) / (std::min(skin, ink) + 0.05);
}

TEST(ControlShippedSkin, DownDiffersExactlyOnKeysAndTextsKeepContrast) {
    const struct {
        const char* name;
        const char* layout;
        std::vector<std::pair<int, QRgb>> texts;  // rectangle, default text colour
    } skins[] = {
        {"Voxline",
         kestrel::LAYOUT_B,
         {{17, qRgb(255, 255, 0)}, {18, qRgb(255, 255, 0)}, {0, qRgb(255, 255, 255)}}},
        {"Dialdeck", kestrel::LAYOUT_A, {{16, 0}, {17, 0}, {18, 0}, {0, 0}}},
    };
    const skin_loader loader;
    for (const auto& s : skins) {
        const auto skin = loader.load(KESTREL_BUILD_SKINS "/", QString(s.name) + "_bg.bmp",
                                      QString(s.name) + "_dn.bmp");
        ASSERT_EQ(skin.background.size(), QSize(275, 190)) << s.name;
        ASSERT_EQ(skin.down.size(), QSize(275, 190)) << s.name;
        EXPECT_FALSE(skin.flash);
        const auto layout = kestrel::build_layout(s.layout, "Horizontal", {0, 0, 275, 190});
        for (int y = 0; y < 190; ++y)
            for (int x = 0; x < 275; ++x) {
                bool on_key = false;
                for (int key = 0; key <= 14; ++key) {
                    const auto& r = layout.rects[key];
                    on_key |= x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                }
                ASSERT_EQ(skin.down.pixel(x, y) != skin.background.pixel(x, y), on_key)
                    << s.name << " at " << x << "," << y;
            }
        for (const auto& [rect, colour] : s.texts)
            EXPECT_GE(contrast_under(skin.background, layout.rects[rect], colour), 4.5)
                << s.name << " rectangle " << rect;
    }
}

}  // namespace
}  // namespace voxline::test
