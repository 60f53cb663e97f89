// SPDX-License-Identifier: MIT
// Word-like container files for tests, written with the same library the office server reads
// them with: compound files with chosen streams, zip packages with chosen parts, and the start of
// a Word 97 file information block.
#pragma once

#include <gsf/gsf.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/tempfolder.h"

namespace testsupport {

using Streams = std::vector<std::pair<std::string, std::string>>;

inline std::string compoundFile(const TempFolder& folder, const std::string& name,
                                const Streams& streams) {
    const std::string path = folder / name;
    GsfOutput* output = gsf_output_stdio_new(path.c_str(), nullptr);
    GsfOutfile* compound = gsf_outfile_msole_new(output);
    for (const auto& [stream, bytes] : streams) {
        GsfOutput* child = gsf_outfile_new_child(compound, stream.c_str(), FALSE);
        gsf_output_write(child, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
        gsf_output_close(child);
        g_object_unref(child);
    }
    gsf_output_close(GSF_OUTPUT(compound));
    g_object_unref(compound);
    g_object_unref(output);
    return path;
}

// A zip package with the given top-level parts.
inline std::string zipFile(const TempFolder& folder, const std::string& name,
                           const Streams& parts) {
    const std::string path = folder / name;
    GsfOutput* output = gsf_output_stdio_new(path.c_str(), nullptr);
    GsfOutfile* zip = gsf_outfile_zip_new(output, nullptr);
    for (const auto& [part, bytes] : parts) {
        GsfOutput* child = gsf_outfile_new_child(zip, part.c_str(), FALSE);
        gsf_output_write(child, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
        gsf_output_close(child);
        g_object_unref(child);
    }
    gsf_output_close(GSF_OUTPUT(zip));
    g_object_unref(zip);
    g_object_unref(output);
    return path;
}

// The start of a Word 97 file information block: the flags word at offset 10, the usual
// 14 short and 22 long fields, then the table of (offset, size) pairs, where pair 4 locates the
// comment references; commentTableSize is that pair's size.
inline std::string wordStream(unsigned flags, std::uint32_t commentTableSize = 0) {
    std::string fib(4096, '\0');
    const auto put16 = [&fib](std::size_t at, unsigned value) {
        fib[at] = static_cast<char>(value & 0xFF);
        fib[at + 1] = static_cast<char>((value >> 8) & 0xFF);
    };
    put16(0, 0xA5EC);  // Word document
    put16(2, 0x00C1);  // Word 97 or later
    put16(10, flags);
    put16(32, 14);           // short fields
    put16(34 + 14 * 2, 22);  // long fields
    const std::size_t pairs = 36 + 14 * 2 + 22 * 4;
    put16(pairs, 0x5D);  // number of pairs
    const std::size_t size = pairs + 2 + 4 * 8 + 4;
    for (int byte = 0; byte < 4; ++byte) {
        fib[size + byte] = static_cast<char>((commentTableSize >> (8 * byte)) & 0xFF);
    }
    return fib;
}

}  // namespace testsupport
