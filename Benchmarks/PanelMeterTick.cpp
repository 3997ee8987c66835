// The main thread's work for one tick of the recording meter (ten a second): the session publishes the
// elapsed time and the level, the panel updates its time and bar, and Qt paints what changed — beside a
// repaint of the whole 420 × 560 panel in the same run, which is what the tick avoids. Offscreen.

#include "PanelFakes.h"
#include "Velmora/Panel/Widgets/LevelMeter.h"
#include "Velmora/Panel/Widgets/PanelContent.h"
#include "Velmora/Panel/Widgets/RecordingInterface.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

// Counts the paints of the meter and of the panel's own background, to show what a tick redraws.
struct PaintCounter final : QObject {
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++(target == meterWidget ? meter : panel);
        }
        return false;
    }
    QObject* meterWidget = nullptr;
    long meter = 0;
    long panel = 0;
};

struct RecordingPanel {
    RecordingPanel() : model(world.makeModel()), content(*model) {
        content.setFixedSize(420, 560);
        content.show();
        model->appear();
        model->toggleRecording();
        world.recording.text_.set("自分: 本日はよろしくお願いします。\n相手: こちらこそ、よろしくお願いします。");
        QCoreApplication::processEvents();
        paints.meterWidget = content.recordingInterface().meter();
        content.recordingInterface().meter()->installEventFilter(&paints);
        content.installEventFilter(&paints);
    }

    paneltest::PanelWorld world;
    std::unique_ptr<velmora::app::PanelModel> model;
    velmora::app::PanelContent content;
    PaintCounter paints;
};

QApplication& application() {
    static int argc = 1;
    static char name[] = "bench-panelmetertick";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication app(argc, argv);
    return app;
}

void BM_MeterTick(benchmark::State& state) {
    application();
    RecordingPanel panel;
    double elapsed = 0;
    int step = 0;
    for (auto _ : state) {
        elapsed += 0.1;
        ++step;
        panel.world.recording.elapsed_.set(elapsed);
        panel.world.recording.level_.set(float(step % 40) / 100.0f);
        QCoreApplication::processEvents();
    }
    state.counters["meterPaints"] = double(panel.paints.meter) / double(state.iterations());
    state.counters["panelPaints"] = double(panel.paints.panel) / double(state.iterations());
}
BENCHMARK(BM_MeterTick)->Unit(benchmark::kMicrosecond);

void BM_WholePanelRepaint(benchmark::State& state) {
    application();
    RecordingPanel panel;
    for (auto _ : state) {
        panel.content.repaint();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_WholePanelRepaint)->Unit(benchmark::kMicrosecond);

} // namespace
