// SPDX-License-Identifier: MIT
// An engine that a document has taken over, on every engine path, with and without a network
// namespace: a stand-in exploit (compromise.cpp, preloaded) runs in the engine process once it
// reads its document, with every confinement in force, and tries what an attacker would. The
// client program runs with a terminal of its own and with a secret file and a socket left open
// for its children, as a careless caller would; the test listens on Unix sockets, plants another
// engine's private copy in the cache folder and files in a home folder of its own. Each attack's
// outcome comes back in the converted RTF. Another row runs with Landlock taken away (a preloaded
// shim): the engine must still not read local files, and the diagnostics say what is missing.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "hostile/hostilefiles.h"
#include "support/tempfolder.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using testing::HasSubstr;
using testing::Not;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A Unix socket the test listens on, by path or by abstract name; whether anyone connected.
class UnixListener {
 public:
    UnixListener(const std::string& name, bool abstract) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::size_t offset = abstract ? 1 : 0;
        std::memcpy(address.sun_path + offset, name.data(), name.size());
        const auto length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + name.size());
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_fd, 4) != 0) {
            throw std::runtime_error("cannot listen on " + name);
        }
    }
    ~UnixListener() { ::close(m_fd); }
    UnixListener(const UnixListener&) = delete;
    UnixListener& operator=(const UnixListener&) = delete;
    bool reached() const {
        const int connection = ::accept(m_fd, nullptr, nullptr);
        if (connection < 0) {
            return false;
        }
        ::close(connection);
        return true;
    }

 private:
    int m_fd = -1;
};

struct Row {
    const char* path;  // PAVENDEL_OFFICE_PATH
    bool networkNamespace;
    bool landlock;
};

std::string rowName(const testing::TestParamInfo<Row>& row) {
    return std::string(row.param.path) +
           (row.param.networkNamespace ? "_Namespace" : "_NoNamespace") +
           (row.param.landlock ? "" : "_NoLandlock");
}

void PrintTo(const Row& row, std::ostream* out) {
    *out << rowName(testing::TestParamInfo<Row>(row, 0));
}

// The attacks and what a contained engine must make of each; the outcome names are those of
// compromise.cpp.
const std::map<std::string, std::string> kContained = {
    {"descriptor", "closed"},    {"terminal", "refused"}, {"create", "refused"},
    {"append", "refused"},       {"delete", "refused"},   {"truncate", "refused"},
    {"profile", "refused"},      {"other", "refused"},    {"unixpath", "refused"},
    {"unixabstract", "refused"}, {"signal", "refused"},
};
// The attacks on the user's files, which only Landlock or a private view can stop.
const std::set<std::string> kFileAttacks = {"create",   "append",  "delete",
                                            "truncate", "profile", "other"};

class CompromisedEngine : public testing::TestWithParam<Row> {
 protected:
    void SetUp() override {
        m_home = m_folder.mkdir("home");
        m_folder.write("home/.bashrc", "# the user's own\n");
        m_folder.write("home/victim", "a file of the user's");
        m_folder.write("home/keep", "a file of the user's");
        m_cache = m_folder.mkdir("cache");
        // Looks like the private copy of another engine still at work (this process is alive,
        // so the copy is not removed as left over).
        m_other = m_folder.write(
            "cache/pavendel/run-" + std::to_string(::getpid()) + "-abcdef/document-1/in/secret.doc",
            "another user's document");
        m_output = m_folder.mkdir("output");
        m_victim = ::fork();
        if (m_victim == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            for (;;) {
                ::pause();
            }
        }
    }
    void TearDown() override {
        ::kill(m_victim, SIGKILL);
        ::waitpid(m_victim, nullptr, 0);
    }

