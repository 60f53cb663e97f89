// SPDX-License-Identifier: MIT
#include "office/server/privatecopy.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>

#include "automation/automation.h"
#include "automation/wordcalls.h"
#include "platform/systemtext.h"

namespace fs = std::filesystem;

namespace office {

using automation::AutomationError;

namespace {

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The private copy keeps the document's own name where the engine's command line takes it as it
// is, since fields (FILENAME) show it in the converted text; other names (a name that is not
// UTF-8 among them, which the engine's URLs cannot carry) become "document" with the extension,
// which the engine's type detection weighs.
std::string privateCopyName(const fs::path& source) {
    const std::string name = source.filename().string();
    const bool plain = !name.empty() && name.size() <= 200 && name.front() != '.' &&
                       platform::IsValidUtf8(name) &&
                       std::none_of(name.begin(), name.end(), [](unsigned char c) {
                           return c < 0x20 || c == 0x7F || c == '%' || c == '#' || c == '?' ||
                                  c == '*' || c == '\\';
                       });
    if (plain && source.has_extension()) {
        return name;
    }
    std::string extension = source.extension().string();
    if (!extension.empty()) {
        extension.erase(0, 1);
    }
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const bool usable = !extension.empty() && extension.size() <= 8 &&
                        std::all_of(extension.begin(), extension.end(),
                                    [](unsigned char c) { return std::isalnum(c) != 0; });
    return "document." + (usable ? extension : std::string("doc"));
}

}  // namespace

fs::path copyIntoFolder(const std::string& path, const fs::path& folder) {
    const fs::path source(path);
    const fs::path copy = folder / "in" / privateCopyName(source);
    std::error_code error;
    fs::create_directories(folder / "in", error);
    fs::create_directories(folder / "out", error);
    if (!error) {
        fs::copy_file(source, copy, error);
    }
    if (error) {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        throw AutomationError("The document " + quoted(source.filename().string()) +
                              " could not be read: " + error.message() + ".");
    }
    return copy;
}

fs::path rtfOf(const fs::path& copy) {
    return copy.parent_path().parent_path() / "out" / (copy.stem().string() + ".rtf");
}

bool startsWithRtf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char head[6] = {};
    in.read(head, sizeof head);
    return in.gcount() == sizeof head && std::memcmp(head, "{\\rtf1", sizeof head) == 0;
}

ConvertedDocument::~ConvertedDocument() {
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
}

void ConvertedDocument::saveRtf(const std::string& target) {
    automation::SaveRtfAs(m_rtf.string(), target);
}

}  // namespace office
