#include "platform/audio/OpenAlAudioPlayer.h"

#include "platform/audio/AudioDevice.h"
#include "platform/audio/AudioError.h"

#include <AL/al.h>

#include <algorithm>
#include <cmath>

namespace gloam::platform {

OpenAlAudioPlayer::OpenAlAudioPlayer(const std::filesystem::path& file)
{
    AudioDevice& device = AudioDevice::shared();
    {
        const auto held = device.lock();
        if (!device.available()) {
            throw AudioError(device.error());
        }
    }
    const DecodedAudio audio = DecodedAudio::decodeFile(file);
    duration_ = audio.duration();
    const auto held = device.lock();
    if (!device.available()) {
        throw AudioError(device.error()); // closed while this file was decoded
    }

    alGetError();
    alGenBuffers(1, &buffer_);
    alBufferData(buffer_, audio.channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16, audio.samples.data(),
                 static_cast<ALsizei>(audio.samples.size() * sizeof(std::int16_t)), audio.sampleRate);
    alGenSources(1, &source_);
    alSourcei(source_, AL_BUFFER, static_cast<ALint>(buffer_));
    alSourcei(source_, AL_SOURCE_RELATIVE, AL_TRUE); // scene sounds are not placed in space
    alSource3f(source_, AL_POSITION, 0.0F, 0.0F, 0.0F);
    alSourcei(source_, AL_LOOPING, AL_FALSE);
    alSourcef(source_, AL_GAIN, volume_);
    if (alGetError() != AL_NO_ERROR) {
        if (source_ != 0) {
            alDeleteSources(1, &source_);
        }
        if (buffer_ != 0) {
            alDeleteBuffers(1, &buffer_);
        }
        throw AudioError("cannot play " + file.filename().string() + ": the sound output refused it");
    }
}

OpenAlAudioPlayer::~OpenAlAudioPlayer()
{
    AudioDevice& device = AudioDevice::shared();
    const auto held = device.lock();
    if (!device.available()) {
        return; // its objects went with the device
    }
    alSourceStop(source_);
    alDeleteSources(1, &source_);
    alDeleteBuffers(1, &buffer_);
}

std::unique_ptr<AudioPlayer> OpenAlAudioPlayer::open(const std::filesystem::path& file)
{
    return std::make_unique<OpenAlAudioPlayer>(file);
}

int OpenAlAudioPlayer::state() const
{
    ALint value = AL_INITIAL;
    alGetSourcei(source_, AL_SOURCE_STATE, &value);
    return value;
}

void OpenAlAudioPlayer::prepareToPlay()
{
    // The whole file is already in an OpenAL buffer.
}

bool OpenAlAudioPlayer::play()
{
    const int current = state();
    if (current == AL_PLAYING) {
        return true;
    }
    if (current != AL_PAUSED) {
        // A stopped source would start from its beginning: rewind it to
        // initial and place it where we want it.
        alSourceRewind(source_);
        alSourcef(source_, AL_SEC_OFFSET, static_cast<ALfloat>(std::clamp(position_, 0.0, duration_)));
    }
    alGetError();
    alSourcePlay(source_);
    return alGetError() == AL_NO_ERROR && state() == AL_PLAYING;
}

void OpenAlAudioPlayer::pause()
{
    if (state() == AL_PLAYING) {
        alSourcePause(source_);
    }
}

void OpenAlAudioPlayer::stop()
{
    position_ = currentTime();
    alSourceStop(source_);
}

bool OpenAlAudioPlayer::isPlaying() const
{
    return state() == AL_PLAYING;
}

double OpenAlAudioPlayer::currentTime() const
{
    const int current = state();
    if (current == AL_PLAYING || current == AL_PAUSED) {
        ALfloat seconds = 0;
        alGetSourcef(source_, AL_SEC_OFFSET, &seconds);
        return seconds;
    }
    return position_;
}

void OpenAlAudioPlayer::setCurrentTime(double seconds)
{
    position_ = std::isfinite(seconds) ? std::clamp(seconds, 0.0, duration_) : 0.0;
    const int current = state();
    if (current == AL_PLAYING || current == AL_PAUSED) {
        alSourcef(source_, AL_SEC_OFFSET, static_cast<ALfloat>(position_));
    }
}

void OpenAlAudioPlayer::setVolume(float volume)
{
    volume_ = std::isfinite(volume) ? std::clamp(volume, 0.0F, 1.0F) : 0.0F;
    alSourcef(source_, AL_GAIN, volume_);
}

void OpenAlAudioPlayer::setNumberOfLoops(int loops)
{
    alSourcei(source_, AL_LOOPING, loops != 0 ? AL_TRUE : AL_FALSE);
}

} // namespace gloam::platform