    // Runs hostile-convert on the documents with a terminal of its own, the secret file and the
    // socket end left open at descriptors 77 and 78, and the stand-in exploit preloaded.
    std::string convert(const std::vector<std::string>& documents, int leakedSocket) {
        std::vector<std::string> arguments{HOSTILE_CONVERT_PATH, PAVENDEL_OFFICE_SERVER, m_output};
        if (!GetParam().networkNamespace) {
            arguments.push_back("--no-namespace");
        }
        arguments.insert(arguments.end(), documents.begin(), documents.end());
        std::string preload = COMPROMISE_LIBRARY;
        if (!GetParam().landlock) {
            preload += std::string(":") + NO_LANDLOCK_LIBRARY;
        }
        std::vector<std::string> variables = {
            "LD_PRELOAD=" + preload,
            "HOME=" + m_home,
            "XDG_CACHE_HOME=" + m_cache,
            std::string("PAVENDEL_OFFICE_PATH=") + GetParam().path,
            "PAVENDEL_OFFICE_TRACE=1",
            "PAVENDEL_TEST_COMPROMISE=home=" + m_home + ";cache=" + m_cache + "/pavendel" +
                ";other=" + m_other + ";socket=" + m_folder / "listener.sock" +
                ";abstract=" + m_abstract + ";fds=77,78;victim=" + std::to_string(m_victim),
        };
        if (GetParam().path == std::string("full")) {
            variables.push_back("PAVENDEL_OFFICE_ENGINE=" + engineWithExploit());
        }
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string variable(*entry);
            const std::string name = variable.substr(0, variable.find('=') + 1);
            bool replaced = false;
            for (const std::string& given : variables) {
                replaced = replaced || given.rfind(name, 0) == 0;
            }
            if (!replaced && name != "LD_PRELOAD=") {
                variables.push_back(variable);
            }
        }
        const std::string errors = m_folder / "errors.txt";
        const std::string secret = m_folder.write("secret.txt", "a private key");
        int terminal = -1;
        const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
        if (child == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            // What a careless caller leaves open: neither is close-on-exec.
            ::dup2(::open(secret.c_str(), O_RDONLY), 77);
            ::dup2(leakedSocket, 78);
            const int log = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(log, STDERR_FILENO);
            std::vector<char*> argv;
            for (std::string& argument : arguments) {
                argv.push_back(argument.data());
            }
            argv.push_back(nullptr);
            std::vector<char*> envp;
            for (std::string& variable : variables) {
                envp.push_back(variable.data());
            }
            envp.push_back(nullptr);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        // The terminal's output is read as it comes, so that the program never blocks on it.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(4);
        int status = -1;
        while (::waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(child, SIGKILL);
                ::waitpid(child, &status, 0);
                ADD_FAILURE() << "the conversion took more than four minutes";
                break;
            }
            pollfd entry{terminal, POLLIN, 0};
            if (::poll(&entry, 1, 100) > 0) {
                char chunk[512];
                const ssize_t n = ::read(terminal, chunk, sizeof chunk);
                if (n > 0) {
                    m_printed.append(chunk, static_cast<std::size_t>(n));
                } else {
                    ::usleep(100000);
                }
            }
        }
        ::close(terminal);
        m_diagnostics = readAll(errors);
        return m_diagnostics;
    }

    // The engine program with the stand-in exploit preloaded: a script in a folder of its own
    // beside a copy of the library and a link to the real program, which brings the real
    // installation into what the engine may read.
    std::string engineWithExploit() {
        const std::string folder = m_folder.mkdir("engine/program");
        fs::copy_file(COMPROMISE_LIBRARY, folder + "/compromise.so");
        fs::create_symlink("/usr/lib/libreoffice/program/soffice.bin",
                           folder + "/real-soffice.bin");
        const std::string script = folder + "/soffice.bin";
        std::ofstream(script) << "#!/bin/sh\nLD_PRELOAD=" << folder << "/compromise.so exec "
                              << folder << "/real-soffice.bin \"$@\"\n";
        fs::permissions(script, fs::perms::owner_all);
        return script;
    }

    // The outcome of each attack, read from the converted page.
    std::map<std::string, std::string> outcomes(const std::string& name) const {
        const std::string rtf = readAll(m_output + "/" + fs::path(name).stem().string() + ".rtf");
        std::map<std::string, std::string> found;
        const std::size_t start = rtf.find("outcomes:");
        std::istringstream words(start == std::string::npos ? "" : rtf.substr(start + 9));
        for (std::string word; words >> word && word.find("end") != 0;) {
            const std::size_t colon = word.find(':');
            if (colon != std::string::npos) {
                found[word.substr(0, colon)] = word.substr(colon + 1);
            }
        }
        return found;
    }

    testsupport::TempFolder m_folder;
    std::string m_home;
    std::string m_cache;
    std::string m_other;
    std::string m_output;
    std::string m_abstract = "pavendel-test-" + std::to_string(::getpid());
    // A process of the user's that the exploit tries to end.
    pid_t m_victim = -1;
    std::string m_diagnostics;
    // What the client program printed on its terminal: a line per document.
    std::string m_printed;
};

