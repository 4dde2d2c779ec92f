// A uniformly sampled record: what the analyses take, whether it was
// generated here or read from a measured file.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace korvex {

// Leaves the elements a vector adds uninitialised: the reader writes every
// sample it keeps, and zeroing 16 bytes a sample first only costs time.
template <class T>
struct UninitialisedAllocator {
    using value_type = T;
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    // Large arrays start on a 2 MB boundary, as the system's huge pages
    // do, so that they can be backed by huge pages from their first byte.
    static constexpr std::size_t kLarge = std::size_t{4} << 20;
    static constexpr std::align_val_t kHugePageAlignment{std::size_t{2} << 20};
    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        if (n * sizeof(T) < kLarge) return std::allocator<T>{}.allocate(n);
        return static_cast<T*>(::operator new(n * sizeof(T), kHugePageAlignment));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (n * sizeof(T) < kLarge) return std::allocator<T>{}.deallocate(p, n);
        ::operator delete(p, n * sizeof(T), kHugePageAlignment);
    }
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    friend bool operator==(const UninitialisedAllocator&, const UninitialisedAllocator&) {
        return true;
    }
};

// Samples as a record owns them.
using SampleArray = std::vector<double, UninitialisedAllocator<double>>;

// A view of samples that live elsewhere. Without times of its own, sample i
// is at startS + i x intervalS.
struct RecordView {
    std::span<const double> time;  // seconds, one per value, or empty
    std::span<const double> values;
    double startS = 0.0;
    double intervalS = 0.0;

    std::size_t size() const { return values.size(); }
    double timeAt(std::size_t i) const {
        return time.empty() ? startS + static_cast<double>(i) * intervalS : time[i];
    }
};

// A record that owns its samples.
struct Record {
    std::string source;  // where it came from, for messages ("-" for standard input)
    std::string column;  // the value column: its header name, or its number
    SampleArray time;    // seconds as the file gives them; empty without a time column
    SampleArray values;
    double startS = 0.0;
    double intervalS = 0.0;

    std::size_t size() const { return values.size(); }
    RecordView view() const { return {time, values, startS, intervalS}; }
};

}  // namespace korvex
