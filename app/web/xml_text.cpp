#include "xml_text.h"

#include <QXmlStreamReader>

namespace dialdeck {

std::string xml_element_text(const QByteArray& document, std::string_view name) {
    const QString wanted = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    QXmlStreamReader reader(document);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == wanted) {
            const QString text = reader.readElementText(QXmlStreamReader::IncludeChildElements);
            if (reader.hasError()) return {};
            return text.toStdString();
        }
    }
    return {};
}

}  // namespace dialdeck
