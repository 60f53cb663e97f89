// SPDX-License-Identifier: MIT
// Compares the program's command line with LibreOffice's own, side by side in one run, over two
// sets of documents:
//   - convertible: the documents that CORPUS/EXPECTED.tsv marks "converts";
//   - many: the same without bug65649.docx (which alone takes seconds on every side), each
//     copied six times under names of its own (name-1.docx ... name-6.docx), so that the start
//     of a run weighs little and documents that convert at once can show it.
// The sides of a set, each converting all of its documents:
//   - Pavendel, one side per entry of --conversions: "pavendel --convert-to rtf --outdir OUT
//     FILE...", the executable in this program's folder, exactly as users run it, with
//     PAVENDEL_CONVERSIONS=K (how many documents convert at once) or, for "default", without it;
//   - with --other-program PATH: the same with another build's pavendel (which starts the
//     pavendel-office of its own folder) and the default K, to compare two builds in one run;
//   - soffice, one process: one "soffice --headless --convert-to rtf" for all documents;
//   - soffice per file, in the convertible set only (it is slow): one such process per document.
// Every soffice run gets a profile with the same settings the program's engine uses, so that
// neither side pays the engine's first-start tests. The sides take turns, in a different order
// each round, and the table gives the medians over the rounds: the total (from the start of the
// process to its end), the median time of one document, the ratios of the totals; and, from one
// more run of each side, the peak proportional set size (PSS) of the side's process and
// everything it started. For the Pavendel sides it also counts the documents that pavendel-office
// reports on standard error as taking the engine's own conversion (off the fast path), and lists
// the reasons it gave. With --cores N,..., the default Pavendel side and the one soffice process
// run again pinned to the first N processors (taskset -c 0-(N-1)), for a table of how each
// scales.
//
// Every output is checked: an RTF file named after the document, starting with "{\rtf", in the
// side's fresh output folder. A document without one counts as not converted, whatever the side
// printed. Everything runs in a temporary folder, removed at the end unless the run is killed.
//
// usage: pavendel-compare-engines [--rounds N] [--conversions LIST] [--other-program PATH]
//                                 [--set convertible|many|both] [--cores LIST] CORPUS
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "office/server/profile.h"

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

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(separator, start)) != std::string::npos;
         start = end + 1) {
        fields.push_back(text.substr(start, end - start));
    }
    fields.push_back(text.substr(start));
    return fields;
}

// The temporary folder of the run, removed when the run ends, std::exit included.
fs::path g_work;

void removeWork() {
    if (!g_work.empty()) {
        std::error_code ignored;
        fs::remove_all(g_work, ignored);
    }
}

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "pavendel-compare-engines: %s\n", message.c_str());
    std::exit(1);
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

// ---- running one process ----

struct Command {
    std::vector<std::string> arguments;
    // PAVENDEL_CONVERSIONS for the process; left out of its environment when empty.
    std::optional<std::string> conversions;
    // Pinned to processors 0 to cores-1 by taskset; 0: not pinned.
    int cores = 0;
};

struct Line {
    double seconds;  // since the start of the process
    std::string text;
};

struct Finished {
    double seconds = 0;  // from the start of the process to its end
    std::vector<Line> out;
    std::vector<std::string> err;  // when captured
    int status = -1;               // the exit status, or 128 + the signal that ended it
    bool heldOpen = false;         // a process it started still held its output after it ended
    double peakMiB = 0;
};

// Reads what fd holds and hands each whole line to line; false at the end of the stream, when a
// last line without a line break is handed over too.
bool readLines(int fd, std::string& pending, const std::function<void(std::string)>& line) {
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) < 0 && errno == EINTR) {
    }
    if (n <= 0) {
        if (!pending.empty()) {
            line(std::move(pending));
            pending.clear();
        }
        return false;
    }
    pending.append(chunk, static_cast<std::size_t>(n));
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
        line(pending.substr(0, end));
        pending.erase(0, end + 1);
    }
    return true;
}

