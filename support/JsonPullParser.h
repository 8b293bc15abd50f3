#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillmap {

// Reads JSON one token at a time from a byte source, checking the grammar as it goes, for
// files that may be hostile: no recursion (nesting is a counter on an explicit stack, bounded
// by maxDepth), strings bounded by maxString, everything else bounded by the input.
//
// Contract: next() returns the next token; after Error or End it keeps returning that token.
// A key of an object comes as Key, with its text in string(); a string value as String; a
// number as Number with its literal in string() (integer() converts it). Strings are UTF-8:
// \u escapes are decoded, a lone surrogate and bytes that are not UTF-8 are errors. A UTF-8
// byte-order mark before the value is skipped.
class JsonPullParser
{
public:
    enum class Token
    {
        BeginObject,
        EndObject,
        BeginArray,
        EndArray,
        Key,
        String,
        Number,
        True,
        False,
        Null,
        End,  // the one top-level value is complete and only white space follows
        Error // see error() and offset()
    };

    // Fills the buffer with up to `size` bytes; returns how many (0 at the end of the input).
    using Source = std::function<std::size_t(char* buffer, std::size_t size)>;

    explicit JsonPullParser(Source source, std::size_t maxDepth = 1u << 21,
                            std::size_t maxString = 1u << 24);

    Token next();
    // Lets strings hold bytes that are not UTF-8, kept as they are (ncdu writes names so).
    void setRawStrings(bool raw) { m_raw = raw; }
    // Skips the value that follows (after a Key, or as an element); false on error.
    bool skipValue();

    const std::string& string() const { return m_string; }
    // The Number token as a whole number, or false when it has a fraction, an exponent, or
    // does not fit.
    bool integer(std::int64_t& out) const;
    bool unsignedInteger(std::uint64_t& out) const;

    // What went wrong, in English, and the byte offset where it was seen.
    const std::string& error() const { return m_error; }
    std::uint64_t offset() const { return m_consumed + m_pos; }
    // True when the error was the input ending too soon (a truncated file).
    bool truncated() const { return m_truncated; }
    // True when the error was a string longer than maxString.
    bool tooLong() const { return m_tooLong; }
    std::size_t maxString() const { return m_maxString; }
    std::size_t depth() const { return m_stack.size(); }

private:
    int peekByte();
    int getByte();
    bool skipSpace(int& c);
    Token fail(const char* what);
    Token failTruncated();
    bool readString();
    bool readHex4(unsigned& value);
    Token readNumber(int first);
    Token readLiteral(const char* rest, Token token);
    Token afterValue(Token token);

    enum class State : std::uint8_t
    {
        Value,       // a value must come (top level, after ":" or after "," in an array)
        ArrayFirst,  // after "[": a value or "]"
        ObjectFirst, // after "{": a key or "}"
        ObjectKey,   // after "," in an object: a key
        AfterValue,  // "," or the closing bracket, or the end at top level
        Done,
        Failed
    };

    Source m_source;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::uint64_t m_consumed = 0;
    bool m_eof = false;

    std::vector<char> m_stack; // '{' or '[' per open container
    std::size_t m_maxDepth;
    std::size_t m_maxString;
    State m_state = State::Value;
    Token m_last = Token::Null;
    std::string m_string;
    std::string m_error;
    bool m_truncated = false;
    bool m_tooLong = false;
    bool m_started = false; // past a byte-order mark
    bool m_raw = false;
};

} // namespace quillmap
