#include "engine/sound/SceneSound.h"

#include "engine/prefs/SoundPreference.h"
#include "platform/audio/OpenAlAudioPlayer.h"
#include "resources/ResourceFiles.h"

#include "platform/async/WorkerPool.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>
#include <cmath>
#include <exception>

namespace gloam {

namespace {

constexpr float musicFullLevel = 0.12F;
constexpr float musicDuckedLevel = 0.055F;
constexpr double duckRate = 8.0; // down fast under an effect
constexpr double riseRate = 1.7; // back up slowly afterwards

float clampVolume(float volume)
{
    return std::isnan(volume) ? 0.0F : std::clamp(volume, 0.0F, 1.0F);
}

} // namespace

// The files being decoded in the background, shared with its jobs: the
// cues' players in cue order in one job, the music's (the long one) in
// another, so that on two cores the music alone sets the time it takes.
struct SceneSound::Loading {
    std::mutex mutex;
    std::condition_variable finished;
    int jobsLeft = 2;
    std::array<std::unique_ptr<platform::AudioPlayer>, soundCueCount> players;
    std::unique_ptr<platform::AudioPlayer> music;
    // The first failure; the jobs make nothing more once it is set.
    std::optional<std::string> error;

    // Opens one file unless a job has failed already; false on a failure.
    bool open(const platform::AudioPlayerFactory& make, const std::filesystem::path& file,
              std::unique_ptr<platform::AudioPlayer>& into)
    {
        {
            const std::lock_guard lock(mutex);
            if (error) {
                return false;
            }
        }
        try {
            auto player = make(file);
            const std::lock_guard lock(mutex);
            into = std::move(player);
            return true;
        } catch (const std::exception& failure) {
            const std::lock_guard lock(mutex);
            if (!error) {
                error = failure.what();
            }
            return false;
        }
    }

