// Sole owners of Win32 handles: one template, parameterised by the handle
// type and its close function, so no function needs a cleanup path of its own.
#pragma once

#include <utility>

namespace pw {

template <class H>
constexpr H NullHandle() { return H{}; }

// Invalid is a function giving the empty value: some handle kinds use a
// non-null sentinel (INVALID_HANDLE_VALUE) that is not a constant expression.
template <class H, auto Close, auto Invalid = &NullHandle<H>>
class Unique {
public:
    Unique() = default;
    explicit Unique(H h) : h_(h) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& o) noexcept : h_(std::exchange(o.h_, Invalid())) {}
    Unique& operator=(Unique&& o) noexcept
    {
        reset(std::exchange(o.h_, Invalid()));
        return *this;
    }
    ~Unique() { reset(); }

    H get() const { return h_; }
    H* put()
    {
        reset();
        return &h_;
    }
    H release() { return std::exchange(h_, Invalid()); }
    explicit operator bool() const { return h_ != Invalid(); }
    void reset(H h = Invalid())
    {
        if (h_ != Invalid())
            Close(h_);
        h_ = h;
    }

private:
    H h_ = Invalid();
};

} // namespace pw
