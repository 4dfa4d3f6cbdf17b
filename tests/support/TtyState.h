#pragma once

#include "TtyState2.h"

#include <string>
#include <termios.h>

// The settings a terminal holds now, read with tcgetattr. Raises std::runtime_error on failure.
termios readTermios(int fd);

// Holds an exclusive flock on a second open of a device, as another program would; the lock
// binds per open file, so one process can hold it against itself.
class LockHolder {
public:
    explicit LockHolder(const std::string& path);
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    void release();

private:
    int fd_ = -1;
};
