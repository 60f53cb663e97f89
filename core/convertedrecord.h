// SPDX-License-Identifier: MIT
// Which source made which RTF file, kept in each output folder of the command line, so that a run
// over an archive that was stopped can be started again and convert only the rest
// (--skip-converted). Names alone cannot tell: "Report.doc" and "Report.docx" both give
// "Report.rtf" first. A source counts as converted while its path, size and modification time
// are what they were when it was converted and its output file is still there.
//
// The record is a hidden file of lines, "SOURCE<TAB>SIZE<TAB>MODIFIED<TAB>OUTPUT" (MODIFIED in
// nanoseconds since 1970; tab, newline, carriage return and backslash in a field as \t, \n, \r
// and \\), only ever appended to, under a lock: runs on this machine and on others that share the
// folder add their lines at once, and a line cut short by a run that was killed spoils nothing
// else.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/folder.h"

namespace core {

inline constexpr const char* kConvertedRecordName = ".pavendel-converted";

// A field of a line with tab, newline, carriage return and backslash written as \t, \n, \r and
// \\, so that it can neither end its field nor its line: the record's fields, and the command
// line's before their control characters are escaped too.
std::string EscapeSeparators(const std::string& field);

// A source as it is now.
struct SourceStamp {
    std::string path;  // absolute, without "." and ".." levels or doubled separators
    std::uintmax_t size = 0;
    std::int64_t modified = 0;  // nanoseconds since 1970
};

// The stamp of a file; nothing when it cannot be examined.
std::optional<SourceStamp> StampOf(const std::string& absolutePath);

class ConvertedRecord {
 public:
    // The record of the folder; an empty one when it has none. Throws SystemError when there is
    // one that cannot be read.
    explicit ConvertedRecord(const platform::Folder& folder);

    // The name of the output file the source made, when the record shows it converted as it is
    // now and the folder (the one the record was read from) still holds that file.
    std::optional<std::string> outputOf(const SourceStamp& source,
                                        const platform::Folder& folder) const;

    // Notes in the folder's record that the source made the output file of that name. Throws
    // SystemError.
    static void Add(const platform::Folder& folder, const SourceStamp& source,
                    const std::string& outputName);

 private:
    struct Entry {
        std::uintmax_t size;
        std::int64_t modified;
        std::string output;
    };
    // The last line of each source: a source converted again after a change has a later one.
    std::map<std::string, Entry> m_entries;
};

}  // namespace core
