#include "version_dialogs.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

namespace dialdeck {

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

VersionDialogs::VersionDialogs(QWidget* parent, opener open)
    : m_parent(parent), m_open(std::move(open)) {}

void VersionDialogs::error(const std::string& caption, const std::string& text) {
    QMessageBox::critical(m_parent, q(caption), q(text));
}

void VersionDialogs::inform(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString(), q(text), QMessageBox::Ok, m_parent);
    box.exec();
}

bool VersionDialogs::ask(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Question, q(caption), q(text), QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    return box.exec() == QMessageBox::Yes;
}

void VersionDialogs::open_url(const std::string& url) {
    if (m_open) {
        m_open(url);
        return;
    }
    QDesktopServices::openUrl(QUrl(q(url), QUrl::TolerantMode));
}

}  // namespace dialdeck
