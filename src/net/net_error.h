// The error the blocking network calls throw when a transfer fails.
#pragma once

#include <stdexcept>
#include <string>

namespace kumoya::net {

class NetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace kumoya::net
