// SPDX-License-Identifier: MIT
// Runs a fuzz target's entry point once on every file of the folders (or on the files) given, in
// name order, without libFuzzer: the ordinary builds replay the starting corpora and the kept crash
// inputs this way under GCC and the sanitizers. A fault in the target aborts the process as it
// would under libFuzzer; the input's name is printed before it runs so that the log shows which.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// The files to run: a folder stands for its regular files (not its subfolders); missing paths
// are an error, so that a misspelt folder cannot pass as an empty one.
bool collect(const std::filesystem::path& path, std::vector<std::filesystem::path>& inputs) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
        inputs.push_back(path);
        return true;
    }
    if (!std::filesystem::is_directory(path, error)) {
        std::fprintf(stderr, "replay: %s is neither a file nor a folder\n", path.c_str());
        return false;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    if (error) {
        std::fprintf(stderr, "replay: cannot list %s: %s\n", path.c_str(), error.message().c_str());
        return false;
    }
    std::sort(files.begin(), files.end());
    inputs.insert(inputs.end(), files.begin(), files.end());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER_OR_FILE...\n", argv[0]);
        return 2;
    }
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!collect(argv[i], inputs)) {
            return 2;
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "replay: nothing to run\n");
        return 2;
    }
    for (const auto& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>()};
        if (in.bad()) {
            std::fprintf(stderr, "replay: cannot read %s\n", input.c_str());
            return 2;
        }
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", input.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replay: ran %zu inputs\n", inputs.size());
    return 0;
}