// Runs the command with standard input from /dev/null, standard output read line by line as it
// comes, standard error read too when captureErr (else thrown away). The process's end is told
// by a process descriptor, not by the end of its output: a server it started may hold that
// a little longer, and is given 10 s to let go of it.
Finished run(const Command& command, bool captureErr, bool watchMemory) {
    std::vector<std::string> arguments;
    if (command.cores > 0) {
        arguments = {"taskset", "-c", "0-" + std::to_string(command.cores - 1)};
    }
    arguments.insert(arguments.end(), command.arguments.begin(), command.arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (std::strncmp(*variable, "PAVENDEL_CONVERSIONS=", 21) != 0) {
            environment.emplace_back(*variable);
        }
    }
    if (command.conversions) {
        environment.push_back("PAVENDEL_CONVERSIONS=" + *command.conversions);
    }
    std::vector<char*> envp;
    for (std::string& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);

    int out[2];
    int err[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || (captureErr && ::pipe2(err, O_CLOEXEC) != 0)) {
        fail(std::string("cannot make a pipe: ") + std::strerror(errno));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (captureErr) {
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }

    Finished finished;
    std::atomic<pid_t> pid{-1};
    PeakMemory memory(watchMemory, [&pid] { return pid.load(); });
    const auto start = Clock::now();
    pid_t child = -1;
    const int error =
        ::posix_spawnp(&child, argv.front(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        fail("cannot start " + arguments.front() + ": " + std::strerror(error));
    }
    pid = child;
    ::close(out[1]);
    if (captureErr) {
        ::close(err[1]);
    }
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    if (pidfd < 0) {
        fail(std::string("cannot watch a process: ") + std::strerror(errno));
    }

    std::string pendingOut;
    std::string pendingErr;
    bool outOpen = true;
    bool errOpen = captureErr;
    std::optional<Clock::time_point> ended;
    while (outOpen || errOpen || !ended) {
        std::vector<pollfd> watched;
        if (outOpen) {
            watched.push_back({out[0], POLLIN, 0});
        }
        if (errOpen) {
            watched.push_back({err[0], POLLIN, 0});
        }
        if (!ended) {
            watched.push_back({pidfd, POLLIN, 0});
        }
        int timeout = -1;
        if (ended) {
            timeout = static_cast<int>(std::max<long>(
                0,
                10000 - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *ended)
                            .count()));
            if (timeout == 0) {
                finished.heldOpen = true;
                break;
            }
        }
        if (::poll(watched.data(), watched.size(), timeout) < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(std::string("poll: ") + std::strerror(errno));
        }
        for (const pollfd& fd : watched) {
            if (fd.revents == 0) {
                continue;
            }
            if (fd.fd == out[0]) {
                outOpen = readLines(out[0], pendingOut, [&](std::string text) {
                    finished.out.push_back({secondsSince(start), std::move(text)});
                });
            } else if (fd.fd == err[0]) {
                errOpen = readLines(err[0], pendingErr, [&](std::string text) {
                    finished.err.push_back(std::move(text));
                });
            } else if (!ended) {
                ended = Clock::now();
                finished.seconds = secondsSince(start);
            }
        }
    }
    ::close(pidfd);
    ::close(out[0]);
    if (captureErr) {
        ::close(err[0]);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
    finished.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    finished.peakMiB = memory.stop();
    return finished;
}

// ---- one run of one side ----

struct Run {
    double total = 0;
    std::vector<double> perDocument;
    int converted = 0;
    std::vector<std::string> notConverted;  // no RTF file, an empty one, or not RTF
    int status = 0;                         // of the last process
    bool heldOpen = false;
    double peakMiB = 0;
    // Pavendel sides only.
    int fellBack = 0;
    std::map<std::string, std::set<std::string>> reasons;  // reason -> documents
    std::vector<std::string> failed;                       // "document: description"
    std::vector<std::string> otherMessages;                // the rest of standard error
};

// What a side's run came to as far as its process tells: its time, status and memory.
Run runOf(const Finished& finished) {
    Run result;
    result.total = finished.seconds;
    result.status = finished.status;
    result.heldOpen = finished.heldOpen;
    result.peakMiB = finished.peakMiB;
    return result;
}

bool isRtf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char head[5] = {};
    in.read(head, sizeof head);
    return in.gcount() == 5 && std::memcmp(head, "{\\rtf", 5) == 0;
}

// Every document needs an RTF file of its name in the output folder; the copies of the documents
// have names that both programs keep as they are (see copyDocuments).
void checkOutputs(const std::vector<fs::path>& documents, const fs::path& output, Run& run) {
    for (const fs::path& document : documents) {
        if (isRtf(output / (document.stem().string() + ".rtf"))) {
            ++run.converted;
        } else {
            run.notConverted.push_back(document.filename().string());
        }
    }
}

void freshFolder(const fs::path& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
}

// A document's time: from the start, or from the line of the document before, to its line; the
// last document also gets the time up to the end of the process (when the program ends its
// server, or the engine its own process).
std::vector<double> gapsBetween(const std::vector<double>& stamps, double end) {
    std::vector<double> gaps;
    double previous = 0;
    for (const double stamp : stamps) {
        gaps.push_back(stamp - previous);
        previous = stamp;
    }
    if (!gaps.empty()) {
        gaps.back() += end - previous;
    }
    return gaps;
}

constexpr const char* kFallbackMarker = ": taking the engine's own conversion, since ";

// The program's command line, all documents in one run. Its standard output has one line a
// document as each ends ("SOURCE<TAB>converted<TAB>OUTPUT" or "SOURCE<TAB>failed<TAB>WHY").
Run runPavendel(const fs::path& program, const std::optional<std::string>& conversions, int cores,
                const std::vector<fs::path>& documents, const fs::path& output, bool watchMemory) {
    freshFolder(output);
    Command command{{program.string(), "--convert-to", "rtf", "--outdir", output.string(), "--"},
                    conversions,
                    cores};
    for (const fs::path& document : documents) {
        command.arguments.push_back(document.string());
    }
    const Finished finished = run(command, true, watchMemory);
    Run result = runOf(finished);
    std::vector<double> stamps;
    for (const Line& line : finished.out) {
        const std::vector<std::string> fields = split(line.text, '\t');
        if (fields.size() != 3 || (fields[1] != "converted" && fields[1] != "failed")) {
            result.otherMessages.push_back("(standard output) " + line.text);
            continue;
        }
        stamps.push_back(line.seconds);
        if (fields[1] == "failed") {
            result.failed.push_back(fs::path(fields[0]).filename().string() + ": " + fields[2]);
        }
    }
    result.perDocument = gapsBetween(stamps, finished.seconds);
    for (const std::string& line : finished.err) {
        const std::string prefix = "pavendel-office: ";
        const std::size_t marker = line.find(kFallbackMarker);
        if (line.rfind(prefix, 0) != 0 || marker == std::string::npos) {
            result.otherMessages.push_back(line);
            continue;
        }
        std::string reason = line.substr(marker + std::strlen(kFallbackMarker));
        if (!reason.empty() && reason.back() == '.') {
            reason.pop_back();
        }
        ++result.fellBack;
        result.reasons[reason].insert(line.substr(prefix.size(), marker - prefix.size()));
    }
    checkOutputs(documents, output, result);
    return result;
}

Command sofficeCommand(const fs::path& profile, const fs::path& output,
                       const std::vector<fs::path>& documents, int cores) {
    Command command{{"soffice", "-env:UserInstallation=" + office::fileUrl(profile), "--headless",
                     "--convert-to", "rtf", "--outdir", output.string()},
                    std::nullopt,
                    cores};
    for (const fs::path& document : documents) {
        command.arguments.push_back(document.string());
    }
    return command;
}

// One process for all documents. It prints a line as it goes ("convert <document> -> ...").
Run runSofficeOnce(const std::vector<fs::path>& documents, const fs::path& profile,
                   const fs::path& output, int cores, bool watchMemory) {
    freshFolder(output);
    const Finished finished =
        run(sofficeCommand(profile, output, documents, cores), false, watchMemory);
    Run result = runOf(finished);
    std::vector<double> stamps;
    for (const Line& line : finished.out) {
        if (line.text.rfind("convert ", 0) == 0) {
            stamps.push_back(line.seconds);
        }
    }
    result.perDocument = gapsBetween(stamps, finished.seconds);
    checkOutputs(documents, output, result);
    return result;
}

Run runSofficePerFile(const std::vector<fs::path>& documents, const fs::path& profile,
                      const fs::path& output, bool watchMemory) {
    freshFolder(output);
    Run result;
    const auto start = Clock::now();
    for (const fs::path& document : documents) {
        const Finished finished =
            run(sofficeCommand(profile, output, {document}, 0), false, watchMemory);
        result.perDocument.push_back(finished.seconds);
        result.peakMiB = std::max(result.peakMiB, finished.peakMiB);
        result.status = std::max(result.status, finished.status);
        result.heldOpen = result.heldOpen || finished.heldOpen;
    }
    result.total = secondsSince(start);
    checkOutputs(documents, output, result);
    return result;
}

// ---- the documents and the machine ----

std::vector<std::string> convertibleNames(const fs::path& corpus) {
    std::ifstream expected(corpus / "EXPECTED.tsv");
    if (!expected) {
        fail("no EXPECTED.tsv in " + corpus.string());
    }
    std::vector<std::string> names;
    std::string line;
    while (std::getline(expected, line)) {
        const std::vector<std::string> fields = split(line, '\t');
        if (fields.size() >= 2 && fields[1] == "converts") {
            names.push_back(fields[0]);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Copies the documents into folder, each `copies` times as name-1.ext ... name-N.ext, or once
// under its own name when copies is 0. The program takes spaces and full stops out of output
// names and LibreOffice does not, and two documents whose names differ only in the extension
// would share an output: such names get an underscore or a number, so that every document has an
// output named after it on every side.
std::vector<fs::path> copyDocuments(const fs::path& corpus, const std::vector<std::string>& names,
                                    const fs::path& folder, int copies) {
    fs::create_directories(folder);
    std::vector<fs::path> documents;
    std::set<std::string> stems;
    for (const std::string& name : names) {
        std::string stem = fs::path(name).stem().string();
        std::replace_if(
            stem.begin(), stem.end(), [](char c) { return c == ' ' || c == '.'; }, '_');
        for (int copy = copies == 0 ? 0 : 1; copy <= copies; ++copy) {
            std::string base = copy == 0 ? stem : stem + "-" + std::to_string(copy);
            for (int counter = 2; stems.count(base) != 0; ++counter) {
                base = stem;
                base += '_';
                base += std::to_string(counter);
                if (copy != 0) {
                    base += '-';
                    base += std::to_string(copy);
                }
            }
            stems.insert(base);
            const fs::path target = folder / (base + fs::path(name).extension().string());
            fs::copy_file(corpus / name, target, fs::copy_options::overwrite_existing);
            documents.push_back(target);
        }
    }
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

std::string versionOf(const fs::path& program) {
    const Finished finished = run({{program.string(), "--version"}, std::nullopt, 0}, false, false);
    return finished.out.empty() ? "(no version)" : finished.out.front().text;
}

// ---- sides and tables ----

enum class Kind { Pavendel, SofficeOnce, SofficePerFile };

struct Side {
    std::string name;
    Kind kind;
    fs::path program;                        // Pavendel sides
    std::optional<std::string> conversions;  // Pavendel sides: PAVENDEL_CONVERSIONS
    int cores = 0;                           // pinned to this many processors; 0: not pinned
    bool scaling = false;                    // in the table of cores, not the main one
    std::vector<Run> runs;                   // timed
    std::optional<Run> watched;              // the run that sampled memory

    Side(std::string sideName, Kind sideKind, fs::path sideProgram = {},
         std::optional<std::string> sideConversions = std::nullopt, int sideCores = 0,
         bool inScaling = false)
        : name(std::move(sideName)),
          kind(sideKind),
          program(std::move(sideProgram)),
          conversions(std::move(sideConversions)),
          cores(sideCores),
          scaling(inScaling) {}

    std::vector<const Run*> allRuns() const {
        std::vector<const Run*> all;
        for (const Run& one : runs) {
            all.push_back(&one);
        }
        if (watched) {
            all.push_back(&*watched);
        }
        return all;
    }
    double total() const {
        std::vector<double> totals;
        for (const Run& one : runs) {
            totals.push_back(one.total);
        }
        return median(totals);
    }
    double perDocument() const {
        std::vector<double> medians;
        for (const Run& one : runs) {
            medians.push_back(median(one.perDocument));
        }
        return median(medians);
    }
    // The fewest converted in any run, the memory run included.
    int converted() const {
        int fewest = -1;
        for (const Run* one : allRuns()) {
            fewest = fewest < 0 ? one->converted : std::min(fewest, one->converted);
        }
        return std::max(fewest, 0);
    }
    std::string fellBack() const {
        if (kind != Kind::Pavendel) {
            return "-";
        }
        int least = -1;
        int most = -1;
        for (const Run* one : allRuns()) {
            least = least < 0 ? one->fellBack : std::min(least, one->fellBack);
            most = std::max(most, one->fellBack);
        }
        return least == most ? std::to_string(least)
                             : std::to_string(least) + "-" + std::to_string(most);
    }
};

std::string fixed(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string convertedCell(const Side& side, std::size_t documents) {
    const std::string cell = std::to_string(side.converted()) + "/" + std::to_string(documents);
    return side.converted() == static_cast<int>(documents) ? cell : "**" + cell + " MISSING**";
}

void printRow(const std::vector<std::string>& cells, const std::vector<std::size_t>& widths) {
    std::string row = "|";
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::string padding(widths[i] - cells[i].size(), ' ');
        row += " " + (i == 0 ? cells[i] + padding : padding + cells[i]) + " |";
    }
    std::printf("%s\n", row.c_str());
}

void printTable(const std::vector<std::string>& header,
                const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const std::string& cell : header) {
        widths.push_back(cell.size());
    }
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    printRow(header, widths);
    std::string rule = "|";
    for (std::size_t i = 0; i < widths.size(); ++i) {
        rule +=
            i == 0 ? std::string(widths[i] + 2, '-') + "|" : std::string(widths[i] + 1, '-') + ":|";
    }
    std::printf("%s\n", rule.c_str());
    for (const auto& row : rows) {
        printRow(row, widths);
    }
}

std::string listed(const std::set<std::string>& names, std::size_t most) {
    std::string text;
    std::size_t shown = 0;
    for (const std::string& name : names) {
        if (shown == most) {
            return text + " and " + std::to_string(names.size() - most) + " more";
        }
        text += (shown++ == 0 ? "" : ", ") + name;
    }
    return text;
}

struct Settings {
    int rounds = 3;
    std::vector<std::optional<std::string>> conversions{std::string("1"), std::nullopt};
    fs::path program;
    fs::path otherProgram;
    std::vector<int> cores;
    fs::path profile;
};

// Measures every side over one set of documents and prints its tables.
void measure(const std::string& setName, const std::vector<fs::path>& documents, bool perFile,
             const Settings& settings, const fs::path& work) {
    std::vector<Side> sides;
    for (const std::optional<std::string>& conversions : settings.conversions) {
        sides.push_back({"Pavendel, " + (conversions ? "K=" + *conversions : "default K"),
                         Kind::Pavendel, settings.program, conversions});
    }
    if (!settings.otherProgram.empty()) {
        sides.push_back({"other program, default K", Kind::Pavendel, settings.otherProgram});
    }
    sides.push_back({"soffice, one process", Kind::SofficeOnce});
    if (perFile) {
        sides.push_back({"soffice, one process per file", Kind::SofficePerFile});
    }
    for (const int cores : settings.cores) {
        const std::string pinned = ", " + std::to_string(cores) + (cores == 1 ? " core" : " cores");
        sides.push_back({"Pavendel, default K" + pinned, Kind::Pavendel, settings.program,
                         std::nullopt, cores, true});
        sides.push_back(
            {"soffice, one process" + pinned, Kind::SofficeOnce, {}, std::nullopt, cores, true});
    }

    const auto runSide = [&](std::size_t index, bool watchMemory) {
        const Side& side = sides[index];
        const fs::path output = work / ("output-" + setName + "-" + std::to_string(index));
        Run result =
            side.kind == Kind::Pavendel ? runPavendel(side.program, side.conversions, side.cores,
                                                      documents, output, watchMemory)
            : side.kind == Kind::SofficeOnce
                ? runSofficeOnce(documents, settings.profile, output, side.cores, watchMemory)
                : runSofficePerFile(documents, settings.profile, output, watchMemory);
        fs::remove_all(output);
        std::printf("%s %-36s %7.2f s  %d/%zu converted", setName.c_str(), side.name.c_str(),
                    result.total, result.converted, documents.size());
        if (side.kind == Kind::Pavendel) {
            std::printf("  %d fell back", result.fellBack);
        }
        if (watchMemory) {
            std::printf("  peak %.0f MiB", result.peakMiB);
        }
        if (result.status != 0) {
            std::printf("  EXIT STATUS %d", result.status);
        }
        std::printf("\n");
        if (!result.notConverted.empty()) {
            std::printf(
                "  NOT CONVERTED (no RTF, empty or not RTF): %s\n",
                listed({result.notConverted.begin(), result.notConverted.end()}, 20).c_str());
        }
        std::fflush(stdout);
        return result;
    };

    std::printf("\n## %s: %zu documents\n\n", setName.c_str(), documents.size());
    for (int round = 0; round < settings.rounds; ++round) {
        // The sides take turns in a different order each round, so that none always runs first.
        std::printf("round %d\n", round + 1);
        for (std::size_t turn = 0; turn < sides.size(); ++turn) {
            const std::size_t index = (static_cast<std::size_t>(round) + turn) % sides.size();
            sides[index].runs.push_back(runSide(index, false));
        }
    }
    // One more run of each side of the main table, watched for memory and not timed.
    std::printf("memory\n");
    for (std::size_t index = 0; index < sides.size(); ++index) {
        if (!sides[index].scaling) {
            sides[index].watched = runSide(index, true);
        }
    }

    const auto find = [&](Kind kind, int cores) -> const Side* {
        for (const Side& side : sides) {
            if (side.kind == kind && side.cores == cores &&
                (kind != Kind::Pavendel || (side.program == settings.program && !side.conversions &&
                                            side.scaling == (cores > 0)))) {
                return &side;
            }
        }
        return nullptr;
    };
    const Side& once = *find(Kind::SofficeOnce, 0);
    const Side* perFileSide = find(Kind::SofficePerFile, 0);
    const double onceMemory = once.watched ? once.watched->peakMiB : 0;

    std::printf("\n");
    std::vector<std::string> header{setName + " (" + std::to_string(documents.size()) + ")",
                                    "converted",
                                    "fell back",
                                    "total s",
                                    "median per document s",
                                    "/ one soffice"};
    if (perFileSide) {
        header.push_back("/ soffice per file");
    }
    header.insert(header.end(), {"peak PSS MiB", "/ one soffice"});
    std::vector<std::vector<std::string>> rows;
    for (const Side& side : sides) {
        if (side.scaling) {
            continue;
        }
        const double peak = side.watched ? side.watched->peakMiB : 0;
        std::vector<std::string> row{side.name,
                                     convertedCell(side, documents.size()),
                                     side.fellBack(),
                                     fixed("%.2f", side.total()),
                                     fixed("%.3f", side.perDocument()),
                                     fixed("%.2f", side.total() / once.total())};
        if (perFileSide) {
            row.push_back(fixed("%.2f", side.total() / perFileSide->total()));
        }
        row.insert(row.end(), {fixed("%.0f", peak), fixed("%.2f", peak / onceMemory)});
        rows.push_back(std::move(row));
    }
    printTable(header, rows);

    // What went wrong, and why documents left the fast path.
    std::map<std::string, std::set<std::string>> reasons;
    std::map<std::string, std::set<std::string>> failures;  // description -> sides
    std::map<std::string, int> others;
    std::set<std::string> pavendelSides;
    std::printf("\n");
    for (const Side& side : sides) {
        std::set<std::string> missing;
        std::set<int> statuses;
        bool heldOpen = false;
        if (side.kind == Kind::Pavendel) {
            pavendelSides.insert(side.name);
        }
        for (const Run* one : side.allRuns()) {
            missing.insert(one->notConverted.begin(), one->notConverted.end());
            for (const std::string& failure : one->failed) {
                failures[failure].insert(side.name);
            }
            for (const auto& [reason, names] : one->reasons) {
                reasons[reason].insert(names.begin(), names.end());
            }
            for (const std::string& message : one->otherMessages) {
                ++others[message];
            }
            if (one->status != 0) {
                statuses.insert(one->status);
            }
            heldOpen = heldOpen || one->heldOpen;
        }
        if (!missing.empty()) {
            std::printf("NOT CONVERTED by %s: %s\n", side.name.c_str(),
                        listed(missing, 40).c_str());
        }
        for (const int status : statuses) {
            std::printf("%s ended with exit status %d\n", side.name.c_str(), status);
        }
        if (heldOpen) {
            std::printf("%s: a process it started still held its output 10 s after it ended\n",
                        side.name.c_str());
        }
    }
    std::size_t shownFailures = 0;
    for (const auto& [failure, sideNames] : failures) {
        if (shownFailures++ == 20) {
            std::printf("and %zu more failures\n", failures.size() - 20);
            break;
        }
        std::printf(
            "failed, said %s: %s\n",
            sideNames == pavendelSides ? "every Pavendel side" : listed(sideNames, 10).c_str(),
            failure.c_str());
    }
    if (reasons.empty()) {
        std::printf("No document took the engine's own conversion.\n");
    } else {
        std::printf("Why documents took the engine's own conversion (pavendel-office):\n");
        for (const auto& [reason, names] : reasons) {
            std::printf("- %s: %zu document%s (%s)\n", reason.c_str(), names.size(),
                        names.size() == 1 ? "" : "s", listed(names, 12).c_str());
        }
    }
    if (!others.empty()) {
        std::printf("Other lines from the Pavendel sides (times seen):\n");
        std::size_t shown = 0;
        for (const auto& [message, times] : others) {
            if (shown++ == 20) {
                std::printf("- and %zu more\n", others.size() - 20);
                break;
            }
            std::printf("- %s (%d)\n", message.c_str(), times);
        }
    }

    if (!settings.cores.empty()) {
        std::printf("\n");
        std::vector<std::vector<std::string>> scaling;
        for (const int cores : settings.cores) {
            const Side& pavendel = *find(Kind::Pavendel, cores);
            const Side& soffice = *find(Kind::SofficeOnce, cores);
            scaling.push_back({std::to_string(cores), fixed("%.2f", pavendel.total()),
                               fixed("%.2f", soffice.total()),
                               fixed("%.2f", pavendel.total() / soffice.total()),
                               convertedCell(pavendel, documents.size()),
                               convertedCell(soffice, documents.size())});
        }
        printTable({"cores", "Pavendel, default K: total s", "one soffice: total s",
                    "/ one soffice", "converted: Pavendel", "converted: soffice"},
                   scaling);
    }
    std::printf(
        "\nTimes: medians over %d round%s. Median per document: for Pavendel and one soffice, the\n"
        "time between consecutive lines of output, from the start for the first and up to the\n"
        "process's end for the last; when several documents convert at once (K > 1) that is the\n"
        "time between two documents ending, not the time one takes. Peak PSS: the highest sum of\n"
        "the PSS of a side's process and everything it started, sampled every 25 ms in a run of\n"
        "its own. Fell back: documents that pavendel-office said took the engine's own\n"
        "conversion. K: PAVENDEL_CONVERSIONS.\n",
        settings.rounds, settings.rounds == 1 ? "" : "s");
    std::fflush(stdout);
}

constexpr const char* kUsage =
    "usage: pavendel-compare-engines [--rounds N] [--conversions LIST] [--other-program PATH]\n"
    "                                [--set convertible|many|both] [--cores LIST] CORPUS\n"
    "  --rounds N            rounds of timed runs (default 3)\n"
    "  --conversions LIST    one Pavendel side per entry, a number for PAVENDEL_CONVERSIONS or\n"
    "                        \"default\" to leave it unset (default 1,default)\n"
    "  --other-program PATH  one more side: another build's pavendel, default K\n"
    "  --set SET             convertible, many or both (default both)\n"
    "  --cores LIST          also run Pavendel (default K) and one soffice pinned to the first N\n"
    "                        processors, for each N of the list (default: not)\n";

[[noreturn]] void usage(const std::string& message) {
    std::fprintf(stderr, "pavendel-compare-engines: %s\n%s", message.c_str(), kUsage);
    std::exit(2);
}

int positive(const std::string& text, const std::string& option) {
    std::size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || value < 1) {
        usage(option + " takes whole numbers from 1, not \"" + text + "\"");
    }
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    std::string set = "both";
    fs::path corpus;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--rounds" && hasValue) {
            settings.rounds = positive(argv[++i], argument);
        } else if (argument == "--conversions" && hasValue) {
            settings.conversions.clear();
            for (const std::string& entry : split(argv[++i], ',')) {
                if (entry == "default") {
                    settings.conversions.emplace_back();
                } else {
                    settings.conversions.emplace_back(std::to_string(positive(entry, argument)));
                }
            }
        } else if (argument == "--other-program" && hasValue) {
            settings.otherProgram = fs::absolute(argv[++i]);
        } else if (argument == "--set" && hasValue) {
            set = argv[++i];
            if (set != "convertible" && set != "many" && set != "both") {
                usage("--set takes convertible, many or both");
            }
        } else if (argument == "--cores" && hasValue) {
            for (const std::string& entry : split(argv[++i], ',')) {
                settings.cores.push_back(positive(entry, argument));
            }
        } else if (corpus.empty() && argument.rfind("--", 0) != 0) {
            corpus = argument;
        } else {
            usage("cannot use \"" + argument + "\"");
        }
    }
    if (corpus.empty()) {
        usage("no CORPUS");
    }
    // taskset -c 0-(N-1) needs processors 0 to N-1 to be ours.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    ::sched_getaffinity(0, sizeof allowed, &allowed);
    for (const int cores : settings.cores) {
        for (int cpu = 0; cpu < cores; ++cpu) {
            if (!CPU_ISSET(cpu, &allowed)) {
                usage("--cores " + std::to_string(cores) + ": processor " + std::to_string(cpu) +
                      " is not available");
            }
        }
    }
    settings.program = fs::canonical("/proc/self/exe").parent_path() / "pavendel";
    for (const fs::path& program : {settings.program, settings.otherProgram}) {
        if (!program.empty() && ::access(program.c_str(), X_OK) != 0) {
            fail(program.string() + " is not a program that can be run");
        }
    }

    char pattern[] = "/tmp/pavendel-compare-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        fail(std::string("cannot make a temporary folder: ") + std::strerror(errno));
    }
    g_work = pattern;
    std::atexit(removeWork);
    const std::vector<std::string> names = convertibleNames(corpus);
    if (names.empty()) {
        fail("EXPECTED.tsv in " + corpus.string() + " marks no document \"converts\"");
    }
    std::vector<std::string> manyNames;
    std::copy_if(names.begin(), names.end(), std::back_inserter(manyNames),
                 [](const std::string& name) { return name != "bug65649.docx"; });
    const std::vector<fs::path> convertible =
        copyDocuments(corpus, names, g_work / "convertible", 0);
    const std::vector<fs::path> many = copyDocuments(corpus, manyNames, g_work / "many", 6);

    const office::EngineInstall engine = office::findEngine();
    settings.profile = g_work / "soffice-profile";
    fs::create_directories(settings.profile / "user");
    std::ofstream(settings.profile / "user" / "registrymodifications.xcu")
        << office::profileSettings(engine.version);

    std::printf("# compare-engines: %s; %d round%s\n\n", corpus.c_str(), settings.rounds,
                settings.rounds == 1 ? "" : "s");
    std::printf("machine: %s, %u cores, %.0f GiB; LibreOffice %s\n", cpuModel().c_str(),
                std::thread::hardware_concurrency(), memoryGiB(),
                engine.version.empty() ? "(unknown version)" : engine.version.c_str());
    std::printf("Pavendel: %s (%s)\n", settings.program.c_str(),
                versionOf(settings.program).c_str());
    if (!settings.otherProgram.empty()) {
        std::printf("other program: %s (%s)\n", settings.otherProgram.c_str(),
                    versionOf(settings.otherProgram).c_str());
    }
    std::fflush(stdout);

    // Every program once before timing: the engine's profiles are completed, the programs and
    // the engine's libraries are read from disk.
    {
        const std::vector<fs::path> first{convertible.front()};
        runPavendel(settings.program, std::nullopt, 0, first, g_work / "warm", false);
        if (!settings.otherProgram.empty()) {
            runPavendel(settings.otherProgram, std::nullopt, 0, first, g_work / "warm", false);
        }
        runSofficeOnce(first, settings.profile, g_work / "warm", 0, false);
        fs::remove_all(g_work / "warm");
    }

    if (set != "many") {
        measure("convertible", convertible, true, settings, g_work);
    }
    if (set != "convertible") {
        measure("many", many, false, settings, g_work);
    }
    return 0;
}
