#pragma once

#include "FileWriter.h"
#include "UserRecord.h"

#include <string>
#include <vector>

// The accounts file on disk: "users.dat" in the program's "files" folder. It is always read
// whole and replaced whole, through the program's atomic writer, with mode 0600.
constexpr unsigned UsersFileMode = 0600;
constexpr unsigned UsersFolderMode = 0700;

struct UsersFileRead {
    enum class Status { Ok, Missing, Failed };
    Status status = Status::Failed;
    std::vector<UserRecord> records;   // the whole records, when Ok
    std::string error;                 // the system's error text, when Failed
    bool ok() const { return status == Status::Ok; }
};

// Opens the file (read-write when forWriting, as every change needs, else read-only) and
// reads it whole. A missing file, or a missing folder, gives Missing; any other failure,
// and anything but a regular file, gives Failed with the system's text. A symbolic link in
// the file's place, even one that leads nowhere, gives Failed and is not followed.
UsersFileRead ReadUsersFile(const std::string& path, bool forWriting);

// Replaces the file by the records, through writer (atomicFileWriter(UsersFileMode) in the
// program). A failure leaves the old file as it was. A symbolic link in the file's place is
// refused and nothing is written.
WriteResult WriteUsersFile(const std::string& path, const std::vector<UserRecord>& records,
                           const FileWriter& writer);

// Creates the folder with mode 0700 when it does not exist; an existing folder is fine.
// Gives the system's error text on failure, empty on success.
std::string EnsureUsersFolder(const std::string& folder);
