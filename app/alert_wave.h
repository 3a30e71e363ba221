#pragma once

#include <cstddef>
#include <string>

namespace rankmoth::app {

// The alert sound: a RIFF/WAVE file image, PCM, mono, 44,100 Hz, 16 bit, with exactly kAlertSampleBytes of
// sample data. Generated rather than stored: a two-note chime with a soft attack and decay, so the start
// and end of the sound have no click.
inline constexpr int kAlertSampleRate = 44100;
inline constexpr std::size_t kAlertSampleBytes = 97164;

std::string MakeAlertWave();

} // namespace rankmoth::app
