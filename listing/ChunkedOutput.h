#pragma once

#include <cstdio>
#include <string>

namespace quillmap {

// A writer's bytes gathered in `buffer` and written to `out` in pieces of 64 KiB, so that a
// listing of a million lines makes a few hundred writes; a failed write is remembered and
// nothing more is written.
class ChunkedOutput
{
public:
    ChunkedOutput(std::FILE* out, std::string& buffer) : m_out(out), m_buffer(buffer) {}

    // Writes what is gathered once there is a piece's worth, or now with `force`.
    void flush(bool force = false)
    {
        if (force || m_buffer.size() >= (1u << 16)) {
            m_ok =
                m_ok && std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out) == m_buffer.size();
            m_buffer.clear();
        }
    }
    // Writes the rest; true when everything reached the file.
    bool finish()
    {
        flush(true);
        return m_ok && std::fflush(m_out) == 0 && !std::ferror(m_out);
    }

private:
    std::FILE* m_out;
    std::string& m_buffer;
    bool m_ok = true;
};

} // namespace quillmap
