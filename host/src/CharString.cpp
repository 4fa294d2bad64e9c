// Reference-counted text: one malloc'd block {count, length, characters}.
#include "zento/CharString.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace ZUtils {

// The characters follow the header in the same block.
struct CharString::Rep {
    std::atomic<int> refs;
    size_t length;

    char* text() { return reinterpret_cast<char*>(this + 1); }
};

CharString::CharString(const char* text) {
    if (text) set(text);
}

CharString::CharString(const char* text, size_t length) {
    if (!text) return;
    void* block = std::malloc(sizeof(Rep) + length + 1);
    if (!block) throw std::bad_alloc();
    rep_ = new (block) Rep{{1}, length};
    std::memcpy(rep_->text(), text, length);
    rep_->text()[length] = '\0';
}

CharString::CharString(const CharString& other) noexcept : rep_(other.rep_) {
    if (rep_) rep_->refs.fetch_add(1, std::memory_order_relaxed);
}

CharString::CharString(CharString&& other) noexcept : rep_(other.rep_) {
    other.rep_ = nullptr;
}

CharString& CharString::operator=(const CharString& other) noexcept {
    Rep* incoming = other.rep_;  // read first: `other` may be this object
    if (incoming) incoming->refs.fetch_add(1, std::memory_order_relaxed);
    clear();
    rep_ = incoming;
    return *this;
}

CharString& CharString::operator=(CharString&& other) noexcept {
    if (this != &other) {
        clear();
        rep_ = other.rep_;
        other.rep_ = nullptr;
    }
    return *this;
}

CharString& CharString::operator=(const char* text) {
    set(text);
    return *this;
}

CharString::~CharString() {
    clear();
}

const char* CharString::ptr() const noexcept {
    return rep_ ? rep_->text() : nullptr;
}

size_t CharString::length() const noexcept {
    return rep_ ? rep_->length : 0;
}

int CharString::useCount() const noexcept {
    return rep_ ? rep_->refs.load(std::memory_order_relaxed) : 0;
}

void CharString::set(const char* text) {
    // Build the new text first: `text` may point into the current block.
    CharString fresh(text, text ? std::strlen(text) : 0);
    if (!text) fresh.clear();
    *this = std::move(fresh);
}

void CharString::clear() noexcept {
    if (rep_ && rep_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        rep_->~Rep();
        std::free(rep_);
    }
    rep_ = nullptr;
}

bool operator==(const CharString& a, const CharString& b) noexcept {
    if (a.rep_ == b.rep_) return true;
    if (!a.rep_ || !b.rep_) return false;
    return a.rep_->length == b.rep_->length &&
           std::memcmp(a.rep_->text(), b.rep_->text(), a.rep_->length) == 0;
}

}  // namespace ZUtils
