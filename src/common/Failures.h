#pragma once

#include <stdexcept>
#include <string>

// The unexpected failures of storing the setting. Each carries the exact message the user is
// shown in the failure box as what().

// Updating a present settings file failed.
class EIniFileException : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A new settings file could not be created.
class EFCreateError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Writing the content of a new settings file fell short.
class EWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
