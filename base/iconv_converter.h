#pragma once

#include <iconv.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace rankmoth::base {

// Owns one iconv descriptor. iconv keeps shift state per descriptor, so one converter serves one thread.
class IconvConverter {
public:
    IconvConverter(const char* to, const char* from);
    ~IconvConverter();
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Called where iconv stops on a sequence it cannot take (invalid input, or a character the target has no
    // form for), with the unconverted rest of the input. It appends what stands for the sequence to `out` and
    // returns how many input bytes to step over; 0 ends the conversion there.
    using BadSequence = std::function<std::size_t(std::string_view rest, std::string& out)>;

    std::string Convert(std::string_view input, const BadSequence& onBad);

private:
    iconv_t cd_;
};

} // namespace rankmoth::base
