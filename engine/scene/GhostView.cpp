#include "engine/scene/GhostView.h"

#include "engine/effects/GraveGhostEffect.h"
#include "engine/effects/HandEffect.h"
#include "engine/effects/LightningEffect.h"
#include "engine/effects/OpeningSequence.h"
#include "engine/effects/PersistentEffects.h"
#include "engine/effects/WitchEffect.h"
#include "engine/eggs/EasterEggEffects.h"
#include "engine/post/GhostBloom.h"
#include "engine/prefs/FlashingPreference.h"
#include "engine/prefs/VehiclePreference.h"
#include "engine/common/HalloweenResources.h"
#include "platform/assets/AnimationPlaybackController.h"
#include "platform/render/PostProcessContext.h"
#include "resources/SceneLandmarks.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace gloam {

namespace {

double systemUptime()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Seconds the opening may reach before the scene can be shown.
constexpr double openingHoldTime = 13.9;
// Longest wait of the opening at its start for its music's files.
constexpr double openingSoundWait = 3.0;
// How long the screen saver says that its sound is off.
constexpr double soundOffNoticeSeconds = 8.0;
// Automatic tries of the charging surprise (the first and its retry)
// before the sky surprise takes its turn.
constexpr int chargerTries = 2;

const char* const waitingText = "Preparing the scene\u2026";
const char* const soundOffText = "Sound off \u00b7 Enable in Screen Saver Options";

} // namespace

std::shared_ptr<GhostView> GhostView::make(platform::Rect frame, bool interactive, std::optional<Vehicle> vehicle,
                                           std::optional<SoundMode> soundMode, Environment environment)
{
    std::shared_ptr<GhostView> view(new GhostView(frame, interactive, vehicle, soundMode, std::move(environment)));
    view->construct();
    return view;
}

GhostView::GhostView(platform::Rect frame, bool interactive, std::optional<Vehicle> vehicle,
                     std::optional<SoundMode> soundMode, Environment environment)
    : environment_(std::move(environment))
    , resources_(environment_.resources.empty() ? halloweenResources() : environment_.resources)
    , render_(std::make_unique<platform::View3D>(platform::Rect{}))
    , camera_(platform::PerspectiveCamera::make("Camera"))
    , rearAssembly_(platform::Entity::make("RearAssembly"))
    , anchor_(platform::AnchorEntity::make(glm::vec3(0.0F), "SceneAnchor"))
    , vehicle_(vehicle.value_or(VehiclePreference::selected()))
    , bloom_(GhostBloom::create(
          resources_, environment_.log
                          ? GhostBloom::LogSink([log = environment_.log](const std::string& line) { log(line, false); })
                          : GhostBloom::LogSink()))
    , easterEggs_(environment_.eggSeed ? EasterEggTimeline(*environment_.eggSeed) : EasterEggTimeline())
    , interactive_(interactive)
    , sound_(std::make_unique<SceneSound>(
          soundMode.value_or(interactive ? SoundMode::app : SoundMode::saver), resources_,
          environment_.audioPlayers ? environment_.audioPlayers : SceneSound::defaultPlayerFactory()))
    , frame_(frame)
{
    if (!environment_.uptime) {
        environment_.uptime = systemUptime;
    }
    reduceFlashing_ = environment_.reduceFlashing.value_or(FlashingPreference::reduced());
}

void GhostView::setReduceFlashing(bool on)
{
    reduceFlashing_ = on;
    if (opening_) {
        opening_->setGentleDissolve(on);
    }
}

GhostView::~GhostView()
{
    stop();
}

