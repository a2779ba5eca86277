#include "ad_picture.h"

#include <QBuffer>
#include <QImageReader>

namespace dialdeck {

namespace {

ad_picture refused(const QString& why) {
    ad_picture picture;
    picture.error = why;
    return picture;
}

// The reader reports a GIF's first frame size, not its screen, and decodes onto
// the whole screen: the screen is read from the header before any decoding.
QSize gif_screen(const QByteArray& bytes) {
    if (bytes.size() < 10 || !bytes.startsWith("GIF")) return {};
    const auto byte = [&](int at) { return int(static_cast<unsigned char>(bytes[at])); };
    return {byte(6) | byte(7) << 8, byte(8) | byte(9) << 8};
}

qint64 pixel_bytes(QSize size) {
    return qint64(size.width()) * size.height() * 4;
}

}  // namespace

int ad_frame_delay_ms(int reported_ms) {
    return reported_ms < 50 ? 100 : reported_ms;
}

ad_picture decode_ad_picture(const QByteArray& bytes, const ad_limits& limits) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAllocationLimit(limits.allocation_limit_mb);
    if (!reader.canRead()) return refused("not a picture");

    auto too_large = [&](QSize size) {
        return size.width() > limits.max_side || size.height() > limits.max_side;
    };
    // Checked before any pixel is decoded, when the format says its size up front.
    const QSize announced = reader.size();
    if ((announced.isValid() && too_large(announced)) || too_large(gif_screen(bytes))) {
        return refused(QString("picture larger than %1 pixels a side").arg(limits.max_side));
    }
    if (reader.imageCount() > limits.max_frames) {
        return refused(QString("more than %1 frames").arg(limits.max_frames));
    }

    ad_picture picture;
    qint64 total = 0;
    for (;;) {
        QImage image;
        if (!reader.read(&image)) break;
        if (too_large(image.size())) {
            return refused(QString("picture larger than %1 pixels a side").arg(limits.max_side));
        }
        if (int(picture.frames.size()) == limits.max_frames) {
            return refused(QString("more than %1 frames").arg(limits.max_frames));
        }
        total += pixel_bytes(image.size());
        if (total > limits.max_pixel_bytes) return refused("frames too large together");
        if (picture.size.isEmpty()) picture.size = image.size();
        picture.frames.push_back({image.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                                  ad_frame_delay_ms(reader.nextImageDelay())});
        if (!reader.supportsAnimation()) break;
    }
    if (picture.frames.empty()) return refused("unreadable picture: " + reader.errorString());
    return picture;
}

}  // namespace dialdeck
