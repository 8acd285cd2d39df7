#pragma once

#include <stdexcept>

// A Palm database or bitmap that cannot be read; the text says what is wrong.
class PalmFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
