#include "app/alert_wave.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace rankmoth::app {

namespace {
void PutU16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}
void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
} // namespace

std::string MakeAlertWave() {
    constexpr std::uint16_t channels = 1;
    constexpr std::uint16_t bits = 16;
    constexpr std::uint32_t dataBytes = kAlertSampleBytes;
    constexpr std::uint32_t blockAlign = channels * bits / 8;
    constexpr std::uint32_t byteRate = kAlertSampleRate * blockAlign;

    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    PutU32(out, 36 + dataBytes);
    out += "WAVE";
    out += "fmt ";
    PutU32(out, 16);
    PutU16(out, 1); // PCM
    PutU16(out, channels);
    PutU32(out, kAlertSampleRate);
    PutU32(out, byteRate);
    PutU16(out, blockAlign);
    PutU16(out, bits);
    out += "data";
    PutU32(out, dataBytes);

    const int samples = static_cast<int>(dataBytes / blockAlign);
    const int half = samples / 2;
    constexpr double pi = 3.14159265358979323846;
    for (int i = 0; i < samples; ++i) {
        // Two notes (E6 then B5), each with a 5 ms attack and an exponential decay.
        const bool second = i >= half;
        const int n = second ? i - half : i;
        const double t = static_cast<double>(n) / kAlertSampleRate;
        const double frequency = second ? 987.77 : 1318.51;
        const double attack = std::min(1.0, t / 0.005);
        const double decay = std::exp(-t * 6.0);
        const double tail = std::min(1.0, static_cast<double>(samples - 1 - i) / (0.005 * kAlertSampleRate));
        const double value = 0.45 * attack * decay * tail * std::sin(2 * pi * frequency * t);
        PutU16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value * 32767.0))));
    }
    return out;
}

} // namespace rankmoth::app
