// The application's extras: a 500-record phone book loaded and saved, a
// 400x300 animated ad of 50 frames decoded from memory (with the decoded
// frames' size as a counter), and one directory exchange against the lab on
// 127.0.99.1, which is started here and stopped at the end.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "ad_picture.h"
#include "contacts_book.h"
#include "directory_client.h"
#include "lab_launcher.h"

namespace {

// The book of the figures; a larger one shows how the costs grow.
constexpr int k_records = 500;
constexpr int k_large_book = 2000;
constexpr const char* k_lab_address = "127.0.99.1";

dialdeck::contact_record numbered(int n) {
    return {"First" + std::to_string(n), "Last" + std::to_string(n), std::to_string(7000000 + n)};
}

// A phone book of `records` records in a fresh temporary folder.
struct book_folder {
    QTemporaryDir dir;
    std::unique_ptr<dialdeck::contacts_book> book;

    bool ready(int records) {
        if (!dir.isValid()) return false;
        std::string text = "<Table>\n";
        for (int n = 0; n < records; ++n) text += dialdeck::record_text(numbered(n));
        text += "</Table>\n";
        const QString path = dir.filePath(dialdeck::k_contacts_file_name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(text.data(), qint64(text.size())) != qint64(text.size()))
            return false;
        book = std::make_unique<dialdeck::contacts_book>(path.toStdString());
        return true;
    }
};

void BM_contacts_load(benchmark::State& state) {
    const int records = int(state.range(0));
    book_folder folder;
    if (!folder.ready(records)) return state.SkipWithError("cannot write the phone book");
    for (auto _ : state) {
        auto loaded = folder.book->load();
        const auto* loaded_records = std::get_if<std::vector<dialdeck::contact_record>>(&loaded);
        if (!loaded_records || loaded_records->size() != size_t(records))
            return state.SkipWithError("the phone book did not load");
        benchmark::DoNotOptimize(loaded_records->data());
    }
}
BENCHMARK(BM_contacts_load)->Arg(k_records)->Arg(k_large_book)->Unit(benchmark::kMicrosecond);

// One change saved: the last record replaced, turn about with another, so
// the book keeps its size; the whole file is rewritten and synced.
void BM_contacts_save(benchmark::State& state) {
    const int records = int(state.range(0));
    book_folder folder;
    if (!folder.ready(records)) return state.SkipWithError("cannot write the phone book");
    dialdeck::contact_record current = numbered(records - 1);
    const dialdeck::contact_record other = numbered(records);
    for (auto _ : state) {
        const dialdeck::contact_record replacement =
            current == other ? numbered(records - 1) : other;
        if (folder.book->replace(size_t(records - 1), current, replacement) !=
            dialdeck::contacts_save::saved)
            return state.SkipWithError("the change was not saved");
        current = replacement;
    }
}
BENCHMARK(BM_contacts_save)->Arg(k_records)->Arg(k_large_book)->Unit(benchmark::kMicrosecond);

void BM_ad_picture_decode(benchmark::State& state) {
    QFile file(AD_GIF_FILE);
    if (!file.open(QIODevice::ReadOnly)) return state.SkipWithError("no generated GIF");
    const QByteArray bytes = file.readAll();
    qint64 frame_bytes = 0;
    size_t frames = 0;
    for (auto _ : state) {
        const dialdeck::ad_picture picture = dialdeck::decode_ad_picture(bytes);
        frames = picture.frames.size();
        frame_bytes = 0;
        for (const dialdeck::ad_frame& frame : picture.frames)
            frame_bytes += frame.image.sizeInBytes();
    }
    if (frames != 50) return state.SkipWithError("the GIF did not decode into 50 frames");
    state.counters["frames"] = double(frames);
    state.counters["frame_bytes"] = double(frame_bytes);
    state.counters["gif_bytes"] = double(bytes.size());
}
BENCHMARK(BM_ad_picture_decode)->Unit(benchmark::kMillisecond);

voxline::test::lab_process* g_lab = nullptr;

// A contact lookup, as the phone book's search makes it: connect, request,
// answer, close.
void BM_directory_exchange(benchmark::State& state) {
    if (!g_lab || !g_lab->directory_port) return state.SkipWithError("the lab did not start");
    dialdeck::DirectoryClient client;
    client.set_exclude_user_input(false);
    if (!client.open(k_lab_address, g_lab->directory_port))
        return state.SkipWithError("cannot reach the lab's directory");
    for (auto _ : state) {
        if (client.exchange(9, "2191001:undefined", 2) != 1)
            return state.SkipWithError(client.last_error().c_str());
    }
    client.close();
}
BENCHMARK(BM_directory_exchange)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    voxline::test::lab_process directory_lab(k_lab_address);
    g_lab = &directory_lab;
    benchmark::RunSpecifiedBenchmarks();
    g_lab = nullptr;
    benchmark::Shutdown();
    return 0;
}
