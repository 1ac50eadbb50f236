#pragma once
// Streaming multipart/form-data parser. The client's parts carry headers like
// `form-data; name="evtid";` (with a trailing semicolon) that stricter
// parsers reject, so the upload server reads the raw body through this.
#include <functional>
#include <string>

class MultipartParser
{
public:
    // Part starts: name and filename (empty for plain fields).
    using PartStart = std::function<void(const std::string &name, const std::string &filename)>;
    using PartData = std::function<void(const char *data, size_t len)>;

    MultipartParser(const std::string &boundary, PartStart start, PartData data);
    // Feeds the next piece of the body; false once the body is malformed.
    bool feed(const char *data, size_t len);
    bool finished() const { return m_state == Done; }
    bool failed() const { return m_state == Failed; }

    // The boundary of a Content-Type header value, or "" when there is none.
    static std::string boundaryOf(const std::string &contentType);

private:
    enum State { Preamble, AfterBoundary, Headers, Data, Done, Failed };
    bool step();

    std::string m_delim;     // "--" + boundary
    std::string m_dataDelim; // "\r\n--" + boundary
    std::string m_buf;
    State m_state = Preamble;
    PartStart m_start;
    PartData m_data;
};
