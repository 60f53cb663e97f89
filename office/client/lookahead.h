// SPDX-License-Identifier: MIT
// Converting ahead: a run that knows which documents it will convert, in which order, lets
// several fresh office instances work at once, each on one document, each converting into a
// private folder. The run itself still goes through the documents one by one with the same
// automation calls (create, Documents.Open, ActiveDocument.SaveAs, Quit); the objects it gets
// stand for documents already converted (or still converting), and SaveAs only puts the finished
// file in place under the name the run chose. So the run's names, messages and order are those
// of converting one document after the other; only the waiting shrinks.
//
//   run:      Open(d1) SaveAs  Open(d2) SaveAs  Open(d3) ...       (one after the other)
//   slot 1:   [ convert d1 ][ convert d3 ][ convert d5 ]           (a fresh instance each)
//   slot 2:   [ convert d2      ][ convert d4 ][ convert d6 ]
//
// A finished result waits as a file, holding no instance, until the run reaches it, so one slow
// document does not hold the others up: the slots go on with the documents after it, as far as
// the bounds on waiting results (their count and the free disk space) allow. The document the
// run waits for always starts first; after it, the largest of the documents within the bounds,
// so that a long conversion is not left for the end of the run. A document that
// failed to open ahead is reported when the run reaches it, in the words the instance gave; one
// that opened but could not be written into the private folder is converted again when the run
// reaches it, in an instance of its own, straight into the run's target.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "automation/automation.h"
#include "office/client/officeoptions.h"

namespace office::client {

// What converting one document ahead came to.
struct AheadResult {
    enum class Failed { Nothing, Opening, Saving };
    Failed failed = Failed::Nothing;
    // What failed, as the instance said it; empty when nothing did.
    std::string description;
};

// Lets the run stop a conversion under way on another thread: the conversion registers how to
// end its instance, and cancel() runs that (at once when it comes after the cancel).
class AheadCancel {
 public:
    void onCancel(std::function<void()> abort);
    void cancel();
    bool cancelled() const;

 private:
    mutable std::mutex m_mutex;
    bool m_cancelled = false;
    std::function<void()> m_abort;
};

// Converts the source document to RTF at the target path (a new file in a private folder) in a
// fresh office instance, from its creation to Quit. Runs on a slot's thread.
using AheadConverter = std::function<AheadResult(const std::string& source,
                                                 const std::string& target, AheadCancel& cancel)>;

class Launcher;

// Converts each document with the Word calls of every run (automation::ConvertWithWord) in a
// fresh office instance of its own, forked by the launcher when there is one; the instance is
// ended before the conversion returns, and at once when the conversion is cancelled. A failure
// to start the instance counts as one to open the document.
AheadConverter convertInFreshInstances(OfficeOptions options, std::shared_ptr<Launcher> launcher);

// Bounds on the results that wait for the run.
struct AheadLimits {
    // How many documents convert at once.
    int slots = 1;
    // How many documents may be converted (or converting) beyond the one the run waits for.
    int waitingResults = 64;
    // Free space the private folder's file system must keep before another document starts.
    std::uint64_t reservedBytes = std::uint64_t{512} << 20;
};

class Lookahead : public std::enable_shared_from_this<Lookahead> {
 public:
    // The slots start converting at once, the first source first, into files of the
    // folder, which must exist and be empty; it is removed with the look-ahead.
    Lookahead(std::vector<std::string> sources, AheadConverter convert, AheadLimits limits,
              std::string folder);
    // Stops every conversion under way, waits for the slots and removes the private folder.
    ~Lookahead();
    Lookahead(const Lookahead&) = delete;
    Lookahead& operator=(const Lookahead&) = delete;

    // An application object for the run: Documents.Open of the next planned source takes that
    // document's result (waiting for it if need be, with the automation wait hook running);
    // a path that was not planned is opened through the object `unplanned` creates, and every
    // later call goes to that object.
    automation::ObjectPtr application(std::function<automation::ObjectPtr()> unplanned);

    // The outcome of the planned source, waited for; documents planned before it that the run
    // passed over are dropped. Nothing when the source is not planned (any more). The result
    // file, when there is one, belongs to the caller from then on.
    struct Taken {
        AheadResult result;
        std::string file;
    };
    std::optional<Taken> take(const std::string& source);

 private:
    enum class State { Waiting, Converting, Done, Gone };
    struct Entry {
        std::string source;
        std::string file;
        // The source's size when the plan was made (0 when unknown): larger ones start first.
        std::uintmax_t bytes = 0;
        State state = State::Waiting;
        AheadResult result;
        std::shared_ptr<AheadCancel> cancel;
    };

    void runSlot();
    // The next entry a slot may start now, or -1; with the mutex held.
    std::ptrdiff_t nextToStart() const;
    bool diskHasRoom() const;
    void drop(Entry& entry);

    AheadConverter m_convert;
    AheadLimits m_limits;
    std::string m_folder;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Entry> m_entries;
    // The first entry the run has not taken or passed over.
    std::size_t m_cursor = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_slots;
};

}  // namespace office::client
