// SPDX-License-Identifier: MIT
// How long the command line takes, over a large archive, before its first conversion starts:
// a tree of N files (default 100,000; one in ten a Word document, the rest other files) in three
// levels of folders is listed by the real "pavendel --convert-to rtf --recursive", with and
// without --skip-converted (which also examines each document and reads the output folders'
// records), and resumed (--skip-converted with every document in its folder's record and its
// output there), the file cache warm. The run is stopped as it asks whether to go on before its
// first document, so no office is started. Prints the median and the worst time of each.
//
//   build/bench/pavendel-bench-list-tree [N] [RUNS]
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/commandline.h"
#include "core/convertedrecord.h"

namespace {

using Clock = std::chrono::steady_clock;

void report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%-36s median %7.1f ms   worst %7.1f ms\n", what, 1000 * times[times.size() / 2],
                1000 * times.back());
}

// Notes every document of the archive as converted, as a finished run leaves the output tree:
// an output file in the mirrored folder and a line in that folder's record.
void resume(const std::filesystem::path& archive, const std::filesystem::path& output) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(archive)) {
        const std::filesystem::path name = entry.path().filename();
        if (!entry.is_regular_file() || name.extension().string().rfind(".doc", 0) != 0) {
            continue;
        }
        const std::filesystem::path folder =
            output / std::filesystem::relative(entry.path().parent_path(), archive);
        std::filesystem::create_directories(folder);
        const std::string rtf = name.stem().string() + ".rtf";
        std::ofstream(folder / rtf);
        const platform::Folder held(folder.string());
        core::ConvertedRecord::Add(held, *core::StampOf(entry.path().string()), rtf);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;

    char pattern[] = "/tmp/pavendel-bench-XXXXXX";
    const std::filesystem::path root = ::mkdtemp(pattern);
    const std::filesystem::path archive = root / "archive";
    // 10 years, 10 folders each, 20 folders in each of those: 2,000 folders of about 50 files.
    constexpr int kTop = 10;
    constexpr int kMiddle = 10;
    constexpr int kBottom = 20;
    constexpr int kFolders = kTop * kMiddle * kBottom;
    int documents = 0;
    for (int i = 0; i < count; ++i) {
        const int folder = i % kFolders;
        const std::filesystem::path where =
            archive / ("year " + std::to_string(2000 + folder / (kMiddle * kBottom))) /
            ("client " + std::to_string(folder / kBottom % kMiddle)) /
            ("case " + std::to_string(folder % kBottom));
        if (i < kFolders) {
            std::filesystem::create_directories(where);
        }
        const bool document = i % 10 == 0;
        documents += document ? 1 : 0;
        std::ofstream(where / ("file " + std::to_string(i) +
                               (document ? (i % 20 == 0 ? ".docx" : ".doc") : ".pdf")));
    }

    std::vector<double> times[3];
    for (int run = -1; run < runs; ++run) {
        for (const int variant : {0, 1, 2}) {
            const bool skip = variant > 0;
            if (variant == 2 && run == -1) {
                resume(archive, root / "rtf");
            }
            std::ostringstream out;
            std::ostringstream err;
            Clock::time_point firstDocument;
            std::vector<std::string> arguments = {"--convert-to", "rtf", "--recursive", "--outdir",
                                                  (root / "rtf").string()};
            if (skip) {
                arguments.push_back("--skip-converted");
            }
            arguments.push_back(archive.string());
            const core::CommandLineIo io{out,
                                         err,
                                         false,
                                         [&firstDocument] {
                                             firstDocument = Clock::now();
                                             return SIGINT;
                                         },
                                         0,
                                         {}};
            const Clock::time_point start = Clock::now();
            const int status = core::RunCommandLine(arguments, io);
            const std::string said = err.str();
            const std::string expected = "stopped after 0 of " + std::to_string(documents);
            if (status != 128 + SIGINT || said.find(expected) == std::string::npos) {
                std::fprintf(stderr, "unexpected end (%d): %s\n", status, said.c_str());
                return 1;
            }
            // The first round warms the file cache and is not counted.
            if (run >= 0) {
                times[variant].push_back(
                    std::chrono::duration<double>(firstDocument - start).count());
            }
        }
    }
    std::printf("%d files (%d Word documents) in %d folders, three levels deep, %d runs\n", count,
                documents, kFolders, runs);
    report("--recursive", times[0]);
    report("--recursive --skip-converted", times[1]);
    report("resumed, every document converted", times[2]);
    std::filesystem::remove_all(root);
    return 0;
}
