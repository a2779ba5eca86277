// Decoding an advertisement picture into the frames the area shows, with
// bounds, since the bytes come from files and web servers we do not control.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <vector>

namespace dialdeck {

struct ad_limits {
    int max_side = 4096;
    int max_frames = 500;
    // All decoded frames together, 32-bit pixels.
    qint64 max_pixel_bytes = 256ll * 1024 * 1024;
    // Per decoded image, handed to the reader: one of the largest side.
    int allocation_limit_mb = 64;
};

struct ad_frame {
    // The whole picture as it looks while this frame shows.
    QImage image;
    int delay_ms = 0;
};

struct ad_picture {
    QSize size;
    // One frame: a still picture.
    std::vector<ad_frame> frames;
    // Why nothing was decoded; empty when frames are there.
    QString error;
};

// Format from the content, never from a name. Frames past a broken one are
// dropped; an animation keeps the frames before it.
ad_picture decode_ad_picture(const QByteArray& bytes, const ad_limits& limits = {});

// A frame delay as the reader reports it (ms) to the time it is shown: short
// delays (under 5 hundredths) mean "as fast as you like" and show 100 ms.
int ad_frame_delay_ms(int reported_ms);

}  // namespace dialdeck
