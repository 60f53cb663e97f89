// SPDX-License-Identifier: MIT
// Hostile documents through the real office server on every engine path, with and without a
// network namespace: pages and packages that point the engine at a listener on this machine and
// at local files holding markers, a document whose macro would write a file, and a package that
// unpacks to gigabytes. Nothing may reach the listener, no marker may come out in an RTF, the
// macro never runs, the package is refused with a reason while the program lives on, and the
// next document still converts. Every test says which engine path and which isolation ran.
//
// Each probe is first shown to work: LibreOffice's own conversion, with a fresh profile and no
// isolation, does fetch from the listener and does put the local files' markers into its RTF.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>

#include "hostile/hostilefiles.h"
#include "support/clientprogram.h"
#include "support/processes.h"
#include "support/tempfolder.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using testing::HasSubstr;
using testing::Not;

// A listening socket on 127.0.0.1 that answers every request with 404 and remembers its request
// line: a document that makes the engine fetch a URL of it shows up here.
class Listener {
 public:
    Listener() {
        m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_socket < 0 ||
            ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_socket, 16) != 0 || ::pipe2(m_stop, O_CLOEXEC) != 0) {
            throw std::runtime_error("no listening socket could be made");
        }
        socklen_t length = sizeof address;
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~Listener() {
        const char stop = 'x';
        if (::write(m_stop[1], &stop, 1) != 1) {
            ::shutdown(m_socket, SHUT_RDWR);
        }
        m_thread.join();
        ::close(m_socket);
        ::close(m_stop[0]);
        ::close(m_stop[1]);
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    // The request lines ("GET /picture.png HTTP/1.1"), or "(connection)" for a connection that
    // sent none.
    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }
    bool requested(const std::string& path) const {
        for (const std::string& request : requests()) {
            if (request.find(" " + path + " ") != std::string::npos) {
                return true;
            }
        }
        return false;
    }

 private:
    void serve() {
        for (;;) {
            pollfd entries[2] = {{m_socket, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
            if (::poll(entries, 2, -1) < 0 || entries[1].revents != 0) {
                return;
            }
            const int client = ::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                continue;
            }
            std::string request;
            pollfd reading{client, POLLIN, 0};
            char chunk[2048];
            while (request.find("\r\n") == std::string::npos && ::poll(&reading, 1, 2000) > 0) {
                const ssize_t n = ::read(client, chunk, sizeof chunk);
                if (n <= 0) {
                    break;
                }
                request.append(chunk, static_cast<std::size_t>(n));
            }
            const std::string line = request.substr(0, request.find("\r\n"));
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(line.empty() ? "(connection)" : line);
            }
            const std::string answer = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
            if (::write(client, answer.data(), answer.size()) < 0) {
                // The engine went away first: the connection is recorded all the same.
            }
            ::close(client);
        }
    }

    int m_socket = -1;
    int m_stop[2] = {-1, -1};
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
};

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string withoutWhitespace(std::string text) {
    text.erase(std::remove_if(text.begin(), text.end(),
                              [](unsigned char c) { return std::isspace(c) != 0; }),
               text.end());
    return text;
}

// What a child process left: its wait status and what it wrote on its standard output.
struct Finished {
    int status = -1;
    bool timedOut = false;
    std::string output;
};

