// SPDX-License-Identifier: MIT
// How long the window is busy listing a large folder: a folder of N Word documents (default
// 10,000) is added to the real main window, on the offscreen platform, and listed again by a
// click, several times; prints the median and the worst time of each.
//
//   QT_QPA_PLATFORM=offscreen build/bench/pavendel-bench-list-documents [N] [RUNS]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/form1.h"
#include "core/listcommands.h"
#include "core/module1.h"

namespace {

double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%-28s median %7.1f ms   worst %7.1f ms\n", what, 1000 * times[times.size() / 2],
                1000 * times.back());
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;

    char pattern[] = "/tmp/pavendel-bench-XXXXXX";
    const std::filesystem::path root = ::mkdtemp(pattern);
    const std::filesystem::path folder = root / "documents";
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(root / "state");
    for (int i = 0; i < count; ++i) {
        std::ofstream(folder / ("Document " + std::to_string(i) + (i % 2 ? ".docx" : ".doc")));
    }
    for (int i = 0; i < count / 10; ++i) {
        std::ofstream(folder / ("notes " + std::to_string(i) + ".txt"));
    }

    std::vector<double> adding;
    std::vector<double> clicking;
    for (int run = 0; run < runs; ++run) {
        app::form1 window(state::StateFiles((root / "state").string()));
        core::MainControls controls = window.controls();
        core::Module1 module(controls);
        adding.push_back(secondsOf([&] {
            core::AddSourceFolder(module, controls, folder.string());
            QApplication::processEvents();
        }));
        clicking.push_back(secondsOf([&] {
            core::ListSelectedSource(module, controls);
            QApplication::processEvents();
        }));
        if (controls.ListView2.count() != count) {
            std::fprintf(stderr, "listed %d of %d documents\n", controls.ListView2.count(), count);
            return 1;
        }
    }
    std::printf("%d documents (and %d other files) in one folder, %d runs\n", count, count / 10,
                runs);
    report("add the folder", adding);
    report("click the entry again", clicking);
    std::filesystem::remove_all(root);
    return 0;
}
