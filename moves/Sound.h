#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

namespace orbelix {

// Plays short wave files through SDL's audio, asynchronously: a start returns at once
// and cuts off the sound still playing. The file is looked at on every start (a cheap
// stat; it is decoded again only when it changed). A file that is missing or cannot be
// decoded plays a built-in bleep instead. Without a usable audio device the player
// stays silent. The device is closed again after a quiet spell, so an idle game keeps
// no audio thread busy.
class SoundPlayer : public QObject {
    Q_OBJECT

public:
    explicit SoundPlayer(QObject* parent = nullptr);
    ~SoundPlayer() override;

    void start(const std::string& path);

    // How many starts were asked for, and whether a device is open right now.
    int starts() const { return starts_; }
    bool deviceOpen() const { return device_ != 0; }
    // Whether the last start played the built-in bleep because the file was unusable.
    bool lastWasFallback() const { return lastWasFallback_; }
    // Bytes still waiting to be played, and the length of the last sound started.
    uint32_t queuedBytes() const;
    uint32_t lastLength() const { return lastLength_; }

private:
    bool openDevice();
    void closeDevice();
    void closeWhenQuiet();
    const std::vector<uint8_t>& samplesFor(const std::string& path);
    bool decode(const std::string& path, std::vector<uint8_t>& out) const;
    void makeFallback();

    uint32_t device_ = 0;
    bool audioFailed_ = false;
    int starts_ = 0;
    bool lastWasFallback_ = false;
    uint32_t lastLength_ = 0;
    QTimer quietTimer_;

    std::string cachedPath_;
    int64_t cachedModified_ = -1;
    int64_t cachedSize_ = -1;
    bool cachedOk_ = false;
    std::vector<uint8_t> cached_;
    std::vector<uint8_t> fallback_;
};

}  // namespace orbelix
