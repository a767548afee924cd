#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orbelix {

// Plays short wave files through SDL's audio, asynchronously: a start returns at once
// and cuts off the sound still playing. The file is looked at again (one stat) when a
// start comes more than a moment after the last look, so the starts of one move share
// one look and a file changed between moves is picked up; it is decoded again only when
// it changed. Only a regular file of at most MaxFileBytes, holding at most MaxSeconds of
// sound at a sane rate, is decoded; a file that is missing or refused plays a built-in
// bleep instead (a refusal is told once on stderr). Without a usable audio device the player
// stays silent. The device is closed again after a quiet spell, so an idle game keeps
// no audio thread busy.
class SoundPlayer : public QObject {
    Q_OBJECT

  public:
    explicit SoundPlayer(QObject* parent = nullptr);
    ~SoundPlayer() override;

    static constexpr long MaxFileBytes = 2L * 1024 * 1024;
    static constexpr int MaxSeconds = 10;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Plays `path`, or `alternative` when there is no file at `path`.
    void start(const std::string& path, const std::string& alternative = {});
    // Looks at (and decodes) the file ahead of the first start, so a move does not wait.
    void prepare(const std::string& path, const std::string& alternative = {});

    // How many starts were asked for, and whether a device is open right now.
    int starts() const { return starts_; }
    bool deviceOpen() const { return device_ != 0; }
    // Whether the last start played the built-in bleep because the file was unusable.
    bool lastWasFallback() const { return lastWasFallback_; }
    // Bytes of the current sound still to be played, and the length of the last one.
    uint32_t queuedBytes() const;
    uint32_t lastLength() const { return lastLength_; }
    // How long a look at the file stays good (tests look every time).
    void setRecheckInterval(std::chrono::milliseconds interval) { recheck_ = interval; }
    // The clock that times the looks (tests step it by hand).
    void setClock(Clock clock) { clock_ = std::move(clock); }
    // Why the last file was refused ("" when it was played or missing).
    const std::string& lastRefusal() const { return lastRefusal_; }

  private:
    using Samples = std::shared_ptr<const std::vector<uint8_t>>;

    bool openDevice();
    void closeDevice();
    void closeWhenQuiet();
    Samples samplesFor(const std::string& path, const std::string& alternative);
    Samples lookAt(const std::string& path, const std::string& alternative);
    static Samples Decode(const std::string& path, std::string& refusal);
    static Samples MakeFallback();
    void tellRefusal();
    static void Mix(void* player, uint8_t* stream, int length);

    uint32_t device_ = 0;
    bool audioFailed_ = false;
    bool audioStarted_ = false;
    int starts_ = 0;
    bool lastWasFallback_ = false;
    uint32_t lastLength_ = 0;
    QTimer quietTimer_;
    std::chrono::steady_clock::time_point lastStart_;

    // What the audio thread plays; touched only with the device locked.
    Samples playing_;
    size_t position_ = 0;

    std::chrono::milliseconds recheck_{250};
    Clock clock_ = [] { return std::chrono::steady_clock::now(); };
    std::string lastRefusal_;
    std::string toldRefusal_;
    std::chrono::steady_clock::time_point lastLook_;
    std::string lookedFor_;
    Samples looked_;
    std::string cachedPath_;
    int64_t cachedModified_ = -1;
    int64_t cachedSize_ = -1;
    Samples cached_;
    std::string cachedRefusal_;
    const Samples& fallback();
    Samples fallback_;
};

}  // namespace orbelix
