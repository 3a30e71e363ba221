#pragma once

#include "base/text.h"
#include "rank/item_location.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rankmoth::rank {

// Which of many titles stand in a slice, found in one scan of the slice instead of one search per title, so
// that watching thousands of titles costs about what watching a few does. The hits are exactly those of
// GbkHaystack::Contains for each title: byte-exact, case-sensitive, never starting on the second byte of a
// double-byte character, and titles written alike all match together.
//
// The scanner's database is built once for the title list; a matcher holds one scratch space and so serves
// one thread at a time.
class TitleMatcher {
public:
    explicit TitleMatcher(const std::vector<Text>& titles);
    ~TitleMatcher();
    TitleMatcher(const TitleMatcher&) = delete;
    TitleMatcher& operator=(const TitleMatcher&) = delete;

    // found[k] becomes 1 when titles[k] stands in the haystack, 0 when it does not; resized to the title count.
    void Match(const GbkHaystack& haystack, std::vector<std::uint8_t>& found);

    // Empty when the titles are scanned for together; otherwise why each is searched for on its own (the
    // scanner could not be set up on this machine or for these titles). The hits are the same either way.
    const std::string& searchedOneByOne() const { return fallbackReason_; }

private:
    struct Scanner;
    void SearchOneByOne(const GbkHaystack& haystack, std::vector<std::uint8_t>& found) const;

    std::vector<Text> titles_;
    // One pattern per distinct non-empty title; the titles that read alike share it.
    std::vector<std::size_t> patternLength_;
    std::vector<std::vector<std::uint32_t>> titlesOfPattern_;
    std::vector<std::uint32_t> emptyTitles_;
    std::unique_ptr<Scanner> scanner_;
    std::string padded_; // the slice as scanned, kept to reuse its buffer
    std::string fallbackReason_;
};

} // namespace rankmoth::rank