TEST_P(CompromisedEngine, ReachesNothingButItsOwnDocument) {
    const UnixListener byPath(m_folder / "listener.sock", false);
    const UnixListener abstract(m_abstract, true);
    int leaked[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, leaked), 0);
    const std::string document = m_folder.write(
        "documents/compromised.doc", "{\\rtf1\\ansi A document that takes over its engine.}");
    convert({document}, leaked[1]);
    ::close(leaked[1]);

    const std::map<std::string, std::string> found = outcomes("compromised.doc");
    ASSERT_FALSE(found.empty()) << "the stand-in exploit did not run; diagnostics:\n"
                                << m_diagnostics << "printed:\n"
                                << m_printed;
    std::string summary;
    for (const auto& [attack, result] : found) {
        summary += " " + attack + ":" + result;
    }
    std::printf("outcomes:%s\n", summary.c_str());
    // Without Landlock and without namespaces nothing can keep the engine from the user's
    // files; everything else must still hold, and the user must be told.
    const bool filesOpen = !GetParam().landlock && !GetParam().networkNamespace;
    for (const auto& [attack, contained] : kContained) {
        if (filesOpen && kFileAttacks.count(attack) != 0) {
            continue;
        }
        EXPECT_EQ(found.count(attack) ? found.at(attack) : "missing", contained) << attack;
    }
    // What the attacks would have left behind, seen from outside.
    char sent[16] = {};
    EXPECT_LT(::recv(leaked[0], sent, sizeof sent, MSG_DONTWAIT), 1) << "data left by the socket";
    ::close(leaked[0]);
    EXPECT_FALSE(byPath.reached());
    EXPECT_FALSE(abstract.reached());
    EXPECT_EQ(::waitpid(m_victim, nullptr, WNOHANG), 0) << "the user's process was ended";
    if (filesOpen) {
        EXPECT_THAT(m_diagnostics,
                    HasSubstr("pavendel-office: the office engine may read and change every file "
                              "the user can"));
        return;
    }
    EXPECT_EQ(readAll(m_home + "/.bashrc"), "# the user's own\n");
    EXPECT_TRUE(fs::exists(m_home + "/victim"));
    EXPECT_EQ(readAll(m_home + "/keep"), "a file of the user's");
    EXPECT_FALSE(fs::exists(m_home + "/created-by-document"));
    if (!GetParam().landlock) {
        EXPECT_THAT(m_diagnostics,
                    HasSubstr("pavendel-office: the kernel cannot limit which files the office "
                              "engine reads and writes"));
        EXPECT_THAT(m_diagnostics, HasSubstr("a view of the file system of its own"));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, CompromisedEngine,
                         testing::Values(Row{"hidden", true, true}, Row{"kit", true, true},
                                         Row{"full", true, true}, Row{"hidden", false, true},
                                         Row{"kit", false, true}, Row{"full", false, true},
                                         Row{"hidden", true, false}, Row{"kit", true, false},
                                         Row{"full", true, false}, Row{"hidden", false, false}),
                         rowName);

}  // namespace