// Runs a program with extra environment variables, its standard error into errorFile, and waits
// for it at most the limit (then kills it). With ownGroup the program gets a process group of its
// own, which is killed whole when it is done: for programs that leave others running.
Finished runProgram(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& variables, const std::string& errorFile,
                    std::chrono::seconds limit, bool ownGroup = false) {
    std::vector<std::string> environment = variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable(*entry);
        const std::string name = variable.substr(0, variable.find('=') + 1);
        bool replaced = false;
        for (const std::string& override : variables) {
            replaced = replaced || override.rfind(name, 0) == 0;
        }
        if (!replaced) {
            environment.push_back(variable);
        }
    }
    std::vector<std::string> argumentCopy = arguments;
    std::vector<char*> argv;
    for (std::string& argument : argumentCopy) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        return {};
    }
    const int errors = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        if (ownGroup) {
            ::setpgid(0, 0);
        }
        ::dup2(output[1], STDOUT_FILENO);
        if (errors >= 0) {
            ::dup2(errors, STDERR_FILENO);
        }
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, STDIN_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (ownGroup && pid > 0) {
        ::setpgid(pid, pid);
    }
    ::close(output[1]);
    if (errors >= 0) {
        ::close(errors);
    }
    Finished finished;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char chunk[4096];
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{output[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            finished.timedOut = true;
            break;
        }
        const ssize_t n = ::read(output[0], chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        finished.output.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(output[0]);
    if (finished.timedOut) {
        ::kill(ownGroup ? -pid : pid, SIGKILL);
    }
    ::waitpid(pid, &finished.status, 0);
    if (ownGroup) {
        ::kill(-pid, SIGKILL);  // whatever the program left running in its group
    }
    return finished;
}

// Starts a program in a process group of its own, which the caller ends with kill(-pid); its
// output goes nowhere. -1 when it cannot be started.
pid_t startInGroup(const std::vector<std::string>& arguments) {
    std::vector<std::string> argumentCopy = arguments;
    std::vector<char*> argv;
    for (std::string& argument : argumentCopy) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::setpgid(0, 0);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (pid > 0) {
        ::setpgid(pid, pid);
    }
    return pid;
}

// The engine's program folder, as pavendel-office finds it.
fs::path engineFolder() {
    const char* chosen = std::getenv("PAVENDEL_OFFICE_ENGINE");
    if (chosen != nullptr && *chosen != '\0') {
        return fs::path(chosen).parent_path();
    }
    return "/usr/lib/libreoffice/program";
}

// The hostile documents and the local files they point at, in a temporary folder; the markers
// carry the process number so that no other run's files can be mistaken for them.
class HostileFiles {
 public:
    explicit HostileFiles(const Listener& listener) : m_listener(listener) {
        const std::string tag = std::to_string(::getpid());
        m_pictureMarker = "PavendelLocalPicture" + tag;
        m_linkedMarker = "PavendelLinkedPicture" + tag;
        m_includedMarker = "PavendelIncludedPicture" + tag;
        m_styleMarker = "PavendelLocalStyle" + tag;
        m_documents = m_folder.mkdir("documents");
        m_macroMarker = m_folder / "macro-ran";

        const std::string picture =
            m_folder.write("local/picture.png", hostile::pngWithText(m_pictureMarker));
        const std::string linked =
            m_folder.write("local/linked.png", hostile::pngWithText(m_linkedMarker));
        const std::string included =
            m_folder.write("local/included.png", hostile::pngWithText(m_includedMarker));
        const std::string style = m_folder.write(
            "local/style.css", "p { font-family: \"" + m_styleMarker + "\"; color: #1f2e3d }\n");

        m_folder.write("documents/stylesheet.doc",
                       "<html><head><title>Styled</title><link rel=\"stylesheet\" href=\"" +
                           m_listener.url("/style.css") +
                           "\"><link rel=\"stylesheet\" href=\"file://" + style +
                           "\"></head><body><p>A page with two stylesheets</p></body></html>");
        m_folder.write("documents/background.doc",
                       "<html><head><title>Background</title></head><body background=\"" +
                           m_listener.url("/background.png") +
                           "\"><p>A page with a background picture</p></body></html>");
        m_folder.write("documents/picture.doc",
                       "<html><head><title>Pictures</title></head><body><p>A page with two "
                       "pictures</p><img src=\"" +
                           m_listener.url("/picture.png") + "\"><img src=\"file://" + picture +
                           "\"></body></html>");
        const char* const imageType =
            "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";
        hostile::writeZip(
            m_documents + "/linked-picture.docx",
            hostile::wordPackage(
                "<w:p><w:r><w:t>A document with two linked pictures</w:t></w:r></w:p>" +
                    hostile::linkedPictureParagraph("rIdRemote", 1) +
                    hostile::linkedPictureParagraph("rIdLocal", 2),
                std::string("<Relationship Id=\"rIdRemote\" Type=\"") + imageType + "\" Target=\"" +
                    m_listener.url("/linked.png") +
                    "\" TargetMode=\"External\"/><Relationship Id=\"rIdLocal\" Type=\"" +
                    imageType + "\" Target=\"file://" + linked + "\" TargetMode=\"External\"/>"));
        m_folder.write("documents/include-picture.doc",
                       "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\f0 A field that "
                       "includes a picture: {\\field{\\*\\fldinst INCLUDEPICTURE \"file://" +
                           included + "\" \\\\d}{\\fldrslt }}\\par}");
        hostile::writeZip(m_documents + "/macro.docx", hostile::macroDocument(m_macroMarker));
    }

    std::string document(const std::string& name) const { return m_documents + "/" + name; }
    const std::string& documents() const { return m_documents; }
    const std::string& macroMarker() const { return m_macroMarker; }
    const testsupport::TempFolder& folder() const { return m_folder; }

    // Every marker of a local file, with how it shows in an RTF: as text (a font name) or as the
    // hexadecimal bytes of a picture.
    std::vector<std::pair<std::string, std::string>> markers() const {
        return {{m_styleMarker, m_styleMarker},
                {m_pictureMarker, hostile::hexOf(m_pictureMarker)},
                {m_linkedMarker, hostile::hexOf(m_linkedMarker)},
                {m_includedMarker, hostile::hexOf(m_includedMarker)}};
    }
    const std::string& styleMarker() const { return m_styleMarker; }
    std::string pictureHex() const { return hostile::hexOf(m_pictureMarker); }
    std::string linkedHex() const { return hostile::hexOf(m_linkedMarker); }
    std::string includedHex() const { return hostile::hexOf(m_includedMarker); }

 private:
    const Listener& m_listener;
    testsupport::TempFolder m_folder;
    std::string m_documents;
    std::string m_macroMarker;
    std::string m_pictureMarker;
    std::string m_linkedMarker;
    std::string m_includedMarker;
    std::string m_styleMarker;
};

// The documents that point outside themselves, and the one whose macro would write a file.
const std::vector<std::string> kPages = {"stylesheet.doc", "background.doc", "picture.doc"};
const std::vector<std::string> kPackages = {"linked-picture.docx", "include-picture.doc",
                                            "macro.docx"};

struct EngineCase {
    const char* path;  // PAVENDEL_OFFICE_PATH
    bool networkNamespace;
    // False: as on a kernel without Landlock, where a private view must keep local files out.
    bool landlock = true;
};

std::string caseName(const testing::TestParamInfo<EngineCase>& row) {
    return std::string(row.param.path) +
           (row.param.networkNamespace ? "_WithNetworkNamespace" : "_WithoutNetworkNamespace") +
           (row.param.landlock ? "" : "_WithoutLandlock");
}

void PrintTo(const EngineCase& row, std::ostream* out) {
    *out << row.path << (row.networkNamespace ? " with" : " without") << " a network namespace"
         << (row.landlock ? "" : ", without Landlock");
}

// One document's outcome as hostile-convert printed it.
struct Outcome {
    bool converted = false;
    double seconds = 0;
    std::string description;
};

class HostileDocument : public testing::TestWithParam<EngineCase> {
 protected:
    // Converts the documents in one client program and returns each one's outcome by name; the
    // server's diagnostics are in m_diagnostics afterwards.
    std::map<std::string, Outcome> convert(const std::vector<std::string>& documents) {
        std::vector<std::string> arguments{HOSTILE_CONVERT_PATH, PAVENDEL_OFFICE_SERVER, m_output};
        if (!GetParam().networkNamespace) {
            arguments.push_back("--no-namespace");
        }
        arguments.insert(arguments.end(), documents.begin(), documents.end());
        const std::string errors = m_files.folder() / "diagnostics.txt";
        std::vector<std::string> variables{std::string("PAVENDEL_OFFICE_PATH=") + GetParam().path,
                                           "PAVENDEL_OFFICE_TRACE=1", m_mark};
        if (!GetParam().landlock) {
            variables.push_back(std::string("LD_PRELOAD=") + NO_LANDLOCK_LIBRARY);
        }
        const Finished finished =
            runProgram(arguments, variables, errors, std::chrono::seconds(240));
        m_diagnostics = readAll(errors);
        EXPECT_FALSE(finished.timedOut) << "the conversions took more than 4 minutes";
        // The program converting the documents lives through all of them and ends by itself.
        EXPECT_TRUE(WIFEXITED(finished.status) && WEXITSTATUS(finished.status) == 0)
            << "the client program ended with status " << finished.status
            << "; its standard error:\n"
            << m_diagnostics;
        std::map<std::string, Outcome> outcomes;
        std::istringstream lines(finished.output);
        std::string line;
        while (std::getline(lines, line)) {
            std::vector<std::string> fields;
            std::istringstream split(line);
            for (std::string field; std::getline(split, field, '\t');) {
                fields.push_back(field);
            }
            if (fields.size() >= 3) {
                outcomes[fields[1]] = {fields[0] == "ok", std::stod(fields[2]),
                                       fields.size() > 3 ? fields[3] : ""};
            }
        }
        return outcomes;
    }

    std::string rtfOf(const std::string& name) const {
        return readAll(m_output + "/" + fs::path(name).stem().string() + ".rtf");
    }

    // The line pavendel-office writes, when tracing, for a document converted the given way.
    static std::string pathLine(const std::string& name, const std::string& path) {
        if (path == "full") {
            return "pavendel-office: " + name + ": converted by the engine's own conversion.";
        }
        return "pavendel-office: " + name + ": converted in a fresh engine instance by " +
               (path == "hidden" ? "the hidden conversion" : "LibreOfficeKit's document calls") +
               ".";
    }

    Listener m_listener;
    HostileFiles m_files{m_listener};
    std::string m_output = m_files.folder().mkdir("output");
    std::string m_diagnostics;
    // Every process the client program starts carries the mark, however deep.
    const std::string m_mark = "PAVENDEL_TEST_MARK=hostile-" + std::to_string(::getpid());
};

TEST_P(HostileDocument, NothingIsFetchedReadOrRunAndTheBombIsRefused) {
    std::vector<std::string> documents;
    for (const auto& name : kPages) {
        documents.push_back(m_files.document(name));
    }
    for (const auto& name : kPackages) {
        documents.push_back(m_files.document(name));
    }
    const std::string bomb = m_files.document("bomb.docx");
    hostile::writeUnpackingBomb(bomb, 3ULL << 30);
    documents.push_back(bomb);
    const std::string next = m_files.document("next.doc");
    fs::copy_file(fs::path(PAVENDEL_DEFAULT_CORPUS) / "simple.doc", next);
    documents.push_back(next);

    const std::map<std::string, Outcome> outcomes = convert(documents);

    // Which isolation ran, as the server reports it.
    if (GetParam().networkNamespace) {
        EXPECT_THAT(m_diagnostics, HasSubstr("pavendel-office: network isolation: a network "
                                             "namespace of its own and a system-call filter.\n"));
    } else {
        EXPECT_THAT(m_diagnostics,
                    HasSubstr("pavendel-office: the office engine runs without a network "
                              "namespace of its own ("));
        EXPECT_THAT(m_diagnostics,
                    HasSubstr("); a system-call filter keeps it off the network instead.\n"));
    }
    if (GetParam().landlock) {
        EXPECT_THAT(m_diagnostics,
                    HasSubstr("pavendel-office: file access: the engine reads only its "
                              "installation, the system's files and its working folders, and "
                              "writes only in its working folders.\n"));
    } else {
        EXPECT_THAT(m_diagnostics, HasSubstr("every engine process gets a view of the file "
                                             "system of its own instead"));
    }

    // Which engine path each document took: pages always go the engine's own way, which alone
    // tells HTML from other text.
    for (const auto& name : kPages) {
        EXPECT_THAT(m_diagnostics, HasSubstr(pathLine(name, "full") + "\n")) << name;
    }
    for (const auto& name : kPackages) {
        EXPECT_THAT(m_diagnostics, HasSubstr(pathLine(name, GetParam().path) + "\n")) << name;
    }
    EXPECT_THAT(m_diagnostics, HasSubstr(pathLine("next.doc", GetParam().path) + "\n"));

    // Every hostile document itself converts: only what it points at is kept from the engine.
    for (const auto& name : kPages) {
        ASSERT_TRUE(outcomes.count(name)) << name << " was not converted at all";
        EXPECT_TRUE(outcomes.at(name).converted) << name << ": " << outcomes.at(name).description;
    }
    for (const auto& name : kPackages) {
        ASSERT_TRUE(outcomes.count(name)) << name << " was not converted at all";
        EXPECT_TRUE(outcomes.at(name).converted) << name << ": " << outcomes.at(name).description;
    }
    EXPECT_THAT(rtfOf("stylesheet.doc"), HasSubstr("A page with two stylesheets"));
    EXPECT_THAT(rtfOf("linked-picture.docx"), HasSubstr("A document with two linked pictures"));
    EXPECT_THAT(rtfOf("include-picture.doc"), HasSubstr("A field that includes a picture"));
    EXPECT_THAT(rtfOf("macro.docx"), HasSubstr("A document with a macro"));

    EXPECT_THAT(m_listener.requests(), testing::IsEmpty()) << "the engine reached the listener";
    for (const auto& entry : fs::directory_iterator(m_output)) {
        const std::string rtf = withoutWhitespace(readAll(entry.path()));
        for (const auto& [marker, inRtf] : m_files.markers()) {
            EXPECT_THAT(rtf, Not(HasSubstr(inRtf)))
                << entry.path().filename() << " holds the local file marked " << marker;
        }
    }
    EXPECT_FALSE(fs::exists(m_files.macroMarker())) << "the document's macro ran";

    ASSERT_TRUE(outcomes.count("bomb.docx")) << "the client program did not get past bomb.docx";
    const Outcome& refused = outcomes.at("bomb.docx");
    EXPECT_FALSE(refused.converted);
    EXPECT_THAT(refused.description, HasSubstr("\"bomb.docx\""));
    EXPECT_LT(refused.seconds, 30.0) << refused.description;
    ASSERT_TRUE(outcomes.count("next.doc"));
    EXPECT_TRUE(outcomes.at("next.doc").converted) << outcomes.at("next.doc").description;
    EXPECT_THAT(rtfOf("next.doc"), HasSubstr("This is a simple file created with Word 97"));

    EXPECT_TRUE(testsupport::allEndWithin(m_mark, std::chrono::seconds(10)))
        << "a process of the conversions is still running";
}

INSTANTIATE_TEST_SUITE_P(EveryPath, HostileDocument,
                         testing::Values(EngineCase{"hidden", true}, EngineCase{"kit", true},
                                         EngineCase{"full", true}, EngineCase{"hidden", false},
                                         EngineCase{"kit", false}, EngineCase{"full", false},
                                         EngineCase{"hidden", true, false},
                                         EngineCase{"full", true, false}),
                         caseName);

// The probes work: LibreOffice on its own, with a fresh profile and no isolation, follows them.
class PlainEngine : public testing::Test {
 protected:
    // soffice --headless --convert-to rtf with a profile of its own, on this machine's network.
    void convertPlainly(const std::vector<std::string>& names, bool html) {
        std::vector<std::string> arguments{(engineFolder() / "soffice").string(),
                                           "-env:UserInstallation=file://" + m_profile,
                                           "--headless", "--norestore"};
        if (html) {
            arguments.push_back("--infilter=HTML (StarWriter)");
        }
        arguments.insert(arguments.end(), {"--convert-to", "rtf", "--outdir", m_output});
        for (const std::string& name : names) {
            arguments.push_back(m_files.document(name));
        }
        const Finished finished = runProgram(arguments, {}, m_files.folder() / "plain.txt",
                                             std::chrono::seconds(120), true);
        ASSERT_FALSE(finished.timedOut) << "LibreOffice's own conversion took too long";
    }
    std::string rtfOf(const std::string& name) const {
        return withoutWhitespace(readAll(m_output + "/" + fs::path(name).stem().string() + ".rtf"));
    }

    Listener m_listener;
    HostileFiles m_files{m_listener};
    std::string m_output = m_files.folder().mkdir("plain-output");
    std::string m_profile = m_files.folder().mkdir("plain-profile");
};

TEST_F(PlainEngine, FollowsEveryLinkOfTheProbes) {
    convertPlainly(kPages, true);
    convertPlainly({"linked-picture.docx", "include-picture.doc"}, false);
    const char* const useless = "the probe is not effective on this engine: ";
    EXPECT_TRUE(m_listener.requested("/style.css"))
        << useless << "a page's remote stylesheet was not fetched";
    EXPECT_THAT(rtfOf("stylesheet.doc"), HasSubstr(m_files.styleMarker()))
        << useless << "a page's local stylesheet was not read";
    EXPECT_TRUE(m_listener.requested("/background.png"))
        << useless << "a page's remote background was not fetched";
    EXPECT_TRUE(m_listener.requested("/picture.png"))
        << useless << "a page's remote picture was not fetched";
    EXPECT_THAT(rtfOf("picture.doc"), HasSubstr(m_files.pictureHex()))
        << useless << "a page's local picture was not read";
    EXPECT_TRUE(m_listener.requested("/linked.png"))
        << useless << "a package's remote linked picture was not fetched";
    EXPECT_THAT(rtfOf("linked-picture.docx"), HasSubstr(m_files.linkedHex()))
        << useless << "a package's local linked picture was not read";
    EXPECT_THAT(rtfOf("include-picture.doc"), HasSubstr(m_files.includedHex()))
        << useless << "an INCLUDEPICTURE field's local picture was not read";
}

// LibreOffice's conversion never runs document macros (it loads without allowing them), so the
// macro is shown to work by opening the document, from a folder the profile trusts for macros,
// as a user would.
TEST_F(PlainEngine, RunsTheMacroOfADocumentOpenedFromATrustedFolder) {
    fs::create_directories(m_profile + "/user");
    std::ofstream(m_profile + "/user/registrymodifications.xcu")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<oor:items "
           "xmlns:oor=\"http://openoffice.org/2001/registry\" "
           "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n<item "
           "oor:path=\"/org.openoffice.Office.Common/Security/Scripting\"><prop "
           "oor:name=\"SecureURL\" oor:op=\"fuse\"><value><it>file://"
        << m_files.documents() << "</it></value></prop></item>\n</oor:items>\n";
    const pid_t engine = startInGroup({(engineFolder() / "soffice").string(),
                                       "-env:UserInstallation=file://" + m_profile, "--headless",
                                       "--norestore", m_files.document("macro.docx")});
    ASSERT_GT(engine, 0);
    // The engine stays open with the document: it is ended once the macro has run.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(m_files.macroMarker()) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    const bool ran = fs::exists(m_files.macroMarker());
    ::kill(-engine, SIGKILL);
    ::waitpid(engine, nullptr, 0);
    EXPECT_TRUE(ran) << "the probe is not effective on this engine: the document's macro did not "
                        "run when LibreOffice opened it from a trusted folder";
}

}  // namespace
