#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The host's command line: one text of blank-separated tokens; a token in double or
// single quotes may hold blanks.

// Size of a token buffer and of the buffered plan name, terminator included.
inline constexpr size_t kTokenSize = 256;
inline constexpr size_t kFileNameSize = 260;
// What GetNextToken answers for a null or empty text.
inline constexpr size_t kNoMoreTokens = 1000;

// Reads the token that starts at `text` (after blanks) into `out` (`size` characters,
// always terminated) and answers the offset in `text` just past it: past its closing
// quote for a quoted token, so that a switch after a quoted name is read as a switch.
// A token longer than the buffer is cut there, traced, reported through `overflowed`
// and passed over whole. Null or empty text answers kNoMoreTokens.
size_t GetNextToken(const char* text, char* out, size_t size, bool* overflowed = nullptr);

// The program's arguments as one command line: an argument that is empty, holds a blank
// or starts with a quote is put in double quotes; such an argument that also holds a
// quote character cannot be written as one token and is left out (traced).
std::string JoinArguments(const std::vector<std::string>& arguments);

// What a later copy's command line asks to open: the last token that is neither a switch
// ("-d" and its domain, "-u", "-i") nor too long. Empty when there is none.
std::string PlanNameInCommandLine(const char* line);

// The plan a later copy's hand-over record asks to open: the record must be of the
// command-line kind and hold one text with its terminating zero and nothing after it;
// the text is read as PlanNameInCommandLine reads it. Empty for any other record.
std::string PlanNameInHandOver(uintptr_t kind, const void* bytes, size_t size);

// The plan file to open, filled from the command line or a later copy's hand-over and
// read when the editor is there. A name that does not fit kFileNameSize is refused
// (traced) and the buffer keeps what it held. The main thread's.
bool SetBufferedFileName(const std::string& name);
const std::string& BufferedFileName();
void ClearBufferedFileName();
