#include "platform/Sound.h"

#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace orbelix {
namespace {

// Everything is converted to this one format when it is decoded.
constexpr int SampleRate = 44100;
constexpr SDL_AudioFormat SampleFormat = AUDIO_S16SYS;
constexpr int Channels = 1;
constexpr auto Quiet = std::chrono::milliseconds(2000);

// The rates a wave file may claim; a header outside them is refused, not resampled.
constexpr int LowestRate = 2000;
constexpr int HighestRate = 96000;
constexpr int MostChannels = 8;

// SDL is opened on first need rather than linked: a game with the sound off never loads
// it, and the program starts without the thirty libraries it brings along.
struct SdlAudio {
    decltype(&SDL_WasInit) WasInit = nullptr;
    decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
    decltype(&SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
    decltype(&SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
    decltype(&SDL_LockAudioDevice) LockAudioDevice = nullptr;
    decltype(&SDL_UnlockAudioDevice) UnlockAudioDevice = nullptr;
    decltype(&SDL_RWFromConstMem) RWFromConstMem = nullptr;
    decltype(&SDL_LoadWAV_RW) LoadWAV_RW = nullptr;
    decltype(&SDL_FreeWAV) FreeWAV = nullptr;
    decltype(&SDL_GetError) GetError = nullptr;
    decltype(&SDL_BuildAudioCVT) BuildAudioCVT = nullptr;
    decltype(&SDL_ConvertAudio) ConvertAudio = nullptr;
};

// The SDL library's audio functions, or null when it cannot be opened (told once).
const SdlAudio* Sdl() {
    static const SdlAudio* const loaded = []() -> const SdlAudio* {
        void* library = ::dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            std::fprintf(stderr, "orbelix: no sound: %s\n", ::dlerror());
            return nullptr;
        }
        static SdlAudio sdl;
        bool complete = true;
        const auto find = [library, &complete](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                ::dlsym(library, name));
            complete = complete && function != nullptr;
        };
        find(sdl.WasInit, "SDL_WasInit");
        find(sdl.InitSubSystem, "SDL_InitSubSystem");
        find(sdl.QuitSubSystem, "SDL_QuitSubSystem");
        find(sdl.OpenAudioDevice, "SDL_OpenAudioDevice");
        find(sdl.PauseAudioDevice, "SDL_PauseAudioDevice");
        find(sdl.CloseAudioDevice, "SDL_CloseAudioDevice");
        find(sdl.LockAudioDevice, "SDL_LockAudioDevice");
        find(sdl.UnlockAudioDevice, "SDL_UnlockAudioDevice");
        find(sdl.RWFromConstMem, "SDL_RWFromConstMem");
        find(sdl.LoadWAV_RW, "SDL_LoadWAV_RW");
        find(sdl.FreeWAV, "SDL_FreeWAV");
        find(sdl.GetError, "SDL_GetError");
        find(sdl.BuildAudioCVT, "SDL_BuildAudioCVT");
        find(sdl.ConvertAudio, "SDL_ConvertAudio");
        if (!complete) {
            std::fprintf(stderr, "orbelix: no sound: the SDL library lacks its audio functions\n");
            return nullptr;
        }
        return &sdl;
    }();
    return loaded;
}

bool IsFile(const std::string& path, struct stat& info) {
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

// The whole file, if it is a regular file of at most `limit` bytes. Opened without
// blocking, so a FIFO in its place cannot hang the game.
bool ReadSmallFile(const std::string& path, long limit, std::vector<uint8_t>& bytes,
                   std::string& refusal) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        refusal = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        refusal = "not a regular file";
    } else if (info.st_size > limit) {
        refusal = "larger than " + std::to_string(limit) + " bytes";
    } else {
        bytes.resize(static_cast<size_t>(info.st_size));
        size_t total = 0;
        while (total < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + total, bytes.size() - total);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            total += static_cast<size_t>(got);
        }
        bytes.resize(total);
    }
    ::close(fd);
    return refusal.empty();
}

}  // namespace

SoundPlayer::SoundPlayer(QObject* parent) : QObject(parent) {
    quietTimer_.setSingleShot(true);
    connect(&quietTimer_, &QTimer::timeout, this, &SoundPlayer::closeWhenQuiet);
}

SoundPlayer::~SoundPlayer() {
    closeDevice();
    // Only a player that started SDL's audio ends it; the others never loaded SDL.
    if (audioStarted_ && Sdl()->WasInit(SDL_INIT_AUDIO) != 0) Sdl()->QuitSubSystem(SDL_INIT_AUDIO);
}

bool SoundPlayer::openDevice() {
    if (device_ != 0) return true;
    if (audioFailed_) return false;
    const SdlAudio* sdl = Sdl();
    if (sdl == nullptr ||
        (sdl->WasInit(SDL_INIT_AUDIO) == 0 && sdl->InitSubSystem(SDL_INIT_AUDIO) != 0)) {
        audioFailed_ = true;
        return false;
    }
    audioStarted_ = true;
    SDL_AudioSpec wanted{};
    wanted.freq = SampleRate;
    wanted.format = SampleFormat;
    wanted.channels = Channels;
    wanted.samples = 512;
    wanted.callback = &SoundPlayer::Mix;
    wanted.userdata = this;
    device_ = sdl->OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (device_ == 0) {
        audioFailed_ = true;
        return false;
    }
    sdl->PauseAudioDevice(device_, 0);
    return true;
}

void SoundPlayer::closeDevice() {
    if (device_ == 0) return;
    Sdl()->CloseAudioDevice(device_);
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
    Sdl()->LockAudioDevice(device_);
    const auto left = playing_ ? static_cast<uint32_t>(playing_->size() - position_) : 0u;
    Sdl()->UnlockAudioDevice(device_);
    return left;
}

