// SPDX-License-Identifier: MIT
// Converts every Word document of a folder the way the program does, one office instance per
// document, and prints per document "name<TAB>ok|fail<TAB>seconds<TAB>description" and finally
// "converted N of M in S s".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/wordconvert.h"

namespace fs = std::filesystem;

namespace {

bool isWordDocument(const fs::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* known : {".doc", ".docx", ".docm", ".dot", ".dotx", ".dotm"}) {
        if (extension == known) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER OUTDIR\n", argv[0]);
        return 2;
    }
    const fs::path folder(argv[1]);
    const fs::path output(argv[2]);
    std::vector<fs::path> documents;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file() && isWordDocument(entry.path())) {
            documents.push_back(entry.path());
        }
    }
    std::sort(documents.begin(), documents.end());
    fs::create_directories(output);

    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    int converted = 0;
    for (const fs::path& document : documents) {
        const auto begin = Clock::now();
        const std::string target = (output / document.stem()).string() + ".rtf";
        const std::string failure = bench::convertWithWord(document.string(), target);
        const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        converted += failure.empty() ? 1 : 0;
        std::printf("%s\t%s\t%.2f\t%s\n", document.filename().c_str(),
                    failure.empty() ? "ok" : "fail", seconds, failure.c_str());
        std::fflush(stdout);
    }
    std::printf("converted %d of %zu in %.1f s\n", converted, documents.size(),
                std::chrono::duration<double>(Clock::now() - started).count());
    return 0;
}