void GhostView::construct()
{
    render_->setFrame(bounds());
    sceneStatus_.hidden = true;

    std::weak_ptr<GhostBloom> weakBloom = bloom_;
    render_->setPostProcess([weakBloom](const render::PostProcessContext& context) {
        if (auto bloom = weakBloom.lock()) {
            bloom->process(context);
        }
    });
    render_->environment().background = platform::rgb(0.012F, 0.022F, 0.035F, 1.0F);
    camera_->camera().fieldOfViewInDegrees = landmarks::fieldOfViewDegrees;
    anchor_->addChild(camera_);
    render_->scene().addAnchor(anchor_);
    updateCamera();

    try {
        opening_ = std::make_unique<OpeningSequence>(camera_, resources_);
        opening_->setGentleDissolve(reduceFlashing_);
        const platform::Rect box = bounds();
        opening_->layout(box.width / (box.height <= 1.0F ? 1.0F : box.height), camera_->camera().fieldOfViewInDegrees);
        startOpening();
    } catch (const std::exception& error) {
        opening_.reset();
        log(std::string("OPENING LOAD FAILED ") + error.what(), false);
    }

    std::weak_ptr<GhostView> weak = weak_from_this();
    atmosphereUpdates_ = render_->scene().subscribeToUpdate([weak](double) {
        if (auto view = weak.lock()) {
            view->frameUpdate();
        }
    });

    loadingTask_ = async::spawnWithOwner(shared_from_this(), [](std::weak_ptr<GhostView> owner) -> async::Task<void> {
        auto view = owner.lock();
        if (!view) {
            co_return;
        }
        // The load holds no strong reference: stop(), which the view's
        // destructor runs, cancels it, and every suspension of the load
        // ends a cancelled task before it touches the view again.
        GhostView* raw = view.get();
        platform::EntityPtr anchor = view->anchor_;
        view.reset();
        co_await raw->loadScene(anchor);
    });
}

void GhostView::log(const std::string& line, bool flush) const
{
    if (environment_.log) {
        environment_.log(line, flush);
        return;
    }
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    if (flush) {
        std::fflush(stdout);
    }
}

bool GhostView::openingPlaying() const
{
    return opening_ && opening_->isPlaying();
}

bool GhostView::sceneCanShow() const
{
    return isReady_ && bloom_->sceneWarmed();
}

void GhostView::frameUpdate()
{
    if (paused_ || stopped_) {
        return;
    }
    updateCount_ += 1;

    const double uptime = environment_.uptime();
    double delta = lastUpdateUptime_ ? uptime - *lastUpdateUptime_ : 0.0;
    lastUpdateUptime_ = uptime;
    delta = std::max(delta, 0.0);

    startupElapsed_ += delta;
    ambientTime_ += delta;

    if (pendingSkip_ && sceneCanShow()) {
        pendingSkip_ = false;
        skipOpening();
    }

    if (openingPlaying()) {
        double step = delta;
        if (!sceneCanShow()) {
            step = std::min(delta, std::max(openingHoldTime - opening_->time(), 0.0));
        }
        // The opening begins with its music: at its start it waits for the
        // sound files still being decoded, and begins on the frame after the
        // one that starts the music.
        const bool waitingForMusic =
            opening_->time() == 0.0 && openingSoundWaited_ < openingSoundWait && sound_->waitingForFiles();
        if (waitingForMusic) {
            openingSoundWaited_ += delta;
            step = 0.0;
        }
        opening_->advance(step);
        bloom_->setSceneVisibility(OpeningTiming::dissolve(opening_->time(), reduceFlashing_));
        updateStatus(step == 0.0 && !waitingForMusic && !pendingSkip_);
        applyAtmosphere(delta);
        return;
    }
    updateStatus(false);
    advanceEvents(delta);
    applyAtmosphere(delta);
}

void GhostView::advanceEvents(double delta)
{
    easterEggs_.advance(delta);
    if (easterEggs_.active) {
        return; // while an egg plays, no other clock moves
    }

    // The moon test (a pick through the scene) is paid for only when an egg is due.
    const bool eggStarts =
        easterEggs_.due() && (easterEggs_.nextKind == EasterEgg::amperle ? easterEggs_.time >= chargerRetryAt_
                                                                         : characterVisible("MoonReaction"));

    const bool lightningAutomatic = timeline_.automatic;
    const bool reactionsAutomatic = reactions_.automatic;
    const bool charactersAutomatic = characters_.automatic;
    if (eggStarts) {
        timeline_.automatic = false;
        reactions_.automatic = false;
        characters_.automatic = false;
    }

    timeline_.advance(delta);

    // The grave visibility test is paid for only when an automatic ghost is due.
    if (reactions_.automatic && reactions_.nextGhost <= reactions_.time + delta) {
        reactions_.advance(delta, visibleGraves());
    } else {
        reactions_.advance(delta, {});
    }

    bool moonVisible = false;
    bool handVisible = false;
    if (characters_.automatic) {
        moonVisible = characters_.nextWitch <= characters_.time + delta && characterVisible("MoonReaction");
        handVisible = characters_.nextHand <= characters_.time + delta && characterVisible("HandReaction");
    }
    characters_.advance(delta, moonVisible, handVisible);

    timeline_.automatic = lightningAutomatic;
    reactions_.automatic = reactionsAutomatic;
    characters_.automatic = charactersAutomatic;

    if (eggStarts && !timeline_.lightningStart && !reactions_.pumpkinStart && !reactions_.ghostAge() &&
        !characters_.witchAge() && !characters_.handAge()) {
        const EasterEgg kind = easterEggs_.nextKind;
        beginEgg(kind);
        if (kind == EasterEgg::amperle) {
            // A view in which the charging station never finds a place (a
            // camera parked where the props crowd the ground, or the screen
            // saver's fixed view) would keep it due for ever and the sky
            // surprise would never come again: after its retry has failed
            // too, the sky surprise takes the turn and the station comes
            // next. The sky car only starts with the moon in view, so the
            // turn passes only then; elsewhere the station keeps being tried
            // every 2 s and plays once the camera is orbited to a free place.
            chargerMisses_ = easterEggs_.active ? 0 : chargerMisses_ + 1;
            if (chargerMisses_ >= chargerTries && characterVisible("MoonReaction")) {
                chargerMisses_ = 0;
                easterEggs_.nextKind = EasterEgg::skyrell;
            }
        }
    }
}

