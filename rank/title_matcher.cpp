#include "rank/title_matcher.h"

#include <hs.h>

#include <string_view>
#include <unordered_map>

namespace rankmoth::rank {

struct TitleMatcher::Scanner {
    hs_database_t* database = nullptr;
    hs_scratch_t* scratch = nullptr;
    ~Scanner() {
        hs_free_scratch(scratch);
        hs_free_database(database);
    }
};

namespace {

// Debian 12's scanner (Vectorscan 5.4.9) can miss a literal that ends in its last vector of input when the
// database holds short literals: in random scans every miss ended within 25 bytes of the buffer's end, and
// 16 bytes of padding still let some through. With this much of the scanned copy past the slice's end, none
// was missed in 8 million; the padding's own matches are dropped.
constexpr std::size_t kTailPadding = 64;

struct ScanState {
    const GbkHaystack* haystack;
    const std::vector<std::size_t>* patternLength;
    std::vector<std::uint8_t>* patternFound;
};

int OnMatch(unsigned int id, unsigned long long /*from*/, unsigned long long to, unsigned int /*flags*/,
            void* context) {
    auto& state = *static_cast<ScanState*>(context);
    // Literal patterns end where the scanner says and start their own length before; the scanner knows
    // nothing of double-byte characters, so a match starting inside one is passed over here.
    if (to > state.haystack->text().size())
        return 0;
    const std::size_t start = static_cast<std::size_t>(to) - (*state.patternLength)[id];
    if (state.haystack->StartsCharacter(start))
        (*state.patternFound)[id] = 1;
    return 0;
}

} // namespace

TitleMatcher::TitleMatcher(const std::vector<Text>& titles) : titles_(titles) {
    std::unordered_map<std::string_view, std::uint32_t> patternOf;
    for (std::uint32_t k = 0; k < titles_.size(); ++k) {
        const std::string_view title = titles_[k].bytes();
        if (title.empty()) {
            emptyTitles_.push_back(k);
            continue;
        }
        const auto [it, added] = patternOf.try_emplace(title, static_cast<std::uint32_t>(patternLength_.size()));
        if (added) {
            patternLength_.push_back(title.size());
            titlesOfPattern_.emplace_back();
        }
        titlesOfPattern_[it->second].push_back(k);
    }
    if (patternLength_.empty())
        return;
    if (hs_valid_platform() != HS_SUCCESS) {
        fallbackReason_ = "this processor lacks the instructions the scanner needs";
        return;
    }
    std::vector<const char*> expressions(patternLength_.size());
    std::vector<unsigned> flags(patternLength_.size(), 0);
    std::vector<unsigned> ids(patternLength_.size());
    for (const auto& [title, id] : patternOf) {
        expressions[id] = title.data();
        ids[id] = id;
    }
    auto scanner = std::make_unique<Scanner>();
    hs_compile_error_t* error = nullptr;
    if (hs_compile_lit_multi(expressions.data(), flags.data(), ids.data(), patternLength_.data(),
                             static_cast<unsigned>(patternLength_.size()), HS_MODE_BLOCK, nullptr,
                             &scanner->database, &error) != HS_SUCCESS) {
        fallbackReason_ = std::string("the titles could not be compiled: ") +
                          (error && error->message ? error->message : "unknown error");
        hs_free_compile_error(error);
        return;
    }
    if (hs_alloc_scratch(scanner->database, &scanner->scratch) != HS_SUCCESS) {
        fallbackReason_ = "no memory for the scanner's scratch space";
        return;
    }
    scanner_ = std::move(scanner);
}

TitleMatcher::~TitleMatcher() = default;

void TitleMatcher::Match(const GbkHaystack& haystack, std::vector<std::uint8_t>& found) {
    found.assign(titles_.size(), 0);
    const std::string_view text = haystack.text();
    for (const std::uint32_t k : emptyTitles_)
        found[k] = text.empty() ? 0 : 1;
    if (patternLength_.empty() || text.empty())
        return;
    if (!scanner_) {
        SearchOneByOne(haystack, found);
        return;
    }
    std::vector<std::uint8_t> patternFound(patternLength_.size(), 0);
    ScanState state{&haystack, &patternLength_, &patternFound};
    padded_.assign(text);
    padded_.append(kTailPadding, '\0');
    if (hs_scan(scanner_->database, padded_.data(), static_cast<unsigned>(padded_.size()), 0, scanner_->scratch,
                OnMatch, &state) != HS_SUCCESS) {
        // A slice the scanner refuses (over its length limit, say) is still searched: a hit must never be lost.
        SearchOneByOne(haystack, found);
        return;
    }
    for (std::size_t id = 0; id < patternFound.size(); ++id) {
        if (patternFound[id])
            for (const std::uint32_t k : titlesOfPattern_[id])
                found[k] = 1;
    }
}

void TitleMatcher::SearchOneByOne(const GbkHaystack& haystack, std::vector<std::uint8_t>& found) const {
    for (std::size_t id = 0; id < titlesOfPattern_.size(); ++id) {
        const std::uint32_t first = titlesOfPattern_[id].front();
        if (haystack.Contains(titles_[first]))
            for (const std::uint32_t k : titlesOfPattern_[id])
                found[k] = 1;
    }
}

} // namespace rankmoth::rank
