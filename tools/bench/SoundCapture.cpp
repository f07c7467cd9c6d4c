// Plays the scene's sound in real time from its construction, headless, for
// a number of seconds: the opening's music and cues, then the scene. With
// OpenAL Soft's wave writer as the device (ALSOFT_CONF naming a file with
// "[general] drivers=wave" and "[wave] file=OUT.wav") the capture shows
// where each sound starts. Frames are updated about 60 times a second and
// not drawn, so the opening holds at 13.9 s (the scene never shows); for
// each opening cue the tool prints the first frame's opening time at or
// after the cue's time, which is when (and at what offset into its file)
// the cue can start.
//
// With --skip-opening, --manual and --trigger WHAT@T (as gloamyard-render
// has them) it records the scene's effect cues instead: frames are drawn
// until the post-process has warmed up, so that the scene can show and the
// opening can be skipped, and each trigger fires at the first frame at or
// after T seconds of run time. The tool prints when the sound device was
// opened and when each trigger fired, both in run time, so that a cue's
// place in the recording can be predicted.

#include "engine/export/SceneTrigger.h"
#include "engine/effects/OpeningSequence.h"
#include "engine/post/GhostBloom.h"
#include "engine/scene/GhostView.h"
#include "engine/scene/HeadlessSceneDriver.h"
#include "engine/sound/SceneSound.h"
#include "platform/audio/AudioDevice.h"

#include <QCoreApplication>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <optional>
#include <thread>
#include <vector>

namespace {

struct Trigger {
    std::string what;
    double at = 0;
    double firedAt = -1.0;
};

bool parseDouble(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

} // namespace

int main(int argc, char** argv)
{
    using namespace gloam;
    using Clock = std::chrono::steady_clock;
    double seconds = 18.0;
    double skipAt = -1.0;
    bool skipOpening = false;
    bool manual = false;
    std::vector<Trigger> triggers;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (a == "--skip-at" && i + 1 < argc) {
            skipAt = std::atof(argv[++i]);
        } else if (a == "--skip-opening") {
            skipOpening = true;
        } else if (a == "--manual") {
            manual = true;
        } else if (a == "--trigger" && i + 1 < argc) {
            const std::string spec = argv[++i];
            const auto atSign = spec.rfind('@');
            Trigger trigger;
            trigger.what = spec.substr(0, atSign);
            if (atSign == std::string::npos || !gloam::SceneTrigger::known(trigger.what) ||
                !parseDouble(spec.substr(atSign + 1).c_str(), trigger.at) || trigger.at < 0) {
                std::fprintf(
                    stderr, "gloamyard-sound-capture: --trigger wants WHAT@SECONDS, e.g. witch@3, not \u201c%s\u201d\n",
                    spec.c_str());
                return 2;
            }
            triggers.push_back(trigger);
        } else {
            std::fprintf(stderr,
                         "Usage: gloamyard-sound-capture [--seconds S] [--skip-at S] [--skip-opening] [--manual]\n"
                         "                               [--trigger WHAT@T ...]\n"
                         "  --seconds       how long to play (default 18)\n"
                         "  --skip-at       skip the opening at this time, as Escape does\n"
                         "  --skip-opening  skip the opening as soon as the scene can show\n"
                         "  --manual        no automatic effects: only the --trigger ones happen\n"
                         "  --trigger WHAT@T  start an effect at T seconds of run time, once the\n"
                         "                  opening is over (repeatable); WHAT is lightning, pumpkins,\n"
                         "                  ghost, ghost=ID, witch, hand, skyrell or amperle\n");
            return 2;
        }
    }
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    try {
        HeadlessSceneDriver driver(160, 72);
        const Clock::time_point start = Clock::now();
        // The recording starts when the device opens: open it now, so that
        // run time and recording time differ by this known moment.
        platform::AudioDevice::shared();
        const double deviceOpenedAt = std::chrono::duration<double>(Clock::now() - start).count();
        double openingBeganAt = -1.0;
        auto view = GhostView::make({0, 0, 160, 72}, true, Vehicle::corsel, SoundMode::app);
        view->sound().configure(true, 1.0F, false);
        if (manual) {
            view->setAutomatic(false);
        }
        if (skipOpening) {
            view->skipOpening();
        }
        // Effects need the scene shown, which needs the post-process warmed
        // up by drawn frames; the opening's recording draws none.
        const bool drawUntilWarm = skipOpening || !triggers.empty();
        double soundOpenedAt = -1.0;
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
            for (Trigger& trigger : triggers) {
                if (trigger.firedAt < 0.0 && elapsed >= trigger.at && view->isReady() && !view->openingPlaying()) {
                    trigger.firedAt = elapsed;
                    gloam::SceneTrigger::fire(*view, trigger.what);
                }
            }
            if (drawUntilWarm && view->isReady() && !view->bloom()->sceneWarmed()) {
                driver.present(*view, delta);
            } else {
                view->render().scene().update(delta);
            }
            if (soundOpenedAt < 0.0 && view->sound().loaded()) {
                soundOpenedAt = std::chrono::duration<double>(Clock::now() - start).count();
            }
            if (openingBeganAt < 0.0 && view->openingPlaying() && view->opening()->time() > 0.0) {
                // The opening's clock runs on the view's uptime: its time 0
                // lies this far before the present frame.
                openingBeganAt = std::chrono::duration<double>(Clock::now() - start).count() - view->opening()->time();
            }
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
        std::printf("  sound device opened at %.3f s of run time: the recording's 0 s\n", deviceOpenedAt);
        std::printf("  sound files taken in (the music started) at %.3f s of run time\n", soundOpenedAt);
        std::printf("  opening began at %.3f s of run time, %.3f s into the recording\n", openingBeganAt,
                    openingBeganAt - deviceOpenedAt);
        for (const Trigger& trigger : triggers) {
            std::printf("  trigger %-9s asked at %6.2f s, fired at %7.3f s of run time (%7.3f s into the recording)\n",
                        trigger.what.c_str(), trigger.at, trigger.firedAt, trigger.firedAt - deviceOpenedAt);
        }
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
