// SPDX-License-Identifier: MIT
#include "office/server/filekind.h"

#include <gsf/gsf.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string_view>

#include "platform/error.h"

namespace office {

namespace {

constexpr std::size_t kSniffBytes = 8192;
constexpr std::string_view kCompoundMagic{"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8};

// Formats with a fixed signature that are not documents the engine should turn into RTF.
struct Signature {
    std::string_view magic;
    std::size_t offset;
    const char* what;
};
constexpr std::array kSignatures{
    Signature{{"\x89PNG\r\n\x1A\n", 8}, 0, "a PNG picture"},
    Signature{{"\xFF\xD8\xFF", 3}, 0, "a JPEG picture"},
    Signature{{"GIF87a", 6}, 0, "a GIF picture"},
    Signature{{"GIF89a", 6}, 0, "a GIF picture"},
    Signature{{"II*\0", 4}, 0, "a TIFF picture"},
    Signature{{"MM\0*", 4}, 0, "a TIFF picture"},
    Signature{{"WEBP", 4}, 8, "a WebP picture"},
    Signature{{"\0\0\1\0", 4}, 0, "an icon"},
    Signature{{"%PDF-", 5}, 0, "a PDF document"},
    Signature{{"\x7F"
               "ELF",
               4},
              0,
              "a program"},
    Signature{{"\x1F\x8B", 2}, 0, "a compressed (gzip) file"},
};

bool startsWith(std::string_view data, std::string_view prefix, std::size_t offset = 0);

// Word files that are not compound files, by the identifier at their start (and, where that is
// short, the version number after it): the engine reads each of them with a filter of its own.
bool isOldWord(std::string_view data) {
    if (data.size() < 4) {
        return false;
    }
    const auto byte = [&data](std::size_t at) { return static_cast<unsigned char>(data[at]); };
    // Word for DOS 3 to 5.5 and Write: 0xBE31 (0xBE32 with OLE objects), then a zero word.
    if ((byte(0) == 0x31 || byte(0) == 0x32) && byte(1) == 0xBE && byte(2) == 0 && byte(3) == 0) {
        return true;
    }
    // Word for DOS 6.
    if (startsWith(data, "PO^Q`")) {
        return true;
    }
    // Word for Windows 1.x (0xA59B, 0xA59C) and 2.0 (0xA5DB), each followed by a file format
    // version below 256.
    if ((byte(0) == 0x9B || byte(0) == 0x9C || byte(0) == 0xDB) && byte(1) == 0xA5 &&
        byte(3) == 0) {
        return true;
    }
    // Word for the Macintosh 4 and 5.
    return byte(0) == 0xFE && byte(1) == 0x37 && byte(2) == 0 &&
           (byte(3) == 0x1C || byte(3) == 0x23);
}

bool startsWith(std::string_view data, std::string_view prefix, std::size_t offset) {
    return data.size() >= offset + prefix.size() && data.substr(offset, prefix.size()) == prefix;
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

struct GObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using GsfPtr = std::unique_ptr<T, GObjectUnref>;

bool hasChild(GsfInfile* file, const char* name) {
    return GsfPtr<GsfInput>(gsf_infile_child_by_name(file, name)) != nullptr;
}

void initialiseGsf() {
    static const bool initialised = [] {
        gsf_init();
        // Damaged files make the reader complain on stderr; the engine gives the verdict instead.
        g_log_set_default_handler([](const gchar*, GLogLevelFlags, const gchar*, gpointer) {},
                                  nullptr);
        return true;
    }();
    (void)initialised;
}

GsfPtr<GsfInput> openInput(const std::string& path) {
    initialiseGsf();
    GError* error = nullptr;
    GsfPtr<GsfInput> input(gsf_input_stdio_new(path.c_str(), &error));
    g_clear_error(&error);
    return input;
}

// The file read as a container by the given reader (gsf_infile_msole_new, gsf_infile_zip_new);
// nothing when it cannot be read as one.
GsfPtr<GsfInfile> openContainer(const std::string& path,
                                GsfInfile* (*reader)(GsfInput*, GError**)) {
    GsfPtr<GsfInput> input = openInput(path);
    if (!input) {
        return nullptr;
    }
    GError* error = nullptr;
    GsfPtr<GsfInfile> container(reader(input.get(), &error));
    g_clear_error(&error);
    return container;
}

GsfPtr<GsfInfile> openCompound(const std::string& path) {
    return openContainer(path, gsf_infile_msole_new);
}

unsigned read16(const guint8* bytes) {
    return bytes[0] | (bytes[1] << 8);
}

// Word 97 and later files: the file information block's fixed part, its short and long fields
// (each counted by the word before them), then (offset, size) pairs of which pair 4 locates the
// comment references (PlcfandRef).
bool compoundHasComments(const std::string& path) {
    GsfPtr<GsfInfile> compound = openCompound(path);
    if (!compound) {
        return false;
    }
    GsfPtr<GsfInput> word(gsf_infile_child_by_name(compound.get(), "WordDocument"));
    if (!word) {
        return false;
    }
    std::array<guint8, 1024> fib{};
    const auto length = static_cast<std::size_t>(
        std::min<gsf_off_t>(gsf_input_size(word.get()), static_cast<gsf_off_t>(fib.size())));
    constexpr std::size_t kFixedPart = 32;
    if (length < kFixedPart + 2 || gsf_input_read(word.get(), length, fib.data()) == nullptr) {
        return false;
    }
    constexpr unsigned kWord97 = 0xC0;
    if (read16(&fib[0]) != 0xA5EC || read16(&fib[2]) < kWord97) {
        return false;
    }
    std::size_t at = kFixedPart;
    at += 2 + 2 * std::size_t{read16(&fib[at])};
    if (at + 2 > length) {
        return false;
    }
    at += 2 + 4 * std::size_t{read16(&fib[at])};
    constexpr std::size_t kCommentPair = 4;
    if (at + 2 > length || read16(&fib[at]) <= kCommentPair) {
        return false;
    }
    const std::size_t tableSize = at + 2 + kCommentPair * 8 + 4;
    if (tableSize + 4 > length) {
        return false;
    }
    return (fib[tableSize] | fib[tableSize + 1] | fib[tableSize + 2] | fib[tableSize + 3]) != 0;
}

// OOXML: the package lists the content type of every part; comments have their own.
bool zipHasComments(const std::string& path) {
    GsfPtr<GsfInfile> zip = openContainer(path, gsf_infile_zip_new);
    if (!zip) {
        return false;
    }
    GsfPtr<GsfInput> types(gsf_infile_child_by_name(zip.get(), "[Content_Types].xml"));
    constexpr gsf_off_t kLargest = 1 << 20;
    if (!types || gsf_input_size(types.get()) > kLargest) {
        return false;
    }
    std::string text(static_cast<std::size_t>(gsf_input_size(types.get())), '\0');
    if (!text.empty() && gsf_input_read(types.get(), text.size(),
                                        reinterpret_cast<guint8*>(text.data())) == nullptr) {
        return false;
    }
    return text.find("wordprocessingml.comments+xml") != std::string::npos;
}

// A compound file is password-protected when it carries an encrypted OOXML package, or when it is
// a Word document whose file information block sets fEncrypted (bit 8 of the flags at offset 10,
// the same in Word 6, 95 and 97 to 2003 files).
bool compoundIsEncrypted(const std::string& path) {
    GsfPtr<GsfInfile> compound = openCompound(path);
    if (!compound) {
        return false;  // damaged: the engine will say it cannot read it
    }
    if (hasChild(compound.get(), "EncryptedPackage") ||
        hasChild(compound.get(), "EncryptionInfo")) {
        return true;
    }
    GsfPtr<GsfInput> word(gsf_infile_child_by_name(compound.get(), "WordDocument"));
    std::array<guint8, 12> fib{};
    if (!word || gsf_input_read(word.get(), fib.size(), fib.data()) == nullptr) {
        return false;
    }
    const unsigned flags = fib[10] | (fib[11] << 8);
    return (flags & 0x0100) != 0;
}

bool looksLikeText(std::string_view data) {
    if (startsWith(data, "\xFF\xFE") || startsWith(data, "\xFE\xFF")) {
        return true;  // UTF-16 with a byte order mark
    }
    std::size_t controls = 0;
    for (unsigned char c : data) {
        if (c == 0) {
            return false;
        }
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v' &&
             c != 0x1A) ||
            c == 0x7F) {
            ++controls;
        }
    }
    // Legacy code pages use every byte from 0x80 up, so only control characters give binary away;
    // a few are tolerated (stray escape or page-break characters of old printer text).
    return controls * 100 <= data.size();
}

}  // namespace

FileSniff sniffFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw platform::SystemError("cannot read", path, errno != 0 ? errno : EIO);
    }
    std::string head(kSniffBytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    if (in.bad()) {
        throw platform::SystemError("cannot read", path, EIO);
    }
    head.resize(static_cast<std::size_t>(in.gcount()));
    const std::string_view data(head);

    if (data.empty()) {
        return {FileKind::Empty, {}};
    }
    if (startsWith(data, kCompoundMagic)) {
        return {compoundIsEncrypted(path) ? FileKind::Encrypted : FileKind::Compound, {}};
    }
    if (startsWith(data, "PK\3\4") || startsWith(data, "PK\5\6")) {
        return {FileKind::Zip, {}};
    }
    if (isOldWord(data)) {
        return {FileKind::OldWord, {}};
    }
    for (const Signature& signature : kSignatures) {
        if (startsWith(data, signature.magic, signature.offset)) {
            return {FileKind::Picture, signature.what};
        }
    }
    std::string_view text = data;
    if (startsWith(text, "\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    if (startsWith(text, "{\\rtf")) {
        return {FileKind::Rtf, {}};
    }
    if (!looksLikeText(text)) {
        return {FileKind::Binary, {}};
    }
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start != std::string_view::npos && text[start] == '<') {
        const std::string lower = lowerCase(text.substr(start));
        if (startsWith(lower, "<?xml") && lower.find("<html") == std::string::npos) {
            return {FileKind::Xml, {}};
        }
        for (const char* marker : {"<!doctype html", "<html", "<head", "<body", "<p>", "<p ",
                                   "<div", "<table", "<h1", "<title"}) {
            if (lower.find(marker) != std::string::npos) {
                return {FileKind::Html, {}};
            }
        }
    }
    return {FileKind::Text, {}};
}

bool hasComments(const std::string& path, FileKind kind) {
    switch (kind) {
        case FileKind::Compound:
            return compoundHasComments(path);
        case FileKind::Zip:
            return zipHasComments(path);
        default:
            return false;
    }
}

}  // namespace office
