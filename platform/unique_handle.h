// One owner for every kind of handle the program opens, so that each is closed exactly once.
#pragma once

#include <utility>

namespace vorn {

// Owns one handle of a kind and closes it when the owner goes or takes another. The kind gives
// the handle's type, the value that means "none" and the call that closes it:
//   struct Kind { using Handle = ...; static Handle Invalid(); static void Close(Handle); };
// The member names follow std::unique_ptr so that the two read alike at the call sites.
template <typename Kind>
class UniqueHandle {
public:
    using Handle = typename Kind::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Kind::Invalid(); }

    // Gives the handle up without closing it; the caller closes it from now on.
    Handle release() noexcept { return std::exchange(handle_, Kind::Invalid()); }

    // Closes the handle held so far (if any) and owns the one given. The old handle is closed
    // after the new one is stored, so a close that reaches this owner again sees a sound state.
    void reset(Handle handle = Kind::Invalid()) noexcept {
        Handle old = std::exchange(handle_, handle);
        if (old != Kind::Invalid()) {
            Kind::Close(old);
        }
    }

private:
    Handle handle_ = Kind::Invalid();
};

// The kind of a pointer-like handle whose "none" is null and which one call closes. The call may
// return a value or use any calling convention; both are ignored.
template <typename T, auto CloseFunction>
struct NullableHandleKind {
    using Handle = T;
    static constexpr Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { CloseFunction(handle); }
};

// Shorthand for the owner of a null-means-none handle closed by one call.
template <typename T, auto CloseFunction>
using NullableHandle = UniqueHandle<NullableHandleKind<T, CloseFunction>>;

}  // namespace vorn
