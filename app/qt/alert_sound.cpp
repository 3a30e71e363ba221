#include "app/qt/alert_sound.h"

#include "app/alert_wave.h"

#include <QAudioDevice>
#include <QDir>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace rankmoth::shell {

AlertSound::AlertSound() : file_(QDir::temp().filePath("rankmoth-alert-XXXXXX.wav")) {}

AlertSound::~AlertSound() {
    delete effect_;
}

bool AlertSound::Prepare() {
    if (prepared_)
        return usable_;
    prepared_ = true;
    if (QMediaDevices::audioOutputs().isEmpty())
        return false;
    const std::string wave = app::MakeAlertWave();
    if (!file_.open() || file_.write(wave.data(), static_cast<qint64>(wave.size())) != static_cast<qint64>(wave.size()))
        return false;
    file_.flush();
    effect_ = new QSoundEffect;
    effect_->setSource(QUrl::fromLocalFile(file_.fileName()));
    usable_ = true;
    return true;
}

void AlertSound::Discard() {
    delete effect_;
    effect_ = nullptr;
    usable_ = false;
    file_.remove();
}

bool AlertSound::Play() {
    if (!Prepare())
        return false;
    // A hit while the previous alert still sounds starts it over rather than queueing another.
    effect_->stop();
    effect_->play();
    return true;
}

} // namespace rankmoth::shell
