#include "ad_rotation.h"

#include <QtDebug>

#include "ad_area.h"
#include "ca_file.h"

namespace dialdeck {

ad_fetcher web_ad_fetcher(const QString& ca_file) {
    return [ca_file](QObject* owner, const QString& url, std::function<void(web_answer)> done) {
        // Owned by the rotation: destroying it aborts the request and its answer.
        auto* get = new WebGet(owner);
        QObject::connect(get, &WebGet::finished, owner,
                         [get, done = std::move(done)](const web_answer& answer) {
                             get->deleteLater();
                             done(answer);
                         });
        get->start({url, "Dialdeck", k_ad_fetch_timeout_ms, k_ad_max_bytes, ca_file});
    };
}

ad_fetcher web_ad_fetcher(const app_settings& settings) {
    return web_ad_fetcher(QString::fromStdString(ca_file_path(settings)));
}

AdRotation::AdRotation(std::vector<ad_entry> entries, AdArea* area, ad_fetcher fetcher,
                       QObject* parent)
    : QObject(parent), m_entries(std::move(entries)), m_area(area), m_fetcher(std::move(fetcher)) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &AdRotation::advance);
}

void AdRotation::start() {
    m_index = 0;
    if (m_entries.empty()) {
        m_timer.stop();
        m_fetch_owner.reset();
        if (m_area) m_area->clear();
        return;
    }
    show_current();
}

void AdRotation::advance() {
    if (m_entries.empty()) return;
    m_index = (m_index + 1) % m_entries.size();
    show_current();
}

void AdRotation::show_current() {
    const ad_entry& entry = m_entries[m_index];
    m_timer.start(entry.seconds * 1000);
    const unsigned generation = ++m_generation;
    m_fetch_owner.reset();
    if (!m_area) return;
    // Nothing of the last picture (nor its link) stays while this one loads or fails.
    m_area->clear();
    const QString picture = QString::fromStdString(entry.picture);
    const QString link = QString::fromStdString(entry.link);
    if (!is_web_picture(entry.picture)) {
        if (!m_area->load(picture) || !m_area->show(link)) {
            qWarning().noquote() << "advertisement skipped:" << m_area->last_error();
        }
        return;
    }
    if (!m_fetcher) return;
    m_fetch_owner = std::make_unique<QObject>();
    m_fetcher(
        m_fetch_owner.get(), picture, [this, generation, picture, link](const web_answer& answer) {
            if (generation != m_generation || !m_area) return;
            if (!answer.ok) {
                qWarning().noquote() << "advertisement skipped:" << picture << answer.error;
                return;
            }
            if (!m_area->load(answer.body) || !m_area->show(link)) {
                qWarning().noquote() << "advertisement skipped:" << picture << m_area->last_error();
            }
        });
}

}  // namespace dialdeck
