// The advertisement rotation (the main window's timer 101): shows the first
// entry at once, each entry for its own time, and wraps around. A picture that
// cannot be read or fetched leaves the area empty for its time.
//
// The main window creates it after the area, as its own child, from its
// settings (file pictures are taken below the settings' application folder,
// web pictures trust the settings' CAFile):
//     m_ads = new dialdeck::AdRotation(dialdeck::ad_entries(settings), area,
//                                      dialdeck::web_ad_fetcher(settings), this);
//     m_ads->start();
// Without entries start() leaves the area empty and runs no timer.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "ad_entries.h"
#include "web_get.h"

namespace dialdeck {

class AdArea;
class app_settings;

// Fetches an http(s) picture; `done` runs once on the calling thread unless
// `owner` is destroyed first.
using ad_fetcher =
    std::function<void(QObject* owner, const QString& url, std::function<void(web_answer)> done)>;

inline constexpr int k_ad_fetch_timeout_ms = 10'000;
inline constexpr qint64 k_ad_max_bytes = 4 * 1024 * 1024;

// WebGet with the given CA file (empty: the system's), 10 s and 4 MiB.
ad_fetcher web_ad_fetcher(const QString& ca_file);
// The same with the settings' CAFile.
ad_fetcher web_ad_fetcher(const app_settings& settings);

class AdRotation : public QObject {
    Q_OBJECT
  public:
    AdRotation(std::vector<ad_entry> entries, AdArea* area, ad_fetcher fetcher,
               QObject* parent = nullptr);

    void start();

    const std::vector<ad_entry>& entries() const { return m_entries; }
    size_t index() const { return m_index; }
    // The running timer's period; 0 when none runs.
    int interval_ms() const { return m_timer.isActive() ? m_timer.interval() : 0; }

  public slots:
    // Timer 101: the next entry, restarting the timer with its time.
    void advance();

  private:
    void show_current();

    std::vector<ad_entry> m_entries;
    QPointer<AdArea> m_area;
    ad_fetcher m_fetcher;
    QTimer m_timer;
    size_t m_index = 0;
    // Owns the current entry's request: replacing it aborts a fetch still
    // running, so a hanging server holds one connection, not one per entry.
    std::unique_ptr<QObject> m_fetch_owner;
    // Tells a late answer for an entry no longer shown from the current one.
    unsigned m_generation = 0;
};

}  // namespace dialdeck
