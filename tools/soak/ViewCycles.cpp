#include "tools/soak/ViewCycles.h"

#include "engine/scene/GhostView.h"
#include "engine/scene/HeadlessSceneDriver.h"
#include "platform/assets/TextureResource.h"
#include "platform/mesh/MeshResource.h"
#include "platform/render/FramePacketBuilder.h"
#include "platform/render/Renderer.h"
#include "saver/GloamyardNativeView.h"
#include "saver/GloamyardViewController.h"
#include "saver/ProcessActivity.h"
#include "saver/SaverGhostScene.h"
#include "saver/SaverServices.h"
#include "saver/QtSaverTimer.h"
#include "saver/SaverWindow.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace gloam::soak {

namespace {

using Clock = std::chrono::steady_clock;

// One monitor with a running screen-saver session; the saver's real scene.
class CycleServices : public saver::SaverServices {
public:
    explicit CycleServices(saver::SaverSize size)
        : size_(size)
    {}
    std::unique_ptr<saver::SaverTimer> schedule(double seconds, bool repeats, std::function<void()> action) override
    {
        return std::make_unique<saver::QtSaverTimer>(seconds, repeats, std::move(action));
    }
    std::shared_ptr<saver::SaverScene> makeScene(saver::SaverSize frame, Vehicle vehicle) override
    {
        return std::make_shared<saver::SaverGhostScene>(frame, vehicle);
    }
    Vehicle storedVehicle() override { return Vehicle::corsel; }
    bool screenSaverRunning() override { return true; }
    std::optional<saver::SaverScreen> firstScreen() override { return saver::SaverScreen{0, size_, 1.0}; }
    std::shared_ptr<void> beginActivity(const std::string& reason) override
    {
        return std::make_shared<saver::ProcessActivity>(reason);
    }
    void record(const std::function<std::string()>&) override {}

private:
    saver::SaverSize size_;
};

// The window the views sit in; it keeps the scene the view added, which
// the cycle draws.
class CycleWindow : public saver::SaverWindow {
public:
    explicit CycleWindow(saver::SaverSize size)
        : size_(size)
    {}
    std::optional<saver::SaverScreen> screen() const override { return saver::SaverScreen{0, size_, 1.0}; }
    void addScene(const std::shared_ptr<saver::SaverScene>& scene) override
    {
        scene_ = std::dynamic_pointer_cast<saver::SaverGhostScene>(scene);
    }
    void removeScene(const saver::SaverScene& scene) override
    {
        if (scene_.get() == &scene) {
            scene_.reset();
        }
    }
    saver::SaverGhostScene* scene() const { return scene_.get(); }

private:
    saver::SaverSize size_;
    std::shared_ptr<saver::SaverGhostScene> scene_;
};

// Lets the event loop run for a while: timers, the loading task, deferred
// deletions.
void pump(double seconds)
{
    const Clock::time_point end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace

ViewCycles::ViewCycles(Options options)
    : options_(options)
{}

std::vector<SoakSample> ViewCycles::run()
{
    const saver::SaverSize size{static_cast<double>(options_.width), static_cast<double>(options_.height)};
    HeadlessSceneDriver driver(options_.width, options_.height);
    CycleServices services(size);
    auto window = std::make_shared<CycleWindow>(size);

    std::printf("Gloamyard saver view cycles: %d cycles at %dx%d, %d frames each\n", options_.cycles, options_.width,
                options_.height, options_.frames);
    SoakSample::printHeader("cycle");
    std::vector<SoakSample> samples;
    const Clock::time_point start = Clock::now();
    long frames = 0;
    const auto read = [&](int cycle) {
        const SoakSample s = SoakSample::take(cycle, frames, start, driver);
        samples.push_back(s);
        s.print();
    };
    read(0);

    for (int cycle = 1; cycle <= options_.cycles; ++cycle) {
        auto controller = std::make_unique<saver::GloamyardViewController>(services);
        const std::shared_ptr<saver::GloamyardNativeView> view = controller->view();
        view->setFrameSize(size);
        view->moveToWindow(window);
        view->layout();
        view->startAnimation();

        // The settle delay, then the load; frames are drawn all the while,
        // as the saver's window does.
        const Clock::time_point began = Clock::now();
        int drawn = 0;
        while (drawn < options_.frames) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            saver::SaverGhostScene* scene = window->scene();
            if (scene == nullptr) {
                QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
            } else {
                driver.present(scene->view(), 1.0 / 30.0);
                ++frames;
                drawn += scene->view().isReady() ? 1 : 0;
            }
            if (Clock::now() - began > std::chrono::minutes(3)) {
                throw std::runtime_error("cycle " + std::to_string(cycle) + ": the scene did not load");
            }
        }

        // The host takes the view away: stopped, then dropped.
        view->stopAnimation();
        view->moveToWindow(nullptr);
        controller.reset();
        pump(0.3);
        // The renderer and the packet builder still hold the GL copies of
        // the last scene here; the next scene's frames release them.
        read(cycle);
    }
    std::printf("\n");
    SoakSummary::of(samples, options_.settled).print("cycle", "cycle", 1.0);
    return samples;
}

} // namespace gloam::soak