    void jobDone()
    {
        const std::lock_guard lock(mutex);
        jobsLeft -= 1;
        finished.notify_all();
    }
};

SceneSound::SceneSound(SoundMode mode, const std::filesystem::path& resources, platform::AudioPlayerFactory makePlayer,
                       Background background)
    : mode_(mode)
    , enabled_(SoundPreference::enabled(mode))
    , volume_(SoundPreference::volume(mode))
    , resources_(resources / std::filesystem::path(resources::audioFolder))
    , makePlayer_(std::move(makePlayer))
    , background_(std::move(background))
{}

platform::AudioPlayerFactory SceneSound::defaultPlayerFactory()
{
    return [](const std::filesystem::path& file) { return platform::OpenAlAudioPlayer::open(file); };
}

SceneSound::Background SceneSound::workerPool()
{
    return [](std::function<void()> job) { async::WorkerPool::shared().start(std::move(job)); };
}

bool SceneSound::audible() const
{
    return enabled_ && volume_ > 0.0F && mode_ != SoundMode::preview && outputAllowed_ && !paused_;
}

void SceneSound::load()
{
    if (loaded_ || loading_ || stopped_ || mode_ == SoundMode::preview) {
        return;
    }
    auto loading = std::make_shared<Loading>();
    loading_ = loading;
    std::vector<std::filesystem::path> cueFiles;
    for (SoundCue cue : allSoundCues) {
        cueFiles.push_back(resources_ / std::filesystem::path(file(cue)));
    }
    background_([loading, make = makePlayer_, cueFiles] {
        for (std::size_t i = 0; i < cueFiles.size(); ++i) {
            if (!loading->open(make, cueFiles[i], loading->players[i])) {
                break;
            }
        }
        loading->jobDone();
    });
    background_([loading, make = makePlayer_, musicFile = resources_ / std::filesystem::path(resources::music)] {
        loading->open(make, musicFile, loading->music);
        loading->jobDone();
    });
}

bool SceneSound::waitingForFiles() const
{
    return audible() && !loaded_ && !stopped_ && !loadError_;
}

void SceneSound::waitUntilLoaded()
{
    if (audible()) {
        load();
    }
    takeLoaded(true);
}

void SceneSound::takeLoaded(bool wait)
{
    if (!loading_) {
        return;
    }
    std::shared_ptr<Loading> loading = loading_;
    std::unique_lock lock(loading->mutex);
    if (wait) {
        loading->finished.wait(lock, [&] { return loading->jobsLeft == 0; });
    } else if (loading->jobsLeft > 0) {
        return;
    }
    lock.unlock();
    loading_.reset();
    loaded_ = true;
    if (stopped_) {
        return; // dropped with the loading
    }

    for (SoundCue cue : allSoundCues) {
        auto& player = loading->players[index(cue)];
        if (player) {
            player->setNumberOfLoops(0);
            player->prepareToPlay();
            players_[index(cue)] = std::move(player);
        }
    }
    if (loading->error) {
        // The cues opened before the failure stay; the music goes.
        loadError_ = "Sound unavailable: " + *loading->error;
        cancelEffects();
        if (music_) {
            music_->stop();
            music_.reset();
        }
        return;
    }
    if (music_) {
        music_->stop();
    }
    music_ = std::move(loading->music);
    music_->setNumberOfLoops(0);
    music_->setVolume(0.0F);
    music_->prepareToPlay();
    musicLevel_ = 0.0F;
    musicNeedsResume_ = true;
}

void SceneSound::sync(const SoundCueAges& ages, double delta)
{
    if (stopped_) {
        return;
    }
    // The clock runs even while silent, so that cue starts are not replayed
    // when sound comes on later.
    const SoundCueSet starting = cueClock_.advance(ages);
    if (!audible()) {
        return;
    }
    load();
    takeLoaded(false);
    if (!loaded_ || loadError_) {
        return;
    }

    for (SoundCue cue : allSoundCues) {
        auto& player = players_[index(cue)];
        const auto age = ages[cue];
        if (!starting.contains(cue) || !player || !age || !(*age < player->duration())) {
            continue;
        }
        player->setCurrentTime(*age);
        player->setVolume(gain(cue) * volume_);
        if (player->play()) {
            active_.insert(cue);
        }
    }

    for (SoundCue cue : allSoundCues) {
        if (!active_.contains(cue)) {
            continue;
        }
        auto& player = players_[index(cue)];
        const auto age = ages[cue];
        if (player && age && *age >= 0.0 && *age < player->duration()) {
            if (player->isPlaying()) {
                player->setVolume(gain(cue) * volume_);
            } else {
                active_.erase(cue); // ran to its end by itself
            }
        } else {
            if (player) {
                player->stop();
            }
            active_.erase(cue);
        }
    }

    if (musicFinished_) {
        return;
    }
    musicElapsed_ += std::max(delta, 0.0);
    const double limit = music_ ? std::min(music_->duration(), musicDuration) : musicDuration;
    if (musicElapsed_ >= limit) {
        musicFinished_ = true;
        if (music_) {
            music_->stop();
        }
        musicLevel_ = 0.0F;
        return;
    }

    const float target = active_.empty() ? musicFullLevel : musicDuckedLevel;
    const double rate = target < musicLevel_ ? duckRate : riseRate;
    musicLevel_ += (target - musicLevel_) * static_cast<float>(1.0 - std::exp(-std::max(delta, 0.0) * rate));

    if (music_) {
        music_->setVolume(musicLevel_ * volume_);
        if (!music_->isPlaying()) {
            if (musicNeedsResume_) {
                // A start that fails (the device busy a moment) is tried
                // again next frame rather than ending the music for the run.
                if (music_->play()) {
                    musicNeedsResume_ = false;
                }
            } else {
                musicFinished_ = true; // it ran to its end
            }
        }
    }
}

void SceneSound::silenceMusic()
{
    cancelEffects();
    if (music_ && music_->isPlaying()) {
        musicNeedsResume_ = true;
        music_->pause();
    }
    musicLevel_ = 0.0F;
}

void SceneSound::configure(bool enabled, float volume, bool persist)
{
    if (stopped_) {
        return;
    }
    enabled_ = enabled && mode_ != SoundMode::preview;
    volume_ = clampVolume(volume);
    if (persist) {
        SoundPreference::save(mode_, enabled_, volume_);
    }
    if (!enabled_ || volume_ == 0.0F) {
        silenceMusic();
    }
    for (SoundCue cue : allSoundCues) {
        if (active_.contains(cue) && players_[index(cue)]) {
            players_[index(cue)]->setVolume(gain(cue) * volume_);
        }
    }
    if (music_) {
        music_->setVolume(musicLevel_ * volume_);
    }
}

void SceneSound::refreshPreferences()
{
    configure(SoundPreference::enabled(mode_), SoundPreference::volume(mode_), false);
}

void SceneSound::allowOutput(bool allowed)
{
    outputAllowed_ = allowed;
    if (!allowed) {
        silenceMusic();
    }
}

void SceneSound::setPaused(bool paused)
{
    paused_ = paused;
    if (paused) {
        silenceMusic();
    }
}

void SceneSound::cancelEffects()
{
    for (auto& player : players_) {
        if (player) {
            player->stop();
            player->setCurrentTime(0.0);
        }
    }
    active_.clear();
}

void SceneSound::restartOpening()
{
    cancelEffects();
    cueClock_.reset();
    if (music_) {
        music_->pause();
        music_->setCurrentTime(0.0);
    }
    musicLevel_ = 0.0F;
    musicElapsed_ = 0.0;
    musicFinished_ = false;
    musicNeedsResume_ = true;
}

void SceneSound::stop()
{
    stopped_ = true;
    // A decode under way finishes in the background; its players go with it.
    loading_.reset();
    cancelEffects();
    if (music_) {
        music_->stop();
        music_.reset();
    }
    for (auto& player : players_) {
        player.reset();
    }
}

} // namespace gloam