void GhostView::cancelEggs()
{
    easterEggs_.cancel();
    chargerMisses_ = 0; // a fresh schedule counts its misses afresh
}

void GhostView::updateStatus(bool waiting)
{
    std::string wanted;
    if (waiting) {
        wanted = waitingText;
    } else if (sound_->mode() == SoundMode::saver && !sound_->enabled() && startupElapsed_ < soundOffNoticeSeconds) {
        wanted = soundOffText;
    }
    if (wanted == shownStatus_) {
        return;
    }
    shownStatus_ = wanted;
    sceneStatus_.text = wanted;
    sceneStatus_.hidden = wanted.empty();
}

void GhostView::startOpening()
{
    openingSoundWaited_ = 0.0;
    sound_->restartOpening();
    lastUpdateUptime_.reset();
    cancelEggs();
    if (opening_) {
        opening_->start();
    }
    bloom_->setSceneVisibility(opening_ ? 0.0F : 1.0F);
    applyAtmosphere(0.0);
}

void GhostView::skipOpening()
{
    if (sceneCanShow()) {
        sound_->cancelEffects();
        if (opening_) {
            opening_->skip();
        }
        bloom_->setSceneVisibility(1.0F);
        applyAtmosphere(0.0);
        return;
    }
    pendingSkip_ = true;
}

void GhostView::setPaused(bool paused)
{
    lastUpdateUptime_.reset();
    sound_->setPaused(paused);
    paused_ = paused;
    render_->setHidden(paused);
    if (playback_) {
        if (paused) {
            playback_->pause();
        } else {
            playback_->resume();
        }
    }
}

void GhostView::stop()
{
    if (stopped_) {
        return;
    }
    stopped_ = true;
    sound_->stop();
    vehicleGeneration_ += 1;
    for (auto& task : vehicleCollisionTasks_) {
        task.cancel();
    }
    vehicleCollisionTasks_.clear();
    cancelEggs();
    eggEffects_.reset();
    onEggChanged = nullptr;
    onOpeningChanged = nullptr;
    onReady = nullptr;
    if (loadingTask_) {
        loadingTask_->cancel();
        loadingTask_.reset();
    }
    for (auto& task : collisionTasks_) {
        task.cancel();
    }
    collisionTasks_.clear();
    materialTextures_.clear();
    atmosphereUpdates_.cancel();
    if (playback_) {
        playback_->stop();
    }
    if (hand_) {
        hand_->stop();
    }
    render_->clearPostProcess();
    render_->scene().removeAllAnchors();
}

void GhostView::setFrame(platform::Rect frame)
{
    frame_ = frame;
    layout();
}

void GhostView::layout()
{
    const platform::Rect box = bounds();
    render_->setFrame(box);
    const float width = std::min(std::max(box.width - 32.0F, 0.0F), 400.0F);
    sceneStatus_.frame = {(box.width - width) / 2.0F, 24.0F, width, 30.0F};
    updateCamera();
    if (opening_) {
        opening_->layout(box.width / (box.height <= 1.0F ? 1.0F : box.height), camera_->camera().fieldOfViewInDegrees);
    }
}

} // namespace gloam
