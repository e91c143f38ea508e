// A move-only owner for one OS resource, and the traits that say how to close it.
#pragma once

#include <utility>

// Traits: `Type`, `static Type Empty()` and `static void Close(Type)`; optionally
// `Dereferences` for owners of interface pointers, which then forward `->`.
template <typename Traits>
class UniqueOwner {
public:
    using Type = typename Traits::Type;

    UniqueOwner() noexcept = default;
    explicit UniqueOwner(Type value) noexcept : value_(std::move(value)) {}
    ~UniqueOwner() { reset(); }

    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;

    UniqueOwner(UniqueOwner&& other) noexcept : value_(other.release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Empty(); }
    template <typename T = Traits>
        requires T::Dereferences
    Type operator->() const noexcept {
        return value_;
    }

    // Gives up ownership without closing.
    Type release() noexcept {
        Type value = std::move(value_);
        value_ = Traits::Empty();
        return value;
    }

    // Takes `value` and closes what was held before, if anything.
    void reset(Type value = Traits::Empty()) noexcept {
        Type old = std::move(value_);
        value_ = std::move(value);
        if (old != Traits::Empty()) Traits::Close(std::move(old));
    }

    // Closes what is held and returns the slot for an out-parameter.
    Type* put() noexcept {
        reset();
        return &value_;
    }

private:
    Type value_ = Traits::Empty();
};

// Traits for handles whose empty value is null and whose close call takes the handle.
template <typename T, auto CloseFunction>
struct NullHandleTraits {
    using Type = T;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type value) noexcept { CloseFunction(value); }
};

template <typename T, auto CloseFunction>
using UniqueNullHandle = UniqueOwner<NullHandleTraits<T, CloseFunction>>;
