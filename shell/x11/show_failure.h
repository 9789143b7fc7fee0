// Why the show cannot go on: a window it cannot draw on, no thread for its tour, or no
// memory for its pictures. The message is for the user, without the program's name.
#pragma once

#include <stdexcept>

class ShowFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
