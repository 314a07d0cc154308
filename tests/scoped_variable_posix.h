// An environment variable set or cleared for the length of a test.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace vorn {

// Sets or clears an environment variable while it lives, and puts back what the variable
// held before when it goes, however the test ends: the tests may run under a service manager
// of their own, whose variables later tests must still see.
class ScopedVariable {
public:
    explicit ScopedVariable(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) {
            before_ = value;
        }
    }
    ~ScopedVariable() {
        if (before_) {
            setenv(name_, before_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

    void Set(const std::string& value) { setenv(name_, value.c_str(), 1); }
    void Clear() { unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> before_;
};

}  // namespace vorn
