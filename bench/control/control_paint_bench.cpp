// The phone drawing itself with our shipped skin: a full paint at the
// skin's own size and at twice it, the repaint of one pressed key, and the
// look read again after a colour change and after a skin change.
//
// Goals: a full paint under 1 ms at 275x190; a key press shown within one
// 60 Hz frame (16 ms), so its repaint must be far below that.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <memory>

#include "phone/active_x_phone.h"

namespace {

using kestrel::active_x_phone;

struct phone_deleter {
    void operator()(active_x_phone* phone) const { phone->Release(); }
};

// Set up without an engine: the status shows the failure, which is drawn
// like any other.
std::unique_ptr<active_x_phone, phone_deleter> make_phone(QSize size) {
    kestrel::control_environment environment;
    environment.create_engine = [](const char*, ITarnwickVXL** engine) {
        *engine = nullptr;
        return KESTREL_E_CLASS_NOT_REGISTERED;
    };
    environment.log_file = QDir::tempPath().toStdString() + "/VXLAX-paint-bench.log";
    environment.echo_delay = 0;
    std::unique_ptr<active_x_phone, phone_deleter> phone(
        new active_x_phone(std::move(environment), nullptr));
    phone->SetParameter("ParametersToExpect", "0");
    phone->Widget()->resize(size);
    phone->InitialSetup();
    QCoreApplication::sendPostedEvents();
    return phone;
}

void full_paint(benchmark::State& state, QSize size) {
    auto phone = make_phone(size);
    QImage target(size, QImage::Format_RGB32);
    const QRect bounds({0, 0}, size);
    for (auto _ : state) {
        QPainter painter(&target);
        phone->OnDraw(painter, bounds);
    }
    state.counters["cache_kB"] = static_cast<double>(phone->render().cache_bytes()) / 1024;
}

void BM_full_paint_275x190(benchmark::State& state) {
    full_paint(state, {275, 190});
}
BENCHMARK(BM_full_paint_275x190)->Unit(benchmark::kMicrosecond);

void BM_full_paint_550x380(benchmark::State& state) {
    full_paint(state, {550, 380});
}
BENCHMARK(BM_full_paint_550x380)->Unit(benchmark::kMicrosecond);

// Key 5 held on the keyboard: only its rectangle is drawn again.
void BM_key_repaint(benchmark::State& state) {
    auto phone = make_phone({275, 190});
    QImage target(275, 190, QImage::Format_RGB32);
    const kestrel::layout_rect& key = phone->current_layout().rects[5];
    const QRect dirty(key.left, key.top, key.width(), key.height());
    phone->OnKeyDown('5');
    for (auto _ : state) {
        QPainter painter(&target);
        painter.setClipRect(dirty);
        phone->OnDraw(painter, target.rect(), dirty);
    }
    phone->OnKeyUp('5');
}
BENCHMARK(BM_key_repaint)->Unit(benchmark::kMicrosecond);

void BM_read_after_colour_change(benchmark::State& state) {
    auto phone = make_phone({275, 190});
    bool flip = false;
    for (auto _ : state)
        phone->SetParameter("StatusTextColor", (flip = !flip) ? "#FF0000" : "#00FF00");
}
BENCHMARK(BM_read_after_colour_change)->Unit(benchmark::kMicrosecond);

// Two changes per round (background, then down picture); each loads both
// images of the named skin again and drops the scaled copies.
void BM_read_after_skin_change(benchmark::State& state) {
    auto phone = make_phone({275, 190});
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        phone->SetParameter("BackgroundBMP", flip ? "Dialdeck_bg.bmp" : "Voxline_bg.bmp");
        phone->SetParameter("BackgroundDownBMP", flip ? "Dialdeck_dn.bmp" : "Voxline_dn.bmp");
    }
}
BENCHMARK(BM_read_after_skin_change)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    qputenv("KESTREL_LOCAL_IP", "127.0.0.1");
    qputenv("KESTREL_MIXER", "none");
    if (qgetenv("KESTREL_SKINS").isEmpty()) qputenv("KESTREL_SKINS", KESTREL_BUILD_SKINS);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
