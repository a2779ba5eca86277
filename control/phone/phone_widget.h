// The window the phone control draws into.
#pragma once

#include <QWidget>
#include <functional>

namespace kestrel {

class phone_widget : public QWidget {
  public:
    // (painter, bounds, the area that needs drawing)
    using paint_hook = std::function<void(QPainter&, const QRect&, const QRect&)>;

    explicit phone_widget(paint_hook paint, QWidget* parent = nullptr)
        : QWidget(parent), m_paint(std::move(paint)) {}

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    paint_hook m_paint;
};

}  // namespace kestrel
