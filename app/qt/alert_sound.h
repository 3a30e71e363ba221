#pragma once

#include <QString>
#include <QTemporaryFile>

#include <memory>

class QSoundEffect;

namespace rankmoth::shell {

// Plays the alert sound without blocking. The sound is made in memory and handed to the audio system
// through a temporary file in the system's temporary directory: the current directory may be read-only,
// and it is the one the update works in. A machine without an audio output plays nothing and never waits.
class AlertSound {
public:
    AlertSound();
    ~AlertSound();
    // False when there is no audio output to play on.
    bool Play();
    // Removes the temporary file; the program ends without running destructors.
    void Discard();
    // The absolute name pattern of the temporary file.
    QString FilePattern() const { return file_.fileTemplate(); }

private:
    bool Prepare();

    QTemporaryFile file_;
    QSoundEffect* effect_ = nullptr;
    bool prepared_ = false;
    bool usable_ = false;
};

} // namespace rankmoth::shell
