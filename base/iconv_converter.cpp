#include "base/iconv_converter.h"

#include <cerrno>

namespace rankmoth::base {

IconvConverter::IconvConverter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}

IconvConverter::~IconvConverter() {
    if (valid())
        iconv_close(cd_);
}

std::string IconvConverter::Convert(std::string_view input, const BadSequence& onBad) {
    std::string out;
    if (!valid())
        return out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.resize(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t used = 0;
    while (inLeft > 0) {
        char* dst = out.data() + used;
        std::size_t dstLeft = out.size() - used;
        const std::size_t rc = iconv(cd_, &in, &inLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (rc != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL (a sequence cut off at the end): let the caller decide.
        std::string replacement;
        const std::size_t skip = onBad ? onBad(std::string_view(in, inLeft), replacement) : 0;
        out.resize(used);
        out += replacement;
        used = out.size();
        out.resize(used + inLeft * 2 + 16);
        if (skip == 0)
            break;
        const std::size_t step = skip < inLeft ? skip : inLeft;
        in += step;
        inLeft -= step;
    }
    out.resize(used);
    return out;
}

} // namespace rankmoth::base
