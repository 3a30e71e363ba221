#pragma once

#include <string>
#include <vector>

namespace rankmoth::base {

// Why a request did not give a usable answer. Front ends word each kind in their own language; the reason
// text beside it is the English detail the web layer measured ("HTTP 503", "answer cut off after 812 of
// 4096 bytes").
enum class FailureKind {
    Refused,    // the host refused the connection
    Unresolved, // the host name could not be resolved
    Deadline,   // the request's total deadline passed
    CutOff,     // the connection closed before the announced length arrived
    HttpStatus, // a status outside 2xx
    TooLarge,   // the answer passed the body cap
    Stopped,    // the user or a signal stopped it
    NotAnswer,  // a whole 2xx answer that is not what was asked for (no listing markers, no feed)
    Other,      // any other transport error
};

// The failed requests of one pass or load, counted by kind, with the first reason seen of each kind.
struct FailureCount {
    FailureKind kind = FailureKind::Other;
    std::string firstReason;
    int count = 0;
};

class FailureTally {
public:
    void Add(FailureKind kind, const std::string& reason) {
        for (auto& entry : entries_) {
            if (entry.kind == kind) {
                ++entry.count;
                return;
            }
        }
        entries_.push_back({kind, reason, 1});
    }
    // In the order each kind was first seen.
    const std::vector<FailureCount>& entries() const { return entries_; }
    bool empty() const { return entries_.empty(); }

private:
    std::vector<FailureCount> entries_;
};

} // namespace rankmoth::base
