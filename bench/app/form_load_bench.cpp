// How long Open takes on scores of growing size: the text pass alone, the conversion
// alone, and the command on the window (offscreen), which shows the text as well; a score
// of a megabyte or more only until its first lines show (large_open.sh measures the rest).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "control/score_passes.h"
#include "framework/frame_wnd.h"
#include "framework/user_prompts.h"
#include "tezplayer_app.h"
#include "tezplayer_view.h"

namespace {

class FixedPrompts final : public tez::UserPrompts {
  public:
    void MessageBox(QWidget*, const QString&) override {}
    std::optional<QString> OpenFile(QWidget*, const tez::OpenFileRequest&) override { return path; }
    QString path;
};

std::string ScoreFile(std::int64_t lines) {
    const std::string path = "bench-" + std::to_string(lines) + ".tez";
    if (!std::filesystem::exists(path)) {
        std::ofstream out(path, std::ios::binary);
        for (std::int64_t i = 0; i < lines; ++i) {
            out << "I120 K" << 48 + i % 36 << " V" << 60 + i % 60 << " L110\r\n";
        }
    }
    return path;
}

void BM_TextPass(benchmark::State& state) {
    const std::string path = ScoreFile(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(tez::ReadScoreForDisplay(path));
    }
    state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(path));
}

void BM_ScorePass(benchmark::State& state) {
    const std::string path = ScoreFile(state.range(0));
    tez::NoteTable table;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tez::ConvertScoreFile(table, path));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_OpenCommand(benchmark::State& state) {
    const std::string path = ScoreFile(state.range(0));
    tez::NoMidiDevices devices;
    FixedPrompts prompts;
    prompts.path = QString::fromStdString(std::filesystem::absolute(path).string());
    tez::CTezplayerApp app(prompts, devices);
    app.StartWithArguments({QStringLiteral("tezplayer")});
    auto* view = static_cast<tez::DEzazerireVuvu*>(app.MainWnd()->GetActiveView());
    for (auto _ : state) {
        view->OnFileOpen();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    app.ExitInstance();
}

BENCHMARK(BM_TextPass)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScorePass)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCommand)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir work;
    setenv("XDG_CONFIG_HOME", QFile::encodeName(work.path()).constData(), 1);
    QDir::setCurrent(work.path());
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
