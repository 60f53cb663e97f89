// SPDX-License-Identifier: MIT
// Compares the program's conversions with LibreOffice's own command line, side by side in one run:
//   - Pavendel: every document through the automation client, a fresh office instance per
//     document (create, Open, SaveAs, Quit), as the program's Convert does;
//   - soffice, one process: one "soffice --headless --convert-to rtf" for all documents;
//   - soffice per file: one such process per document.
// Every soffice run gets a profile with the same settings the program's engine uses, so that
// neither side pays the engine's first-start tests. The three take turns, round after round, and
// the table gives the medians over the rounds: the total, the median time of one document, the
// ratios of the totals; and, from one more run of each side, the peak proportional set size (PSS)
// of all processes of each side.
//
// usage: pavendel-compare-engines [--rounds N] [--other-server PATH] CORPUS
// CORPUS holds the documents and EXPECTED.tsv; the rows marked "converts" are compared. With
// --other-server a fourth side converts through another build's pavendel-office (with its
// pavendel-office-uno.so beside it), so that two versions of the server are compared in one run.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/documents.h"
#include "office/profile.h"
#include "platform/officeclient.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Empty when the file cannot be read, as when a process ends while its /proc files are read
// (the stream library then throws from the middle of the read).
std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    try {
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    } catch (const std::ios_base::failure&) {
        return {};
    }
}

// ---- memory: the PSS of a process and everything it started ----

pid_t parentOf(const std::string& pid) {
    const std::string stat = readFile("/proc/" + pid + "/stat");
    // "pid (name) state ppid ...": the name may hold spaces and parentheses.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    std::istringstream fields(stat.substr(close + 1));
    std::string state;
    pid_t parent = -1;
    fields >> state >> parent;
    return parent;
}

long pssKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Pss:", 0) == 0) {
            return std::strtol(line.c_str() + 4, nullptr, 10);
        }
    }
    return 0;
}

long treePssKiB(pid_t root) {
    std::multimap<pid_t, pid_t> children;
    if (DIR* proc = ::opendir("/proc")) {
        while (const dirent* entry = ::readdir(proc)) {
            if (std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) {
                children.emplace(parentOf(entry->d_name), std::atoi(entry->d_name));
            }
        }
        ::closedir(proc);
    }
    long total = 0;
    std::vector<pid_t> pending{root};
    while (!pending.empty()) {
        const pid_t pid = pending.back();
        pending.pop_back();
        total += pssKiB(pid);
        const auto [first, last] = children.equal_range(pid);
        for (auto it = first; it != last; ++it) {
            pending.push_back(it->second);
        }
    }
    return total;
}

// Samples the PSS of a process tree until stopped and keeps the highest sum seen.
class PeakMemory {
 public:
    // Samples only when watch is true: reading the memory maps of big processes takes time
    // from them, so timed runs are left alone.
    PeakMemory(bool watch, std::function<pid_t()> root) : m_root(std::move(root)) {
        if (!watch) {
            return;
        }
        m_thread = std::thread([this] {
            while (!m_stop.load()) {
                if (const pid_t pid = m_root(); pid > 0) {
                    m_peak = std::max(m_peak.load(), treePssKiB(pid));
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            }
        });
    }
    ~PeakMemory() { stop(); }
    PeakMemory(const PeakMemory&) = delete;
    PeakMemory& operator=(const PeakMemory&) = delete;

    double stop() {
        if (m_thread.joinable()) {
            m_stop = true;
            m_thread.join();
        }
        return static_cast<double>(m_peak.load()) / 1024.0;
    }

 private:
    std::function<pid_t()> m_root;
    std::atomic<bool> m_stop{false};
    std::atomic<long> m_peak{0};
    std::thread m_thread;
};

// ---- one run of one side ----

struct Run {
    double total = 0;
    std::vector<double> perDocument;
    int converted = 0;
    double peakMiB = 0;
};

bool isRtf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char head[6] = {};
    in.read(head, sizeof head);
    return in.gcount() == 6 && std::memcmp(head, "{\\rtf1", 6) == 0;
}

int countConverted(const std::vector<fs::path>& documents, const fs::path& output) {
    int converted = 0;
    for (const fs::path& document : documents) {
        converted += isRtf(output / (document.stem().string() + ".rtf")) ? 1 : 0;
    }
    return converted;
}

void freshFolder(const fs::path& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
}

Run runPavendel(const std::vector<fs::path>& documents, const fs::path& output, bool watchMemory,
                const std::string& serverPath = {}) {
    freshFolder(output);
    // A new provider: its launcher starts with the first document, as in a program just opened.
    platform::OfficeOptions options;
    options.serverPath = serverPath;
    platform::RegisterProvider("Word.Application", platform::officeProvider(options));
    Run run;
    PeakMemory memory(watchMemory, [] { return ::getpid(); });
    const auto start = Clock::now();
    for (const fs::path& document : documents) {
        const auto begin = Clock::now();
        const std::optional<std::string> failure = core::ConvertWithWord(
            document.string(), (output / (document.stem().string() + ".rtf")).string());
        run.perDocument.push_back(secondsSince(begin));
        if (failure) {
            std::fprintf(stderr, "%s: %s\n", document.filename().c_str(), failure->c_str());
        }
    }
    run.total = secondsSince(start);
    // Ends the launcher before the memory sampling stops, as closing the program would.
    platform::RegisterProvider("Word.Application", {});
    run.peakMiB = memory.stop();
    run.converted = countConverted(documents, output);
    return run;
}

