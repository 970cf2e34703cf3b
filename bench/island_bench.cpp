// One frame of the island as the window repaints it: the open island with eight rows and a
// selection painted into an image. Settled frames reuse the cached shadow; the animated case
// opens and closes the island at 60 frames a second, so most frames blur the shadow anew.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <memory>

#include "models/island_model.h"
#include "models/animation.h"
#include "views/island_view.h"

namespace {

using namespace wren;

constexpr double kNow = 1718438400;

std::unique_ptr<IslandModel> openIsland() {
    MachineSnapshot snapshot;
    for (int i = 0; i < 8; ++i) {
        SessionSummary s;
        s.nativeID = "00000000-0000-4000-8000-00000000000" + std::to_string(i);
        s.id = "claude:" + s.nativeID;
        s.agent = i % 2 == 0 ? Agent::claude : Agent::codex;
        s.project = "project-with-a-longer-name-" + std::to_string(i);
        s.lastActivity = instantFromUnix(kNow - 300.0 * i);
        s.lastUserMessage = "Refactor the parser so a bad line costs only that line, then bench it";
        s.reportedTokens = 120000 + 1000 * i;
        s.contextWindow = 200000;
        s.segments = {{"useful", "Useful", 70000, ContextSegment::usefulColor},
                      {"stale", "Stale reads", 30000, ContextSegment::staleColor},
                      {"repeat", "Repeats", 15000, ContextSegment::repeatColor},
                      {"dead", "Dead", 5000, ContextSegment::deadColor}};
        snapshot.sessions.push_back(s);
    }
    snapshot.installs.agents = {Agent::claude};
    snapshot.windows[Agent::claude] = RateWindow{62, 300, {}};

    WrenContextWidget::Options options;
    options.reader = [snapshot] { return snapshot; };
    options.clock = [] { return instantFromUnix(kNow); };
    options.setup = ContextModel::Setup{LocalCalendar("UTC"), std::nullopt, {}};
    auto model = std::make_unique<IslandModel>(std::move(options));
    model->widget().refreshNow();
    model->setExpanded(true);
    model->widget().toggleSelection(model->widget().sessions()[2].id);
    return model;
}

void paintFrame(benchmark::State& state, bool moving) {
    anim::Animator& animator = anim::Animator::instance();
    double t = 0;
    animator.setClock([&t] { return t; });
    animator.setDisabled(!moving);
    auto model = openIsland();
    IslandView view(*model);
    view.resize(view.sizeHint());
    view.advance(anim::Animator::instance().now());
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);

    int frame = 0;
    for (auto _ : state) {
        if (moving) {
            // Open and close over and over at 60 frames a second: the body changes size on
            // every frame, so its shadow is blurred anew each time.
            if (frame % 40 == 0) model->setExpanded(!model->isExpanded());
            t += 1.0 / 60;
            animator.advance();
        }
        image.fill(Qt::transparent);
        view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::DoNotOptimize(image.constBits());
        ++frame;
    }
    state.counters["frames"] = frame;
    animator.setClock({});
}

void BM_OpenIslandFrame(benchmark::State& state) {
    paintFrame(state, false);
}
void BM_OpenIslandFrameResizing(benchmark::State& state) {
    paintFrame(state, true);
}

BENCHMARK(BM_OpenIslandFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenIslandFrameResizing)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
