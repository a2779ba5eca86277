// The lab's advertisement pictures, written once per program, and hand-made GIFs.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>

#include "lab_launcher.h"

namespace voxline::test {

inline const std::string& lab_pictures_folder() {
    static temp_folder folder;
    [[maybe_unused]] static const auto written =
        run_lab({"--write-ads", QString::fromStdString(folder.path())});
    return folder.path();
}

inline QByteArray lab_picture(const char* name) {
    QFile file(QString::fromStdString(lab_pictures_folder()) + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A GIF of 1x1 frames on a screen of the given size.
inline QByteArray tiny_gif(int frames, int width = 1, int height = 1) {
    QByteArray gif("GIF89a");
    for (int side : {width, height}) gif += QByteArray(1, char(side & 0xff)) + char(side >> 8);
    gif += QByteArray("\x80\x00\x00\x00\x00\x00\xff\xff\xff", 9);  // a two-colour table
    for (int i = 0; i < frames; ++i) {
        gif += QByteArray("\x21\xf9\x04\x00\x0a\x00\x00\x00", 8);  // 10 hundredths
        gif += QByteArray("\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00", 15);
    }
    return gif + ";";
}

}  // namespace voxline::test
