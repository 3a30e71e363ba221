#pragma once

#include <QTemporaryFile>

#include <memory>

class QSoundEffect;

namespace rankmoth::shell {

// Plays the alert sound without blocking. The sound is made in memory and handed to the audio system
// through a temporary file; a machine without an audio output plays nothing and never waits.
class AlertSound {
public:
    AlertSound();
    ~AlertSound();
    // False when there is no audio output to play on.
    bool Play();

private:
    bool Prepare();

    QTemporaryFile file_;
    QSoundEffect* effect_ = nullptr;
    bool prepared_ = false;
    bool usable_ = false;
};

} // namespace rankmoth::shell
