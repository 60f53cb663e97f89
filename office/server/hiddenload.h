// SPDX-License-Identifier: MIT
// The hidden load module, the first tier of engine.h: the engine instance loads the document
// hidden through the engine's own component API and stores it as RTF.
//
// It lives in a module of its own (pavendel-office-uno.so beside pavendel-office), built against
// the engine's SDK headers and libraries. The launcher opens it only after the engine's library
// has been loaded (kitpreinit.h), so that its UNO libraries are the engine's own.
#pragma once

#include <cstddef>

namespace office {

// What pavendel_convert_hidden gives back.
enum HiddenResult : int {
    kHiddenConverted = 0,    // the RTF has been written
    kHiddenFailed = 1,       // the engine could not load or store the document; error says why
    kHiddenUnavailable = 2,  // the engine's component context is not there: use another way
};

// True when the engine in this process can serve pavendel_convert_hidden (the engine's library
// is loaded); cheap, asked once in the launcher.
using HiddenReadyFunction = bool (*)();
// In the launcher, once the engine is preinitialised and before anything is forked: makes a new,
// empty, hidden Writer document from the engine's built-in default, stores it into folderUrl (a
// file URL) as a Word 97 and a Word 2007 document, loads each of those back as a source is loaded
// and stores it as RTF, and closes them all. So what the first document of a process pays for
// (the Writer core, its document shell and layout, the Word import filters, the RTF export) is
// paid once, and every instance forked afterwards starts with it. Hands the engine's lock back
// at the end, for the instances' main loops to take.
using HiddenWarmFunction = void (*)(const char* folderUrl);
// Loads the document at sourceUrl hidden and read-only, with macros never run and links never
// updated, and stores it as RTF at targetUrl (file URLs). Writes a failure's reason, cut to fit
// and zero-terminated, into error.
using HiddenConvertFunction = int (*)(const char* sourceUrl, const char* targetUrl, char* error,
                                      std::size_t errorSize);

// In the launcher, once the engine is preinitialised: writes the settings the engine changed
// meanwhile at once. Otherwise the engine's settings writer waits a second before it writes them
// and ends, and the launcher, which forks only when it is down to its own thread, waits for it.
using HiddenFlushFunction = void (*)();

inline constexpr const char* kHiddenModuleName = "pavendel-office-uno.so";
inline constexpr const char* kHiddenReadySymbol = "pavendel_hidden_ready";
inline constexpr const char* kHiddenWarmSymbol = "pavendel_warm_engine";
inline constexpr const char* kHiddenConvertSymbol = "pavendel_convert_hidden";
inline constexpr const char* kHiddenFlushSymbol = "pavendel_flush_settings";

// The module's functions, once it has been loaded and found ready.
struct HiddenConversion {
    HiddenWarmFunction warm = nullptr;
    HiddenConvertFunction convert = nullptr;
    HiddenFlushFunction flush = nullptr;

    explicit operator bool() const { return warm != nullptr && convert != nullptr; }
};

}  // namespace office
