// Sample arrays as records own them: large ones on huge-page boundaries,
// new elements left unwritten for the reader to fill.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
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

}  // namespace korvex