// Starts soffice with the given documents; its standard output goes to outFd (or nowhere).
pid_t startSoffice(const fs::path& profile, const fs::path& output,
                   const std::vector<fs::path>& documents, int outFd) {
    std::vector<std::string> arguments{
        "soffice",      "-env:UserInstallation=" + office::fileUrl(profile),
        "--headless",   "--convert-to",
        "rtf",          "--outdir",
        output.string()};
    for (const fs::path& document : documents) {
        arguments.push_back(document.string());
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (outFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int error = ::posix_spawnp(&pid, "soffice", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        std::fprintf(stderr, "cannot start soffice: %s\n", std::strerror(error));
        std::exit(1);
    }
    return pid;
}

void waitFor(pid_t pid) {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// One process for all documents. Its per-document times are the gaps between the lines it
// prints as it goes ("convert <document> -> ..."): from its start, or from the line before, to
// the line of the document; the last document also gets the time up to the process's end.
Run runSofficeOnce(const std::vector<fs::path>& documents, const fs::path& profile,
                   const fs::path& output, bool watchMemory) {
    freshFolder(output);
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    std::atomic<pid_t> pid{-1};
    PeakMemory memory(watchMemory, [&pid] { return pid.load(); });
    const auto start = Clock::now();
    pid = startSoffice(profile, output, documents, pipeEnds[1]);
    ::close(pipeEnds[1]);

    Run run;
    auto previous = start;
    std::string pending;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(pipeEnds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        pending.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            if (pending.rfind("convert ", 0) == 0) {
                const auto now = Clock::now();
                run.perDocument.push_back(std::chrono::duration<double>(now - previous).count());
                previous = now;
            }
            pending.erase(0, end + 1);
        }
    }
    ::close(pipeEnds[0]);
    waitFor(pid);
    run.total = secondsSince(start);
    if (!run.perDocument.empty()) {
        run.perDocument.back() += std::chrono::duration<double>(Clock::now() - previous).count();
    }
    run.peakMiB = memory.stop();
    run.converted = countConverted(documents, output);
    return run;
}

Run runSofficePerFile(const std::vector<fs::path>& documents, const fs::path& profile,
                      const fs::path& output, bool watchMemory) {
    freshFolder(output);
    Run run;
    std::atomic<pid_t> pid{-1};
    PeakMemory memory(watchMemory, [&pid] { return pid.load(); });
    const auto start = Clock::now();
    for (const fs::path& document : documents) {
        const auto begin = Clock::now();
        pid = startSoffice(profile, output, {document}, -1);
        waitFor(pid);
        pid = -1;
        run.perDocument.push_back(secondsSince(begin));
    }
    run.total = secondsSince(start);
    run.peakMiB = memory.stop();
    run.converted = countConverted(documents, output);
    return run;
}

// ---- the corpus and the machine ----

std::vector<fs::path> convertibleDocuments(const fs::path& corpus, const fs::path& copyTo) {
    std::ifstream expected(corpus / "EXPECTED.tsv");
    if (!expected) {
        std::fprintf(stderr, "no EXPECTED.tsv in %s\n", corpus.c_str());
        std::exit(2);
    }
    fs::create_directories(copyTo);
    std::vector<fs::path> documents;
    std::string line;
    while (std::getline(expected, line)) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || line.compare(tab + 1, 8, "converts") != 0) {
            continue;
        }
        const fs::path copy = copyTo / line.substr(0, tab);
        fs::copy_file(corpus / line.substr(0, tab), copy, fs::copy_options::overwrite_existing);
        documents.push_back(copy);
    }
    std::sort(documents.begin(), documents.end());
    return documents;
}

std::string cpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) == 0) {
            return line.substr(line.find(':') + 2);
        }
    }
    return "unknown processor";
}

double memoryGiB() {
    std::ifstream in("/proc/meminfo");
    std::string key;
    long kib = 0;
    in >> key >> kib;
    return static_cast<double>(kib) / 1024.0 / 1024.0;
}

struct Side {
    const char* name;
    std::vector<Run> runs;

    double total() const {
        std::vector<double> totals;
        for (const Run& run : runs) {
            totals.push_back(run.total);
        }
        return median(totals);
    }
    // The median over documents of each document's median over the rounds.
    double perDocument() const {
        std::vector<double> documents;
        for (std::size_t i = 0; !runs.empty() && i < runs.front().perDocument.size(); ++i) {
            std::vector<double> rounds;
            for (const Run& run : runs) {
                if (i < run.perDocument.size()) {
                    rounds.push_back(run.perDocument[i]);
                }
            }
            documents.push_back(median(rounds));
        }
        return median(documents);
    }
    int converted() const {
        int fewest = runs.empty() ? 0 : runs.front().converted;
        for (const Run& run : runs) {
            fewest = std::min(fewest, run.converted);
        }
        return fewest;
    }
};

}  // namespace

