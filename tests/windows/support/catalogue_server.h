// A small HTTP/1.0 server on 127.0.0.1 for the catalogue tests, run on a thread of the test program.
// It serves canned answers by exact request target (path and query), answers every request it
// receives (a server that accepted and stayed silent would block WinINet for minutes), closes each
// connection after one answer, and counts the requests per target.
#ifndef SONDREL_TESTS_WINDOWS_CATALOGUE_SERVER_H
#define SONDREL_TESTS_WINDOWS_CATALOGUE_SERVER_H

#include <winsock2.h>
#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>

struct CannedAnswer {
    int status = 200;
    std::string body;
    // Bytes announced in Content-Length; -1 announces the body's size. Announcing more than the body
    // and closing after it is a transfer broken off.
    long announced = -1;
    bool sendLength = true; // false: no Content-Length, the end of the body is the closed connection
    bool reset = false;     // true: the connection is reset (not closed) after the body sent
};

struct LoopbackHttpServer {
    LoopbackHttpServer();
    ~LoopbackHttpServer(); // stops the server

    bool Start();
    void Stop();
    void Serve(const std::string& target, const CannedAnswer& answer);
    void Serve(const std::string& target, int status, const std::string& body);
    // "http://127.0.0.1:<port><target>"
    std::string Url(const std::string& target) const;
    int Requests(const std::string& target);
    int TotalRequests();
    unsigned short port = 0;

  private:
    void Run();
    void Answer(SOCKET client);
    SOCKET listener_ = INVALID_SOCKET;
    std::thread thread_;
    std::mutex mutex_;
    std::map<std::string, CannedAnswer> answers_;
    std::map<std::string, int> requests_;
    int total_ = 0;
};

// A loopback port on which nothing listens (connections are refused at once).
unsigned short UnusedLoopbackPort();

#endif
