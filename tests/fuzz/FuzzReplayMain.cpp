// The main of a fuzz target in the normal build: runs every file of the given folders once
// through LLVMFuzzerTestOneInput, without libFuzzer, so any compiler builds it.
//
//     fuzz_reply --seeds <dir>... [--hex <dir>...] [--findings <dir>...]
//
// Seed folders must hold at least one input in all; finding folders may be missing or empty.
// Files under --hex are hex text (blank-separated byte pairs, as the recorded telegrams are)
// and are turned into their bytes first. Files whose names start with '.' are skipped. Each
// input is handed over in a heap block of exactly its size, so a sanitizer build sees a read
// past its end.
#include "HexFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

enum class Kind { Seeds, Hex, Findings };

struct Folder {
    Kind kind;
    fs::path path;
};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The regular files of a folder and its subfolders, sorted, dot files left out.
std::vector<fs::path> inputsOf(const fs::path& folder)
{
    std::vector<fs::path> files;
    if (!fs::is_directory(folder))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

void runOne(const std::string& bytes)
{
    // Exactly the input's size: no terminator and no spare capacity behind it.
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[bytes.size()]);
    if (!bytes.empty())
        std::memcpy(copy.get(), bytes.data(), bytes.size());
    LLVMFuzzerTestOneInput(copy.get(), bytes.size());
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<Folder> folders;
    Kind kind = Kind::Seeds;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seeds")
            kind = Kind::Seeds;
        else if (arg == "--hex")
            kind = Kind::Hex;
        else if (arg == "--findings")
            kind = Kind::Findings;
        else
            folders.push_back({kind, arg});
    }
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);

    std::size_t seeds = 0, findings = 0;
    try {
        for (const Folder& folder : folders) {
            if (folder.kind != Kind::Findings && !fs::is_directory(folder.path)) {
                std::fprintf(stderr, "missing seed folder %s\n", folder.path.c_str());
                return 1;
            }
            for (const fs::path& file : inputsOf(folder.path)) {
                std::string bytes = readFile(file);
                if (folder.kind == Kind::Hex)
                    bytes = parseHexText(bytes);
                std::fprintf(stderr, "%s\n", file.c_str());
                runOne(bytes);
                ++(folder.kind == Kind::Findings ? findings : seeds);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "replay failed: %s\n", e.what());
        return 1;
    }
    std::printf("replayed %zu seeds and %zu findings\n", seeds, findings);
    if (seeds == 0) {
        std::fprintf(stderr, "no seed inputs: the replay would test nothing\n");
        return 1;
    }
    return 0;
}