int main(int argc, char** argv) {
    int rounds = 3;
    fs::path corpus;
    std::string otherServer;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (argument == "--other-server" && i + 1 < argc) {
            otherServer = fs::absolute(argv[++i]).string();
        } else if (corpus.empty() && argument.rfind("--", 0) != 0) {
            corpus = argument;
        } else {
            std::fprintf(stderr, "usage: %s [--rounds N] [--other-server PATH] CORPUS\n", argv[0]);
            return 2;
        }
    }
    if (corpus.empty()) {
        std::fprintf(stderr, "usage: %s [--rounds N] [--other-server PATH] CORPUS\n", argv[0]);
        return 2;
    }

    char pattern[] = "/tmp/pavendel-compare-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path work = pattern;
    const std::vector<fs::path> documents = convertibleDocuments(corpus, work / "documents");
    const office::EngineInstall engine = office::findEngine();
    const fs::path profile = work / "soffice-profile";
    fs::create_directories(profile / "user");
    std::ofstream(profile / "user" / "registrymodifications.xcu")
        << office::profileSettings(engine.version);

    std::printf("%zu documents of %s; %d rounds\n", documents.size(), corpus.c_str(), rounds);
    std::printf("machine: %s, %u cores, %.0f GiB; LibreOffice %s\n", cpuModel().c_str(),
                std::thread::hardware_concurrency(), memoryGiB(),
                engine.version.empty() ? "(unknown version)" : engine.version.c_str());
    std::fflush(stdout);

    // Both sides once before timing: the engine's profile is completed, the files are cached.
    {
        const std::vector<fs::path> first{documents.front()};
        runPavendel(first, work / "warm", false);
        runSofficeOnce(first, profile, work / "warm", false);
        if (!otherServer.empty()) {
            runPavendel(first, work / "warm", false, otherServer);
        }
    }

    std::vector<Side> sides{{"Pavendel, one instance per document", {}},
                            {"soffice, one process for all", {}},
                            {"soffice, one process per file", {}}};
    if (!otherServer.empty()) {
        sides.push_back({"Pavendel, the other server", {}});
        std::printf("the other server: %s\n", otherServer.c_str());
    }
    const int count = static_cast<int>(sides.size());
    const auto runSide = [&](int side, bool watchMemory) {
        const fs::path output = work / ("output-" + std::to_string(side));
        return side == 0   ? runPavendel(documents, output, watchMemory)
               : side == 1 ? runSofficeOnce(documents, profile, output, watchMemory)
               : side == 2 ? runSofficePerFile(documents, profile, output, watchMemory)
                           : runPavendel(documents, output, watchMemory, otherServer);
    };
    for (int round = 0; round < rounds; ++round) {
        // The sides take turns in a different order each round, so that none always runs first.
        for (int turn = 0; turn < count; ++turn) {
            const int side = (round + turn) % count;
            Run run = runSide(side, false);
            std::printf("round %d: %-36s %6.2f s  %d converted\n", round + 1, sides[side].name,
                        run.total, run.converted);
            std::fflush(stdout);
            sides[side].runs.push_back(std::move(run));
        }
    }
    // One more run of each side, watched for memory and not timed.
    std::vector<double> peaks(sides.size());
    for (int side = 0; side < count; ++side) {
        peaks[static_cast<std::size_t>(side)] = runSide(side, true).peakMiB;
        std::printf("memory: %-36s peak %.0f MiB\n", sides[static_cast<std::size_t>(side)].name,
                    peaks[static_cast<std::size_t>(side)]);
        std::fflush(stdout);
    }

    const double once = sides[1].total();
    const double perFile = sides[2].total();
    const double onceMemory = peaks[1];
    std::printf("\n%-36s %9s %8s %11s %9s %9s %9s %9s\n", "", "converted", "total s",
                "median doc s", "/ once", "/ per file", "peak MiB", "/ once");
    for (int i = 0; i < count; ++i) {
        const Side& side = sides[static_cast<std::size_t>(i)];
        std::printf("%-36s %6d/%-2zu %8.2f %11.3f %9.2f %9.2f %9.0f %9.2f\n", side.name,
                    side.converted(), documents.size(), side.total(), side.perDocument(),
                    side.total() / once, side.total() / perFile, peaks[static_cast<std::size_t>(i)],
                    peaks[static_cast<std::size_t>(i)] / onceMemory);
    }
    std::printf(
        "\n(times: medians over %d rounds; peak MiB: the highest sum of the PSS of all processes "
        "of a side, sampled every 25 ms in a separate run)\n",
        rounds);
    fs::remove_all(work);
    return 0;
}
