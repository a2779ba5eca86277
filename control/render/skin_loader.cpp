#include "render/skin_loader.h"

#include <dlfcn.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include "log/control_log.h"
#include "render/dib_header.h"

namespace kestrel {

namespace {

// Megabytes of one RGB32 image at the largest accepted size, and a little room.
constexpr int SKIN_ALLOCATION_MB = SKIN_MAX_SIDE * SKIN_MAX_SIDE * 4 / (1024 * 1024) + 1;

bool name_is_safe(const QString& name) {
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1String(".."));
}

bool too_large(const QSize& size) {
    return size.width() > SKIN_MAX_SIDE || size.height() > SKIN_MAX_SIDE;
}

// The size the file's bitmap header claims, or what the reader finds for
// other formats.
bool claims_too_large(const QString& path, QImageReader& reader) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray head = file.read(32);
        if (const auto dib = read_dib_size(reinterpret_cast<const uint8_t*>(head.constData()),
                                           static_cast<size_t>(head.size())))
            return dib->width > SKIN_MAX_SIDE || dib->height > SKIN_MAX_SIDE;
    }
    return reader.canRead() && too_large(reader.size());
}

// Restores the process-wide reader limit whatever way the read ends.
class allocation_limit_scope {
  public:
    explicit allocation_limit_scope(int mb) : m_saved(QImageReader::allocationLimit()) {
        QImageReader::setAllocationLimit(mb);
    }
    ~allocation_limit_scope() { QImageReader::setAllocationLimit(m_saved); }

  private:
    int m_saved;
};

}  // namespace

QString skin_folder() {
    const QByteArray configured = qgetenv("KESTREL_SKINS");
    QString folder;
    if (!configured.isEmpty()) {
        folder = QString::fromLocal8Bit(configured);
    } else {
        Dl_info info{};
        const QString library =
            dladdr(reinterpret_cast<void*>(&skin_folder), &info) && info.dli_fname
                ? QString::fromLocal8Bit(info.dli_fname)
                : QString();
        folder = QFileInfo(library).absolutePath() + QStringLiteral("/../share/dialdeck/skins");
        folder = QDir::cleanPath(folder);
    }
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

void skin_loader::log(int level, const QString& text) const {
    if (m_log) m_log->LogMessage(level, text.toStdString());
}

QImage skin_loader::load_image(const QString& folder, const QString& name) const {
    if (name.isEmpty()) return {};
    if (!name_is_safe(name)) {
        log(LOG_ERROR, QStringLiteral("Skin file name refused: %1").arg(name));
        return {};
    }
    allocation_limit_scope limit(SKIN_ALLOCATION_MB);
    const QString path = folder + name;
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (claims_too_large(path, reader)) {
        log(LOG_ERROR, QString::fromLatin1(SKIN_TOO_LARGE));
        if (m_too_large) m_too_large(QString::fromLatin1(SKIN_TOO_LARGE));
        return {};
    }
    QImage image = reader.read();
    if (image.isNull() || too_large(image.size())) return {};
    return image.convertToFormat(QImage::Format_RGB32);
}

skin_images skin_loader::load(const QString& folder, const QString& background_name,
                              const QString& down_name) const {
    skin_images out;
    out.background = load_image(folder, background_name);
    if (down_name.compare(background_name, Qt::CaseInsensitive) != 0) {
        out.down = load_image(folder, down_name);
        if (!out.down.isNull()) out.flash = false;
    }
    return out;
}

}  // namespace kestrel
