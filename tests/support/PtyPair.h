#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

// A pseudo-terminal for tests: the test holds the master and keeps a slave descriptor of its
// own open (raw mode, no lock), so the program's close of its port never hangs up the line
// and bytes written while the program has the port closed wait in the slave's input queue.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int masterFd() const { return master_; }
    int slaveFd() const { return slave_; }
    const std::string& slavePath() const { return slavePath_; }

    // Writes every byte to the master (the far end of the line).
    void writeMaster(std::string_view bytes);
    // Reads from the master until n bytes have arrived or the time-out passes; gives what came.
    std::string readMaster(std::size_t n, std::chrono::milliseconds timeout);
    // Reads whatever the master holds now, without waiting.
    std::string drainMaster();

    // Closes the master: the far end is gone and the line hangs up.
    void closeMaster();

    // Creates (replacing) a symbolic link to the slave, e.g. <folder>/ports/COM1.
    void linkAs(const std::filesystem::path& link) const;

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};
