#include "support/JsonPullParser.h"

#include "support/Utf8Functions.h"

#include <charconv>

namespace quillmap {

namespace {

constexpr std::size_t kChunk = 1u << 16;
constexpr std::size_t kMaxNumber = 64; // longer literals are no number a listing holds

bool isDigit(int c)
{
    return c >= '0' && c <= '9';
}

void appendUtf8(std::string& out, unsigned cp)
{
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

} // namespace

JsonPullParser::JsonPullParser(Source source, std::size_t maxDepth, std::size_t maxString)
    : m_source(std::move(source)), m_buffer(kChunk), m_maxDepth(maxDepth), m_maxString(maxString)
{
}

int JsonPullParser::peekByte()
{
    if (m_pos == m_end) {
        if (m_eof)
            return -1;
        m_consumed += m_end;
        m_pos = 0;
        m_end = m_source(m_buffer.data(), m_buffer.size());
        if (m_end == 0) {
            m_eof = true;
            return -1;
        }
    }
    return static_cast<unsigned char>(m_buffer[m_pos]);
}

int JsonPullParser::getByte()
{
    const int c = peekByte();
    if (c >= 0)
        ++m_pos;
    return c;
}

bool JsonPullParser::skipSpace(int& c)
{
    for (;;) {
        c = getByte();
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return c >= 0;
    }
}

JsonPullParser::Token JsonPullParser::fail(const char* what)
{
    if (m_state != State::Failed) {
        m_state = State::Failed;
        m_error = what;
    }
    m_last = Token::Error;
    return Token::Error;
}

JsonPullParser::Token JsonPullParser::failTruncated()
{
    m_truncated = true;
    return fail("the file ends too soon");
}

bool JsonPullParser::readHex4(unsigned& value)
{
    value = 0;
    for (int k = 0; k < 4; ++k) {
        const int c = getByte();
        if (c < 0) {
            failTruncated();
            return false;
        }
        value <<= 4;
        if (isDigit(c))
            value |= unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            value |= unsigned(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            value |= unsigned(c - 'A' + 10);
        else {
            fail("a bad \\u escape");
            return false;
        }
    }
    return true;
}

// After the opening quote: the string into m_string.
bool JsonPullParser::readString()
{
    m_string.clear();
    for (;;) {
        // Plain bytes up to the next quote, backslash or control character, in one go.
        if (m_pos < m_end) {
            std::size_t k = m_pos;
            while (k < m_end) {
                const auto b = static_cast<unsigned char>(m_buffer[k]);
                if (b == '"' || b == '\\' || b < 0x20)
                    break;
                ++k;
            }
            m_string.append(m_buffer.data() + m_pos, k - m_pos);
            m_pos = k;
        }
        if (m_string.size() > m_maxString) {
            m_tooLong = true;
            fail("a string is too long");
            return false;
        }
        const int c = getByte();
        if (c < 0) {
            failTruncated();
            return false;
        }
        if (c == '"')
            break;
        if (c < 0x20) {
            fail("a control character in a string");
            return false;
        }
        if (c != '\\') {
            m_string.push_back(char(c)); // the byte that refilled the buffer
            continue;
        }
        const int e = getByte();
        switch (e) {
        case '"':
        case '\\':
        case '/':
            m_string.push_back(char(e));
            break;
        case 'b':
            m_string.push_back('\b');
            break;
        case 'f':
            m_string.push_back('\f');
            break;
        case 'n':
            m_string.push_back('\n');
            break;
        case 'r':
            m_string.push_back('\r');
            break;
        case 't':
            m_string.push_back('\t');
            break;
        case 'u': {
            unsigned cp = 0;
            if (!readHex4(cp))
                return false;
            if (cp >= 0xDC00 && cp <= 0xDFFF) {
                fail("a lone surrogate in a string");
                return false;
            }
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                unsigned low = 0;
                const int b1 = getByte();
                const int b2 = b1 == '\\' ? getByte() : -2;
                if (b1 < 0 || b2 == -1) {
                    failTruncated();
                    return false;
                }
                if (b2 != 'u') {
                    fail("a lone surrogate in a string");
                    return false;
                }
                if (!readHex4(low))
                    return false;
                if (low < 0xDC00 || low > 0xDFFF) {
                    fail("a lone surrogate in a string");
                    return false;
                }
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            }
            appendUtf8(m_string, cp);
            break;
        }
        case -1:
            failTruncated();
            return false;
        default:
            fail("a bad escape in a string");
            return false;
        }
    }
    if (!m_raw && !Utf8Functions::IsValid(m_string)) {
        fail("a string that is not UTF-8");
        return false;
    }
    return true;
}

JsonPullParser::Token JsonPullParser::readNumber(int first)
{
    m_string.assign(1, char(first));
    const auto digits = [this]() {
        std::size_t n = 0;
        while (isDigit(peekByte()) && m_string.size() <= kMaxNumber) {
            m_string.push_back(char(getByte()));
            ++n;
        }
        return n;
    };
    if (first == '-') {
        const int c = getByte();
        if (c < 0)
            return failTruncated();
        if (!isDigit(c))
            return fail("a bad number");
        m_string.push_back(char(c));
        first = c;
    }
    if (first != '0')
        digits();
    if (peekByte() == '.') {
        m_string.push_back(char(getByte()));
        if (digits() == 0)
            return peekByte() < 0 ? failTruncated() : fail("a bad number");
    }
    if (peekByte() == 'e' || peekByte() == 'E') {
        m_string.push_back(char(getByte()));
        if (peekByte() == '+' || peekByte() == '-')
            m_string.push_back(char(getByte()));
        if (digits() == 0)
            return peekByte() < 0 ? failTruncated() : fail("a bad number");
    }
    if (m_string.size() > kMaxNumber)
        return fail("a number is too long");
    return afterValue(Token::Number);
}

JsonPullParser::Token JsonPullParser::readLiteral(const char* rest, Token token)
{
    for (const char* p = rest; *p; ++p) {
        const int c = getByte();
        if (c < 0)
            return failTruncated();
        if (c != *p)
            return fail("an unknown word");
    }
    return afterValue(token);
}

JsonPullParser::Token JsonPullParser::afterValue(Token token)
{
    m_state = State::AfterValue;
    m_last = token;
    return token;
}

JsonPullParser::Token JsonPullParser::next()
{
    if (!m_started) {
        m_started = true;
        // A byte-order mark, which some editors put in front of UTF-8, is no part of the JSON.
        if (peekByte() == 0xEF) {
            getByte();
            if (getByte() != 0xBB || getByte() != 0xBF)
                return fail("an unexpected character");
        }
    }
    for (;;) {
        if (m_state == State::Failed)
            return Token::Error;
        if (m_state == State::Done)
            return Token::End;
        int c = 0;
        const bool any = skipSpace(c);
        switch (m_state) {
        case State::AfterValue:
            if (m_stack.empty()) {
                if (any)
                    return fail("more text after the end");
                m_state = State::Done;
                return m_last = Token::End;
            }
            if (!any)
                return failTruncated();
            if (c == ',') {
                m_state = m_stack.back() == '{' ? State::ObjectKey : State::Value;
                continue;
            }
            if ((c == '}' && m_stack.back() == '{') || (c == ']' && m_stack.back() == '[')) {
                m_stack.pop_back();
                return afterValue(c == '}' ? Token::EndObject : Token::EndArray);
            }
            return fail("a missing comma or bracket");
        case State::ObjectFirst:
        case State::ObjectKey:
            if (!any)
                return failTruncated();
            if (c == '}' && m_state == State::ObjectFirst) {
                m_stack.pop_back();
                return afterValue(Token::EndObject);
            }
            if (c != '"')
                return fail("a missing key");
            if (!readString())
                return Token::Error;
            if (!skipSpace(c))
                return failTruncated();
            if (c != ':')
                return fail("a missing colon");
            m_state = State::Value;
            return m_last = Token::Key;
        case State::Value:
        case State::ArrayFirst:
            if (!any)
                return failTruncated();
            if (c == ']' && m_state == State::ArrayFirst) {
                m_stack.pop_back();
                return afterValue(Token::EndArray);
            }
            switch (c) {
            case '{':
            case '[':
                if (m_stack.size() >= m_maxDepth)
                    return fail("the nesting is too deep");
                m_stack.push_back(char(c));
                m_state = c == '{' ? State::ObjectFirst : State::ArrayFirst;
                return m_last = (c == '{' ? Token::BeginObject : Token::BeginArray);
            case '"':
                if (!readString())
                    return Token::Error;
                return afterValue(Token::String);
            case 't':
                return readLiteral("rue", Token::True);
            case 'f':
                return readLiteral("alse", Token::False);
            case 'n':
                return readLiteral("ull", Token::Null);
            default:
                if (c == '-' || isDigit(c))
                    return readNumber(c);
                return fail("an unexpected character");
            }
        case State::Done:
        case State::Failed:
            break;
        }
    }
}

bool JsonPullParser::skipValue()
{
    const std::size_t base = m_stack.size();
    for (;;) {
        const Token t = next();
        if (t == Token::Error || t == Token::End)
            return false;
        if (t == Token::BeginObject || t == Token::BeginArray || t == Token::Key)
            continue;
        // A scalar, or a closing bracket: done once back at the starting depth.
        if (m_stack.size() == base)
            return true;
    }
}

bool JsonPullParser::integer(std::int64_t& out) const
{
    const char* end = m_string.data() + m_string.size();
    const auto r = std::from_chars(m_string.data(), end, out);
    return r.ec == std::errc() && r.ptr == end;
}

bool JsonPullParser::unsignedInteger(std::uint64_t& out) const
{
    const char* end = m_string.data() + m_string.size();
    const auto r = std::from_chars(m_string.data(), end, out);
    return r.ec == std::errc() && r.ptr == end;
}

} // namespace quillmap
