// The line-head technique shared by every reader of the programs' text
// files: a line is consumed in small heads read with fgets, and values are
// converted straight from the stream the way scanf's "%d" and "%s" do
// (skipping white space, line ends included), but bounded and without
// undefined behaviour on overflow.
#pragma once

#include <cstddef>
#include <cstdio>

struct LineHead {
    bool read = false;      // false at end of file or on a read error
    bool endsLine = false;  // the deleted last character was the line end
    std::size_t length = 0; // length after the last character was deleted
    char deleted = '\0';    // the character that was deleted
};

// True when the file can be opened for reading now.
bool fileCanBeRead(const char* path);

// Reads a head of at most size-1 characters with fgets into buffer and
// deletes its last character, whatever it is.
LineHead readLineHead(std::FILE* stream, char* buffer, int size);

// Reads and drops at most size-1 characters, up to and including a newline.
void discardLinePiece(std::FILE* stream, char* buffer, int size);

// Where a conversion may look for its value: across line ends, as scanf
// does (records whose fields may be spread over lines), or on the current
// line only, so that a line without a value never takes the next line's.
// On the current line, a line end ends the search and stays unread.
enum class ValueScope { AcrossLines, OwnLine };

// Like "%d": skips white space, reads an optional sign and digits. Values
// beyond the int range saturate. On failure *value is unchanged.
bool scanInteger(std::FILE* stream, int* value, ValueScope scope = ValueScope::AcrossLines);

// Like "%Ns" with N = capacity-1: skips white space, then stores at most
// capacity-1 non-blank characters; the rest of a longer word stays unread.
// On failure out is unchanged.
bool scanWord(std::FILE* stream, char* out, std::size_t capacity,
              ValueScope scope = ValueScope::AcrossLines);

// Like "%f": skips white space and reads a decimal number.
bool scanFloat(std::FILE* stream, float* value);

// Reads the rest of the current line, up to and including its newline, and
// keeps its first capacity-1 characters in out; a longer line is consumed
// whole. Trailing blanks, tabs and carriage returns are removed.
void readRestOfLine(std::FILE* stream, char* out, std::size_t capacity);

// Copies the first blank-delimited word of text into out (bounded).
void firstWord(const char* text, char* out, std::size_t capacity);

// Like atoi: leading blanks, an optional sign, then digits; 0 without
// digits. Saturates instead of overflowing.
int parseInteger(const char* text);
