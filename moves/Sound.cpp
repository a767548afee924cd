#include "moves/Sound.h"

#include <SDL.h>
#include <sys/stat.h>

#include <cmath>

namespace orbelix {
namespace {

// Everything is converted to this one format, so the device never has to be reopened.
constexpr int SampleRate = 44100;
constexpr SDL_AudioFormat SampleFormat = AUDIO_S16SYS;
constexpr int Channels = 1;
constexpr int QuietMilliseconds = 2000;

}  // namespace

SoundPlayer::SoundPlayer(QObject* parent) : QObject(parent) {
    quietTimer_.setSingleShot(true);
    quietTimer_.setInterval(QuietMilliseconds);
    connect(&quietTimer_, &QTimer::timeout, this, &SoundPlayer::closeWhenQuiet);
    makeFallback();
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
    SDL_AudioSpec obtained{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) {
        audioFailed_ = true;
        return false;
    }
    return true;
}

void SoundPlayer::closeDevice() {
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);
    device_ = 0;
}

void SoundPlayer::closeWhenQuiet() {
    if (device_ != 0 && SDL_GetQueuedAudioSize(device_) > 0) {
        quietTimer_.start();
        return;
    }
    closeDevice();
}

void SoundPlayer::start(const std::string& path) {
    ++starts_;
    const std::vector<uint8_t>& samples = samplesFor(path);
    lastLength_ = static_cast<uint32_t>(samples.size());
    if (!openDevice()) return;
    SDL_ClearQueuedAudio(device_);
    SDL_QueueAudio(device_, samples.data(), static_cast<Uint32>(samples.size()));
    SDL_PauseAudioDevice(device_, 0);
    quietTimer_.start();
}

uint32_t SoundPlayer::queuedBytes() const {
    return device_ != 0 ? SDL_GetQueuedAudioSize(device_) : 0;
}

const std::vector<uint8_t>& SoundPlayer::samplesFor(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        lastWasFallback_ = true;
        return fallback_;
    }
    const int64_t modified =
        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    if (path != cachedPath_ || modified != cachedModified_ || info.st_size != cachedSize_) {
        cachedPath_ = path;
        cachedModified_ = modified;
        cachedSize_ = info.st_size;
        cachedOk_ = decode(path, cached_);
    }
    lastWasFallback_ = !cachedOk_;
    return cachedOk_ ? cached_ : fallback_;
}

bool SoundPlayer::decode(const std::string& path, std::vector<uint8_t>& out) const {
    SDL_AudioSpec spec{};
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    if (SDL_LoadWAV(path.c_str(), &spec, &buffer, &length) == nullptr) return false;

    SDL_AudioCVT cvt{};
    const int built = SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, SampleFormat,
                                        Channels, SampleRate);
    bool ok = built >= 0;
    if (ok) {
        std::vector<uint8_t> work(static_cast<size_t>(length) * static_cast<size_t>(cvt.len_mult));
        std::copy(buffer, buffer + length, work.begin());
        cvt.buf = work.data();
        cvt.len = static_cast<int>(length);
        ok = built == 0 || SDL_ConvertAudio(&cvt) == 0;
        if (ok) {
            const int converted = built == 0 ? static_cast<int>(length) : cvt.len_cvt;
            out.assign(work.begin(), work.begin() + converted);
        }
    }
    SDL_FreeWAV(buffer);
    return ok && !out.empty();
}

void SoundPlayer::makeFallback() {
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
    fallback_.assign(bytes, bytes + wave.size() * sizeof(int16_t));
}

}  // namespace orbelix
