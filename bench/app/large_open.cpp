// Opening a large score in the window (offscreen): how long until its first lines show, the
// longest time the window does not answer (the longest gap between the ticks of a 5 ms timer)
// until the score is shown whole and converted, and the process's peak memory.
// Usage: large_open LINES
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>

#include "framework/frame_wnd.h"
#include "framework/user_prompts.h"
#include "resource_ids.h"
#include "tezplayer_app.h"
#include "tezplayer_view.h"

namespace {

class QuietPrompts final : public tez::UserPrompts {
  public:
    void MessageBox(QWidget*, const QString&) override {}
    std::optional<QString> OpenFile(QWidget*, const tez::OpenFileRequest&) override {
        return std::nullopt;
    }
};

void WriteScore(const char* path, long lines) {
    std::ofstream out(path, std::ios::binary);
    for (long i = 0; i < lines; ++i) {
        out << "I120 K" << 48 + i % 36 << " V" << 60 + i % 60 << " L110\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 100000;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir work;
    setenv("XDG_CONFIG_HOME", QFile::encodeName(work.path()).constData(), 1);
    QDir::setCurrent(work.path());
    WriteScore("large.tez", lines);
    QApplication application(argc, argv);
    tez::NoMidiDevices devices;
    QuietPrompts prompts;
    tez::CTezplayerApp app(prompts, devices);
    app.StartWithArguments({QStringLiteral("tezplayer")});
    auto* view = static_cast<tez::DEzazerireVuvu*>(app.MainWnd()->GetActiveView());
    auto* box = static_cast<QPlainTextEdit*>(view->GetDlgItem(tez::ids::kScoreBox));

    QElapsedTimer clock;
    qint64 firstShown = -1, lastTick = 0, longestGap = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
        if (firstShown < 0 && box->document()->blockCount() > 1) {
            firstShown = now;
        }
        if (!view->IsLoading() && box->document()->blockCount() > lines) {
            QApplication::quit();
        }
    });
    clock.start();
    ticks.start(5);
    QTimer::singleShot(0, [&] {
        view->OpenNamedScore(QStringLiteral("large.tez"));
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
        if (firstShown < 0 && box->document()->blockCount() > 1) {
            firstShown = now;
        }
    });
    QApplication::exec();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "open %7ld lines: first lines shown %6lld ms, whole %6lld ms, longest unanswered %6lld ms, "
        "peak RSS %4ld MB\n",
        lines, static_cast<long long>(firstShown), static_cast<long long>(clock.elapsed()),
        static_cast<long long>(longestGap), usage.ru_maxrss / 1024);
    app.ExitInstance();
    return 0;
}
