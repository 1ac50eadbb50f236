#include "multipart.h"

#include <algorithm>
#include <cctype>

namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// Value of key="..." (or key=token) inside a header value.
std::string param(const std::string &header, const std::string &key)
{
    const std::string l = lower(header);
    size_t pos = 0;
    while ((pos = l.find(key + "=", pos)) != std::string::npos) {
        const bool boundaryOk = pos == 0 || l[pos - 1] == ';' || l[pos - 1] == ' ' || l[pos - 1] == '\t';
        size_t v = pos + key.size() + 1;
        if (!boundaryOk) {
            pos = v;
            continue;
        }
        if (v < header.size() && header[v] == '"') {
            const size_t end = header.find('"', v + 1);
            return header.substr(v + 1, end == std::string::npos ? std::string::npos : end - v - 1);
        }
        size_t end = v;
        while (end < header.size() && header[end] != ';' && header[end] != ' ')
            ++end;
        return header.substr(v, end - v);
    }
    return std::string();
}

} // namespace

MultipartParser::MultipartParser(const std::string &boundary, PartStart start, PartData data)
    : m_delim("--" + boundary), m_dataDelim("\r\n--" + boundary), m_start(std::move(start)), m_data(std::move(data))
{
}

std::string MultipartParser::boundaryOf(const std::string &contentType)
{
    return param(contentType, "boundary");
}

bool MultipartParser::feed(const char *data, size_t len)
{
    if (m_state == Failed)
        return false;
    if (m_state == Done)
        return true;
    m_buf.append(data, len);
    while (step()) {
    }
    return m_state != Failed;
}

bool MultipartParser::step()
{
    switch (m_state) {
    case Preamble: {
        const size_t p = m_buf.find(m_delim);
        if (p == std::string::npos) {
            if (m_buf.size() > m_delim.size())
                m_buf.erase(0, m_buf.size() - m_delim.size());
            return false;
        }
        m_buf.erase(0, p + m_delim.size());
        m_state = AfterBoundary;
        return true;
    }
    case AfterBoundary: {
        if (m_buf.size() < 2)
            return false;
        if (m_buf.compare(0, 2, "--") == 0) {
            m_state = Done;
            m_buf.clear();
            return false;
        }
        // Transport padding (spaces, tabs) may precede the line break.
        size_t i = 0;
        while (i < m_buf.size() && (m_buf[i] == ' ' || m_buf[i] == '\t'))
            ++i;
        if (m_buf.size() < i + 2)
            return false;
        if (m_buf.compare(i, 2, "\r\n") != 0) {
            m_state = Failed;
            return false;
        }
        m_buf.erase(0, i + 2);
        m_state = Headers;
        return true;
    }
    case Headers: {
        const size_t end = m_buf.find("\r\n\r\n");
        if (end == std::string::npos) {
            if (m_buf.size() > 16384)
                m_state = Failed;
            return false;
        }
        std::string name, filename;
        size_t pos = 0;
        while (pos < end) {
            size_t eol = m_buf.find("\r\n", pos);
            if (eol == std::string::npos || eol > end)
                eol = end;
            const std::string line = m_buf.substr(pos, eol - pos);
            const size_t colon = line.find(':');
            if (colon != std::string::npos && lower(line.substr(0, colon)) == "content-disposition") {
                const std::string value = line.substr(colon + 1);
                name = param(value, "name");
                filename = param(value, "filename");
            }
            pos = eol + 2;
        }
        m_buf.erase(0, end + 4);
        m_start(name, filename);
        m_state = Data;
        return true;
    }
    case Data: {
        const size_t p = m_buf.find(m_dataDelim);
        if (p == std::string::npos) {
            // Keep a tail that could be the start of the delimiter.
            const size_t keep = m_dataDelim.size() - 1;
            if (m_buf.size() > keep) {
                const size_t emit = m_buf.size() - keep;
                m_data(m_buf.data(), emit);
                m_buf.erase(0, emit);
            }
            return false;
        }
        if (p)
            m_data(m_buf.data(), p);
        m_buf.erase(0, p + m_dataDelim.size());
        m_state = AfterBoundary;
        return true;
    }
    case Done:
    case Failed:
        return false;
    }
    return false;
}
