// Plays the scene's sound in real time from its construction, headless, for
// a number of seconds: the opening's music and cues, then the scene. With
// OpenAL Soft's wave writer as the device (ALSOFT_CONF naming a file with
// "[general] drivers=wave" and "[wave] file=OUT.wav") the capture shows
// where each sound starts. Frames are updated about 60 times a second and
// not drawn, so the opening holds at 13.9 s (the scene never shows); for
// each opening cue the tool prints the first frame's opening time at or
// after the cue's time, which is when (and at what offset into its file)
// the cue can start.

#include "engine/effects/OpeningSequence.h"
#include "engine/post/GhostBloom.h"
#include "engine/scene/GhostView.h"
#include "engine/scene/HeadlessSceneDriver.h"
#include "engine/sound/SceneSound.h"

#include <QCoreApplication>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    using namespace gloam;
    using Clock = std::chrono::steady_clock;
    double seconds = 18.0;
    double skipAt = -1.0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (a == "--skip-at" && i + 1 < argc) {
            skipAt = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "Usage: gloamyard-sound-capture [--seconds S] [--skip-at S]\n"
                                 "  --seconds  how long to play (default 18)\n"
                                 "  --skip-at  skip the opening at this time, as Escape does\n");
            return 2;
        }
    }
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    try {
        HeadlessSceneDriver driver(160, 72);
        const Clock::time_point start = Clock::now();
        auto view = GhostView::make({0, 0, 160, 72}, true, Vehicle::corsel, SoundMode::app);
        view->sound().configure(true, 1.0F, false);
        Clock::time_point last = Clock::now();
        bool skipped = false;
        struct Cue {
            const char* name;
            double at;
            double started = -1.0;
        };
        std::array<Cue, 4> cues{{{"titleThunder", 2.15}, {"bats", 2.7}, {"openingWitch", 6.2}, {"hillThunder", 13.1}}};
        while (true) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            if (elapsed >= seconds) {
                break;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            if (!skipped && skipAt >= 0.0 && elapsed >= skipAt) {
                skipped = true;
                view->keyDown(GhostView::Key::escape);
            }
            const double delta = std::chrono::duration<double>(Clock::now() - last).count();
            last = Clock::now();
            view->render().scene().update(delta);
            if (view->openingPlaying()) {
                for (Cue& cue : cues) {
                    if (cue.started < 0.0 && view->opening()->time() >= cue.at) {
                        cue.started = view->opening()->time();
                    }
                }
            }
            std::this_thread::sleep_until(last + std::chrono::milliseconds(16));
        }
        std::printf("gloamyard-sound-capture: %.2f s played, opening at %.2f s%s%s\n", seconds,
                    view->opening() ? view->opening()->time() : 0.0, view->isReady() ? ", scene ready" : "",
                    view->sound().loadError() ? (", " + *view->sound().loadError()).c_str() : "");
        for (const Cue& cue : cues) {
            std::printf("  %-13s due at %5.2f s, first frame at %5.2f s (offset %.3f s)\n", cue.name, cue.at,
                        cue.started, cue.started - cue.at);
        }
        view->stop();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "gloamyard-sound-capture: %s\n", error.what());
        return 1;
    }
    return 0;
}
