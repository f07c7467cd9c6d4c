#pragma once

#include "engine/sound/SoundCue.h"
#include "engine/sound/SoundCueClock.h"
#include "engine/sound/SoundMode.h"
#include "platform/audio/AudioPlayer.h"

#include <array>
#include <functional>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace gloam {

// The scene's effect sounds and its opening music. It schedules nothing:
// each frame it is handed the age of every cue whose event is under way,
// starts cues that have just begun (at their offset), stops those whose
// event ended, ducks the music under effects and ends the music after 90 s.
// Files are loaded the first time sound is actually wanted, in the
// background: decoding the music takes long enough to be heard, so the
// scene's opening waits for `waitingForFiles` to clear before it begins.
// Main thread only.
class SceneSound {
public:
    static constexpr double musicDuration = 90.0;

    // Runs a job off the main thread.
    using Background = std::function<void(std::function<void()> job)>;

    // `resources`: the resource folder; sounds are in its "Audio" subfolder.
    // `makePlayer` opens (and decodes) a file; it runs in `background`.
    SceneSound(SoundMode mode, const std::filesystem::path& resources,
               platform::AudioPlayerFactory makePlayer = defaultPlayerFactory(), Background background = workerPool());

    static platform::AudioPlayerFactory defaultPlayerFactory();
    // The shared worker pool.
    static Background workerPool();

    void sync(const SoundCueAges& ages, double delta);
    void configure(bool enabled, float volume, bool persist);
    void refreshPreferences();
    void allowOutput(bool allowed);
    void setPaused(bool paused);
    void cancelEffects();
    void restartOpening();
    void stop();

    SoundMode mode() const { return mode_; }
    bool enabled() const { return enabled_; }
    float volume() const { return volume_; }
    double musicElapsed() const { return musicElapsed_; }
    bool musicFinished() const { return musicFinished_; }
    const std::optional<std::string>& loadError() const { return loadError_; }

    // Sound is wanted but its files are still being decoded (or not yet
    // asked for): nothing plays and the music's time does not run.
    bool waitingForFiles() const;
    // Asks for the files if sound is wanted, blocks until they are decoded
    // and takes them in: for offline rendering, where waiting costs
    // nothing, so that the first frame already plays.
    void waitUntilLoaded();

    // For the owner's diagnostics and tests.
    float musicLevel() const { return musicLevel_; }
    bool isActive(SoundCue cue) const { return active_.contains(cue); }
    // The files are in (or failed); nothing is still being decoded.
    bool loaded() const { return loaded_; }
    const platform::AudioPlayer* player(SoundCue cue) const { return players_[index(cue)].get(); }
    const platform::AudioPlayer* music() const { return music_.get(); }

private:
    struct Loading;
    void load();
    // Takes in what the background decoded, once it is all there.
    void takeLoaded(bool wait);
    bool audible() const;
    void silenceMusic();

    const SoundMode mode_;
    bool enabled_;
    float volume_;
    SoundCueClock cueClock_;
    std::array<std::unique_ptr<platform::AudioPlayer>, soundCueCount> players_;
    std::unique_ptr<platform::AudioPlayer> music_;
    SoundCueSet active_;
    bool paused_ = false;
    bool stopped_ = false;
    bool outputAllowed_ = true;
    bool loaded_ = false;
    float musicLevel_ = 0;
    bool musicNeedsResume_ = true;
    double musicElapsed_ = 0;
    bool musicFinished_ = false;
    const std::filesystem::path resources_;
    std::optional<std::string> loadError_;
    platform::AudioPlayerFactory makePlayer_;
    Background background_;
    std::shared_ptr<Loading> loading_;
};

} // namespace gloam
