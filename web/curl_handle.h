#pragma once

#include <curl/curl.h>

#include <string>
#include <utility>
#include <vector>

namespace rankmoth::web {

// Owns one easy handle; one per request and thread.
class CurlEasy {
public:
    CurlEasy() : handle_(curl_easy_init()) {}
    ~CurlEasy() {
        if (handle_)
            curl_easy_cleanup(handle_);
    }
    CurlEasy(CurlEasy&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    CurlEasy& operator=(CurlEasy&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    CurlEasy(const CurlEasy&) = delete;
    CurlEasy& operator=(const CurlEasy&) = delete;

    CURL* get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    CURL* handle_;
};

// Owns a header list; the strings are copied by libcurl when appended.
class CurlHeaderList {
public:
    CurlHeaderList() = default;
    ~CurlHeaderList() { curl_slist_free_all(list_); }
    CurlHeaderList(CurlHeaderList&& other) noexcept : list_(std::exchange(other.list_, nullptr)) {}
    CurlHeaderList& operator=(CurlHeaderList&& other) noexcept {
        std::swap(list_, other.list_);
        return *this;
    }
    CurlHeaderList(const CurlHeaderList&) = delete;
    CurlHeaderList& operator=(const CurlHeaderList&) = delete;

    bool Append(const std::string& line) {
        curl_slist* grown = curl_slist_append(list_, line.c_str());
        if (!grown)
            return false;
        list_ = grown;
        return true;
    }
    curl_slist* get() const { return list_; }

private:
    curl_slist* list_ = nullptr;
};

// Owns a parsed URL.
class CurlUrl {
public:
    CurlUrl() : handle_(curl_url()) {}
    ~CurlUrl() {
        if (handle_)
            curl_url_cleanup(handle_);
    }
    CurlUrl(const CurlUrl&) = delete;
    CurlUrl& operator=(const CurlUrl&) = delete;

    CURLU* get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // One part of the URL, or empty when it is absent.
    std::string Part(CURLUPart part, unsigned flags = 0) const {
        char* value = nullptr;
        if (!handle_ || curl_url_get(handle_, part, &value, flags) != CURLUE_OK || !value)
            return {};
        std::string result(value);
        curl_free(value);
        return result;
    }

private:
    CURLU* handle_;
};

} // namespace rankmoth::web

namespace rankmoth::web {

// Owns a multi handle that drives one easy handle, so the caller gets control back between reads.
class CurlMulti {
public:
    CurlMulti() : handle_(curl_multi_init()) {}
    ~CurlMulti() {
        if (handle_) {
            if (attached_)
                curl_multi_remove_handle(handle_, attached_);
            curl_multi_cleanup(handle_);
        }
    }
    CurlMulti(const CurlMulti&) = delete;
    CurlMulti& operator=(const CurlMulti&) = delete;

    CURLM* get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // The easy handle must outlive this object or be detached first.
    bool Attach(CURL* easy) {
        if (!handle_ || attached_ || curl_multi_add_handle(handle_, easy) != CURLM_OK)
            return false;
        attached_ = easy;
        return true;
    }
    void Detach() {
        if (handle_ && attached_)
            curl_multi_remove_handle(handle_, attached_);
        attached_ = nullptr;
    }

private:
    CURLM* handle_;
    CURL* attached_ = nullptr;
};

} // namespace rankmoth::web
