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

// Little-endian fields of count bytes each.
void put(QByteArray& b, int64_t v, int count) {
    for (int i = 0; i < count; ++i) b.append(char(v >> 8 * i & 0xFF));
}

// A 24-bit bitmap of one colour with the 12-byte (OS/2) or 40-byte header;
// pixel rows are left out when `with_pixels` is false.
QByteArray flat_bmp(int width, int height, QRgb colour, bool core_header, bool with_pixels = true) {
    const int row = (width * 3 + 3) & ~3, header = core_header ? 12 : 40,
              side = core_header ? 2 : 4;
    QByteArray b("BM");
    put(b, 14 + header + int64_t{row} * height, 4);
    put(b, 0, 4), put(b, 14 + header, 4), put(b, header, 4);
    put(b, width, side), put(b, height, side), put(b, 1, 2), put(b, 24, 2);
    if (!core_header) b.append(QByteArray(24, 0));
    if (!with_pixels) return b;
    QByteArray line;
    put(line, colour & 0xFFFFFF, 3);  // blue, green, red
    line = line.repeated(width) + QByteArray(row - 3 * width, 0);
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

TEST_F(skin_folder_fixture, ReadsBothHeaderKindsAsRgb32AndRefusesSidesAbove4096) {
    write("core.bmp", flat_bmp(3, 2, qRgb(10, 20, 30), true));
    write("info.bmp", flat_bmp(4096, 1, qRgb(200, 100, 50), false));
    const QImage core = loader.load_image(folder(), "core.bmp");
    const QImage info = loader.load_image(folder(), "info.bmp");
    ASSERT_EQ(std::tuple(core.size(), info.size()), std::tuple(QSize(3, 2), QSize(4096, 1)));
    EXPECT_EQ(std::tuple(core.format(), core.pixel(2, 1), info.pixel(4095, 0), messages.size()),
              std::tuple(QImage::Format_RGB32, qRgb(10, 20, 30), qRgb(200, 100, 50), 0));

    // Sides above 4096 are refused from the header, without decoding.
    write("wide.bmp", flat_bmp(4097, 1, qRgb(1, 2, 3), false));
    write("huge.bmp", flat_bmp(30000, 30000, 0, false, false));
    write("tall.bmp", flat_bmp(1, 5000, 0, true, false));
    for (const char* name : {"wide.bmp", "huge.bmp", "tall.bmp"})
        EXPECT_TRUE(loader.load_image(folder(), name).isNull()) << name;
    EXPECT_EQ(messages, QStringList(3, QStringLiteral("The DIB is too large!")));
    EXPECT_TRUE(log.has("The DIB is too large!"));
    EXPECT_TRUE(log.has_console("The DIB is too large!"));
}

TEST_F(skin_folder_fixture, DownBitmapOnlyWhenNamedOtherwiseAndNamesStayInTheFolder) {
    write("bg.bmp", flat_bmp(4, 4, qRgb(255, 0, 0), false));
    write("dn.bmp", flat_bmp(4, 4, qRgb(0, 0, 255), true));
    write("empty.bmp", flat_bmp(0, 0, 0, false));
    write("junk.bmp", QByteArray("BM not a bitmap"));
    for (const char* down : {"dn.bmp", "BG.BMP", "missing.bmp", "empty.bmp", "junk.bmp", ""}) {
        const auto skin = loader.load(folder(), "bg.bmp", down);
        const bool flash = down != std::string("dn.bmp");
        EXPECT_EQ(skin.background.pixel(0, 0), qRgb(255, 0, 0)) << down;
        EXPECT_EQ(std::pair(skin.flash, skin.down.isNull()), std::pair(flash, flash)) << down;
    }

    // Names leaving the folder are refused.
    QDir(dir.path()).mkdir("inner");
    write("inner/bg.bmp", flat_bmp(2, 2, 0, false));
    for (const char* name : {"inner/bg.bmp", "../bg.bmp", "..", "/etc/passwd"})
        EXPECT_TRUE(loader.load_image(folder() + "inner/", name).isNull()) << name;
    EXPECT_TRUE(log.has("../bg.bmp"));
}

// WCAG contrast ratio of text on the mean colour under r.
double contrast_under(const QImage& image, const kestrel::layout_rect& r, QRgb text) {
    const auto luminance = [](double r, double g, double b) {
        double sum = 0;
        for (const auto& [c, weight] : {std::pair{r, 0.2126}, {g, 0.7152}, {b, 0.0722}})
            sum += weight * (c / 255 <= 0.03928 ? c / 255 / 12.92
                                                : std::pow((c / 255 + 0.055) / 1.055, 2.4));
        return sum;
    };
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
    // Name, layout, text rectangles with their default colours.
    const std::tuple<const char*, const char*, std::vector<std::pair<int, QRgb>>> skins[] = {
        {"Voxline",
         kestrel::LAYOUT_B,
         {{17, qRgb(255, 255, 0)}, {18, qRgb(255, 255, 0)}, {0, qRgb(255, 255, 255)}}},
        {"Dialdeck", kestrel::LAYOUT_A, {{16, 0}, {17, 0}, {18, 0}, {0, 0}}},
    };
    const skin_loader loader;
    for (const auto& [name, layout_text, texts] : skins) {
        const auto skin = loader.load(KESTREL_BUILD_SKINS "/", QString(name) + "_bg.bmp",
                                      QString(name) + "_dn.bmp");
        ASSERT_EQ(std::tuple(skin.background.size(), skin.down.size(), skin.flash),
                  std::tuple(QSize(275, 190), QSize(275, 190), false))
            << name;
        const auto layout = kestrel::build_layout(layout_text, "Horizontal", {0, 0, 275, 190});
        for (int y = 0; y < 190; ++y)
            for (int x = 0; x < 275; ++x) {
                const bool on_key =
                    std::any_of(layout.rects.begin(), layout.rects.begin() + 15, [&](auto& r) {
                        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                    });
                ASSERT_EQ(skin.down.pixel(x, y) != skin.background.pixel(x, y), on_key)
                    << name << " at " << x << "," << y;
            }
        for (const auto& [rect, colour] : texts)
            EXPECT_GE(contrast_under(skin.background, layout.rects[rect], colour), 4.5)
                << name << " rectangle " << rect;
    }
}

}  // namespace
}  // namespace voxline::test
