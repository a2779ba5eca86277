// The main window's advertisement picture: a still picture, or an animated one
// whose frames advance on a timer of the window's thread (painting and
// animation never share a surface across threads). A click opens the
// picture's link.
//
// The main window creates it as a child and places it by WindowDressing 5-6:
//     auto* area = new dialdeck::AdArea(this, [this](const QString& url) { open_url(url); });
//     area->move(x, y);
// and hands it to an AdRotation (ad_rotation.h), which loads and shows each
// picture; the area resizes itself to the picture.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "ad_picture.h"

namespace dialdeck {

class AdArea : public QWidget {
    Q_OBJECT
  public:
    using link_opener = std::function<void(const QString& link)>;

    explicit AdArea(QWidget* parent = nullptr, link_opener opener = {},
                    const ad_limits& limits = {});
    ~AdArea() override;

    // Whole-file read, at most 4 MiB; false when unreadable or not a picture.
    bool load(const QString& file);
    // Any previous picture is dropped first, so a failure leaves the area empty.
    bool load(const QByteArray& bytes);
    // Shows what was loaded and starts an animation; false when nothing is loaded.
    bool show(const QString& link);
    using QWidget::show;
    // Ends the animation at once; the current frame stays.
    void stop();
    // Back to an empty area: no picture, no link.
    void clear();

    int frame_count() const { return static_cast<int>(m_picture.frames.size()); }
    int current_frame() const { return m_frame; }
    // How long the current frame shows; 0 for a still picture or a stopped one.
    int frame_interval_ms() const { return animating() ? m_timer.interval() : 0; }
    bool animating() const { return m_timer.isActive(); }
    const QString& link() const { return m_link; }
    const QString& last_error() const { return m_error; }

  public slots:
    // The animation's step: the next frame, after the last the first again.
    void next_frame();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    link_opener m_opener;
    ad_limits m_limits;
    ad_picture m_picture;
    int m_frame = 0;
    QTimer m_timer;
    QString m_link;
    QString m_error;
    bool m_pressed = false;
};

}  // namespace dialdeck
