#pragma once
// Test control: injected faults and a record of recent requests. Only served
// when the server runs with --control.
#include <QJsonObject>
#include <QString>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class Router;

struct Fault {
    std::string path;   // normalised request path prefix, lower case
    std::string kind;   // delay, status, drop, stall, slow, garbage, code
    long long value = 0;
    long long after = 0; // stall: body bytes sent before the pause; slow: bytes per piece
    int times = 0;       // 0: until cleared
    int port = 0;        // 0: any server
    QString msg;         // code: the "Msg" to answer with
};

class Faults
{
public:
    void add(const Fault &f);
    void clear();
    // Takes the first fault that matches; counts it against "times".
    bool take(const std::string &path, int port, Fault *out);

private:
    std::mutex m_mutex;
    std::vector<Fault> m_faults;
};

class RequestLog
{
public:
    struct Entry {
        int port;
        std::string method;
        std::string path;
        int status;
        std::string range; // the Range header, when one was sent
    };
    void add(Entry e);
    QJsonObject count(const std::string &prefix);

private:
    std::mutex m_mutex;
    std::deque<Entry> m_entries;
};

void registerControlRoutes(Router &r);
// Lower-cases, drops repeated and trailing slashes; "" becomes "/".
std::string normalisePath(const std::string &path);