void SoundPlayer::closeWhenQuiet() {
    const auto quietFor = std::chrono::steady_clock::now() - lastStart_;
    if (quietFor < Quiet) {
        quietTimer_.start(static_cast<int>(
            std::chrono::ceil<std::chrono::milliseconds>(Quiet - quietFor).count()));
        return;
    }
    closeDevice();
}

void SoundPlayer::start(const std::string& path, const std::string& alternative) {
    ++starts_;
    Samples samples = samplesFor(path, alternative);
    lastLength_ = static_cast<uint32_t>(samples->size());
    if (!openDevice()) return;
    Sdl()->LockAudioDevice(device_);
    playing_.swap(samples);
    position_ = 0;
    Sdl()->UnlockAudioDevice(device_);
    // The sound that was cut off is released here, outside the audio lock.
    lastStart_ = std::chrono::steady_clock::now();
    if (!quietTimer_.isActive()) quietTimer_.start(static_cast<int>(Quiet.count()));
}

void SoundPlayer::prepare(const std::string& path, const std::string& alternative) {
    samplesFor(path, alternative);
}

SoundPlayer::Samples SoundPlayer::samplesFor(const std::string& path,
                                             const std::string& alternative) {
    const auto now = clock_();
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
            // Something that is there but is no regular file (a FIFO, a folder, a device)
            // is refused; nothing there at all is the ordinary case of a missing sound.
            const std::string& there = Exists(path) ? path : alternative;
            lastRefusal_ = Exists(there) ? there + ": not a regular file" : std::string();
            tellRefusal();
            lastWasFallback_ = true;
            return fallback();
        }
    }
    const int64_t modified =
        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    if (*found != cachedPath_ || modified != cachedModified_ || info.st_size != cachedSize_) {
        cachedPath_ = *found;
        cachedModified_ = modified;
        cachedSize_ = info.st_size;
        std::string refusal;
        cached_ = Decode(*found, refusal);
        cachedRefusal_ = cached_ ? std::string() : *found + ": " + refusal;
    }
    lastRefusal_ = cachedRefusal_;
    tellRefusal();
    lastWasFallback_ = !cached_;
    return cached_ ? cached_ : fallback();
}

void SoundPlayer::tellRefusal() {
    if (lastRefusal_.empty() || lastRefusal_ == toldRefusal_) return;
    toldRefusal_ = lastRefusal_;
    std::fprintf(stderr, "orbelix: sound file %s; playing the built-in sound\n",
                 lastRefusal_.c_str());
}

SoundPlayer::Samples SoundPlayer::Decode(const std::string& path, std::string& refusal) {
    std::vector<uint8_t> file;
    if (!ReadSmallFile(path, MaxFileBytes, file, refusal)) return nullptr;
    const SdlAudio* sdl = Sdl();
    if (sdl == nullptr) {
        refusal = "cannot be read without the SDL library";
        return nullptr;
    }
    SDL_AudioSpec spec{};
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    SDL_RWops* stream = sdl->RWFromConstMem(file.data(), static_cast<int>(file.size()));
    if (stream == nullptr || sdl->LoadWAV_RW(stream, 1, &spec, &buffer, &length) == nullptr) {
        refusal = std::string("not a wave file SDL can read (") + sdl->GetError() + ")";
        return nullptr;
    }
    // The header decides how large the converted sound grows: refuse absurd ones and
    // anything longer than a bleep, before converting.
    const int frameBytes = SDL_AUDIO_BITSIZE(spec.format) / 8 * spec.channels;
    if (spec.freq < LowestRate || spec.freq > HighestRate || spec.channels < 1 ||
        spec.channels > MostChannels || frameBytes <= 0) {
        refusal = "has an unplayable header (" + std::to_string(spec.freq) + " Hz, " +
                  std::to_string(spec.channels) + " channels)";
        sdl->FreeWAV(buffer);
        return nullptr;
    }
    if (length / static_cast<Uint32>(frameBytes) >
        static_cast<Uint32>(MaxSeconds) * static_cast<Uint32>(spec.freq)) {
        refusal = "is longer than " + std::to_string(MaxSeconds) + " s";
        sdl->FreeWAV(buffer);
        return nullptr;
    }

    Samples result;
    SDL_AudioCVT cvt{};
    const int built = sdl->BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, SampleFormat,
                                         Channels, SampleRate);
    if (built >= 0 && length > 0) {
        std::vector<uint8_t> work(static_cast<size_t>(length) *
                                  static_cast<size_t>(std::max(cvt.len_mult, 1)));
        std::copy(buffer, buffer + length, work.begin());
        cvt.buf = work.data();
        cvt.len = static_cast<int>(length);
        if (built == 0) {
            work.resize(length);
            result = std::make_shared<const std::vector<uint8_t>>(std::move(work));
        } else if (sdl->ConvertAudio(&cvt) == 0 && cvt.len_cvt > 0) {
            work.resize(static_cast<size_t>(cvt.len_cvt));
            result = std::make_shared<const std::vector<uint8_t>>(std::move(work));
        }
    }
    sdl->FreeWAV(buffer);
    if (!result) refusal = "could not be converted";
    return result;
}

const SoundPlayer::Samples& SoundPlayer::fallback() {
    // Made when first needed: most players' sound file is there.
    if (!fallback_) fallback_ = MakeFallback();
    return fallback_;
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
    return std::make_shared<const std::vector<uint8_t>>(bytes,
                                                        bytes + wave.size() * sizeof(int16_t));
}

}  // namespace orbelix
