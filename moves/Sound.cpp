#include "moves/Sound.h"

#include <SDL.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orbelix {
namespace {

// Everything is converted to this one format when it is decoded.
constexpr int SampleRate = 44100;
constexpr SDL_AudioFormat SampleFormat = AUDIO_S16SYS;
constexpr int Channels = 1;
constexpr auto Quiet = std::chrono::milliseconds(2000);

bool IsFile(const std::string& path, struct stat& info) {
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

SoundPlayer::SoundPlayer(QObject* parent) : QObject(parent), fallback_(MakeFallback()) {
    quietTimer_.setSingleShot(true);
    connect(&quietTimer_, &QTimer::timeout, this, &SoundPlayer::closeWhenQuiet);
}

SoundPlayer::~SoundPlayer() {
    closeDevice();
    if (SDL_WasInit(SDL_INIT_AUDIO) != 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SoundPlayer::openDevice() {
    if (device_ != 0) return true;
    if (audioFailed_) return false;
    if (SDL_WasInit(SDL_INIT_AUDIO) == 0 && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        audioFailed_ = true;
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = SampleRate;
    wanted.format = SampleFormat;
    wanted.channels = Channels;
    wanted.samples = 512;
    wanted.callback = &SoundPlayer::Mix;
    wanted.userdata = this;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (device_ == 0) {
        audioFailed_ = true;
        return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SoundPlayer::closeDevice() {
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    playing_.reset();
    position_ = 0;
}

void SoundPlayer::Mix(void* self, uint8_t* stream, int length) {
    auto* player = static_cast<SoundPlayer*>(self);
    const auto wanted = static_cast<size_t>(length);
    size_t copied = 0;
    if (player->playing_) {
        copied = std::min(wanted, player->playing_->size() - player->position_);
        std::memcpy(stream, player->playing_->data() + player->position_, copied);
        player->position_ += copied;
    }
    std::memset(stream + copied, 0, wanted - copied);
}

uint32_t SoundPlayer::queuedBytes() const {
    if (device_ == 0) return 0;
    SDL_LockAudioDevice(device_);
    const auto left = playing_ ? static_cast<uint32_t>(playing_->size() - position_) : 0u;
    SDL_UnlockAudioDevice(device_);
    return left;
}

void SoundPlayer::closeWhenQuiet() {
    const auto quietFor = std::chrono::steady_clock::now() - lastStart_;
    if (quietFor < Quiet) {
        quietTimer_.start(static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(Quiet - quietFor).count()));
        return;
    }
    closeDevice();
}

void SoundPlayer::start(const std::string& path, const std::string& alternative) {
    ++starts_;
    Samples samples = samplesFor(path, alternative);
    lastLength_ = static_cast<uint32_t>(samples->size());
    if (!openDevice()) return;
    SDL_LockAudioDevice(device_);
    playing_.swap(samples);
    position_ = 0;
    SDL_UnlockAudioDevice(device_);
    // The sound that was cut off is released here, outside the audio lock.
    lastStart_ = std::chrono::steady_clock::now();
    if (!quietTimer_.isActive()) quietTimer_.start(static_cast<int>(Quiet.count()));
}

SoundPlayer::Samples SoundPlayer::samplesFor(const std::string& path, const std::string& alternative) {
    const auto now = std::chrono::steady_clock::now();
    if (looked_ && path == lookedFor_ && now - lastLook_ < recheck_) return looked_;
    lookedFor_ = path;
    lastLook_ = now;
    looked_ = lookAt(path, alternative);
    return looked_;
}

SoundPlayer::Samples SoundPlayer::lookAt(const std::string& path, const std::string& alternative) {
    struct stat info {};
    const std::string* found = &path;
    if (!IsFile(path, info)) {
        found = &alternative;
        if (!IsFile(alternative, info)) {
            lastWasFallback_ = true;
            return fallback_;
        }
    }
    const int64_t modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    if (*found != cachedPath_ || modified != cachedModified_ || info.st_size != cachedSize_) {
        cachedPath_ = *found;
        cachedModified_ = modified;
        cachedSize_ = info.st_size;
        cached_ = Decode(*found);
    }
    lastWasFallback_ = !cached_;
    return cached_ ? cached_ : fallback_;
}

SoundPlayer::Samples SoundPlayer::Decode(const std::string& path) {
    SDL_AudioSpec spec{};
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    if (SDL_LoadWAV(path.c_str(), &spec, &buffer, &length) == nullptr) return nullptr;

    Samples result;
    SDL_AudioCVT cvt{};
    const int built =
        SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, SampleFormat, Channels, SampleRate);
    if (built >= 0 && length > 0) {
        std::vector<uint8_t> work(static_cast<size_t>(length) * static_cast<size_t>(std::max(cvt.len_mult, 1)));
        std::copy(buffer, buffer + length, work.begin());
        cvt.buf = work.data();
        cvt.len = static_cast<int>(length);
        if (built == 0) {
            work.resize(length);
            result = std::make_shared<const std::vector<uint8_t>>(std::move(work));
        } else if (SDL_ConvertAudio(&cvt) == 0 && cvt.len_cvt > 0) {
            work.resize(static_cast<size_t>(cvt.len_cvt));
            result = std::make_shared<const std::vector<uint8_t>>(std::move(work));
        }
    }
    SDL_FreeWAV(buffer);
    return result;
}

SoundPlayer::Samples SoundPlayer::MakeFallback() {
    // A short falling two-note chime, faded in and out so it does not click.
    const int count = SampleRate * 18 / 100;
    std::vector<int16_t> wave(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / SampleRate;
        const double frequency = i < count / 2 ? 988.0 : 740.0;
        const double fade = std::min(1.0, std::min(i, count - i) / (0.004 * SampleRate));
        const double decay = std::exp(-t * 14.0);
        wave[static_cast<size_t>(i)] =
            static_cast<int16_t>(12000.0 * fade * decay * std::sin(2.0 * M_PI * frequency * t));
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(wave.data());
    return std::make_shared<const std::vector<uint8_t>>(bytes, bytes + wave.size() * sizeof(int16_t));
}

}  // namespace orbelix
