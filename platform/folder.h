// SPDX-License-Identifier: MIT
// A folder held open: its names are looked up, and new files made in it, in that very folder,
// however its path changes meanwhile (the folder renamed, a symbolic link put in its place), and
// a link among its entries is never followed out of it. A run opens its output folder once and
// holds it in use, so that every output name it chooses and every file it saves goes there, in
// this process and in the office servers it hands the folder to.
//
// On Windows a folder is held by its path alone: Word saves the files there itself.
#pragma once

#include <memory>
#include <string>

namespace platform {

class Folder {
 public:
    // Opens the folder the path names now; links in the path are followed, this once. Throws
    // SystemError ("open folder") when the path names no folder that can be opened.
    explicit Folder(std::string path);
    // Takes over a descriptor of a folder opened elsewhere (another process handed it over) and
    // the path it was opened as. Throws SystemError, and closes the descriptor, when it is no
    // folder. POSIX only.
    Folder(int descriptor, std::string path);
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // The path as it was given.
    const std::string& path() const { return m_path; }
    // What the folder's files are made relative to (an O_PATH descriptor); -1 on Windows.
    int descriptor() const { return m_descriptor; }

    // Whether the folder holds an entry of that name of any kind: a file, a folder, a symbolic
    // link (one that leads nowhere too), a FIFO, a socket, a device. A name that cannot be looked
    // up (too long, say) counts as no entry: a save under it fails by itself.
    bool hasEntry(const std::string& name) const;
    // Whether the name is a folder, reached through a link too; the empty name is the folder
    // itself.
    bool hasFolder(const std::string& name) const;

 private:
    std::string m_path;
    int m_descriptor = -1;
};

// While it lives, the folder is the one in use for its path: saves whose target lies directly in
// that path (platform::writeNewFile with a path, and a SaveAs the office client hands to a
// server) go into this folder, not into whatever the path names at that moment. A later one for
// the same path takes its place until it ends.
class FolderInUse {
 public:
    explicit FolderInUse(std::shared_ptr<const Folder> folder);
    ~FolderInUse();
    FolderInUse(const FolderInUse&) = delete;
    FolderInUse& operator=(const FolderInUse&) = delete;

    const Folder& folder() const { return *m_folder; }

 private:
    std::shared_ptr<const Folder> m_folder;
};

// The folder in use for the path, else the folder the path names, opened now. Throws
// SystemError.
std::shared_ptr<const Folder> FolderAt(const std::string& path);

// The folder part of a file's path ("." for a bare name) and the file's name, as FolderAt and the
// savers split a target.
std::string FolderPartOf(const std::string& file);
std::string NamePartOf(const std::string& file);

}  // namespace platform
