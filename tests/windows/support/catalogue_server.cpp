// The catalogue tests' loopback HTTP server: see catalogue_server.h.
#include "support/catalogue_server.h"

#include <ws2tcpip.h>

#include <stdio.h>

namespace {

struct WinsockStartup {
    bool ok;
    WinsockStartup() {
        WSADATA data;
        ok = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
};

bool EnsureWinsock() {
    static WinsockStartup startup;
    return startup.ok;
}

SOCKET BoundLoopbackSocket(unsigned short* port) {
    if (!EnsureWinsock()) return INVALID_SOCKET;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return s;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (bind(s, (sockaddr*)&address, sizeof address) != 0 ||
        getsockname(s, (sockaddr*)&address, &length) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    *port = ntohs(address.sin_port);
    return s;
}

const char* Reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Other";
    }
}

void SendAll(SOCKET s, const char* data, size_t size) {
    while (size > 0) {
        int sent = send(s, data, (int)size, 0);
        if (sent <= 0) return;
        data += sent;
        size -= (size_t)sent;
    }
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer() {}

LoopbackHttpServer::~LoopbackHttpServer() {
    Stop();
}

bool LoopbackHttpServer::Start() {
    listener_ = BoundLoopbackSocket(&port);
    if (listener_ == INVALID_SOCKET) return false;
    if (listen(listener_, 8) != 0) {
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
        return false;
    }
    thread_ = std::thread([this] { Run(); });
    return true;
}

void LoopbackHttpServer::Stop() {
    if (listener_ != INVALID_SOCKET) {
        closesocket(listener_); // accept fails and the thread ends
        listener_ = INVALID_SOCKET;
    }
    if (thread_.joinable()) thread_.join();
}

void LoopbackHttpServer::Serve(const std::string& target, const CannedAnswer& answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[target] = answer;
}

void LoopbackHttpServer::Serve(const std::string& target, int status, const std::string& body) {
    CannedAnswer answer;
    answer.status = status;
    answer.body = body;
    Serve(target, answer);
}

std::string LoopbackHttpServer::Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port) + target;
}

int LoopbackHttpServer::Requests(const std::string& target) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = requests_.find(target);
    return found == requests_.end() ? 0 : found->second;
}

int LoopbackHttpServer::TotalRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return total_;
}

void LoopbackHttpServer::Run() {
    for (;;) {
        SOCKET client = accept(listener_, NULL, NULL);
        if (client == INVALID_SOCKET) return;
        Answer(client);
        closesocket(client);
    }
}

void LoopbackHttpServer::Answer(SOCKET client) {
    DWORD timeout = 5000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, (const char*)&timeout, sizeof timeout);
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        int got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        request.append(buffer, (size_t)got);
    }
    // "GET <target> HTTP/1.x"
    std::string target;
    size_t first = request.find(' ');
    if (first != std::string::npos) {
        size_t second = request.find(' ', first + 1);
        if (second != std::string::npos) target = request.substr(first + 1, second - first - 1);
    }
    CannedAnswer answer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_[target]++;
        total_++;
        auto found = answers_.find(target);
        if (found != answers_.end()) {
            answer = found->second;
        } else {
            answer.status = 404;
            answer.body = "no such file";
        }
    }
    std::string head = "HTTP/1.0 " + std::to_string(answer.status) + " " + Reason(answer.status) + "\r\n";
    head += "Content-Type: text/plain\r\nConnection: close\r\n";
    if (answer.sendLength) {
        long length = answer.announced >= 0 ? answer.announced : (long)answer.body.size();
        head += "Content-Length: " + std::to_string(length) + "\r\n";
    }
    head += "\r\n";
    SendAll(client, head.data(), head.size());
    SendAll(client, answer.body.data(), answer.body.size());
    if (answer.reset) {
        // A zero linger time makes the close an abortive one: the peer sees a reset.
        Sleep(50); // lets the bytes sent leave before the reset discards what is still queued
        linger abort = {1, 0};
        setsockopt(client, SOL_SOCKET, SO_LINGER, (const char*)&abort, sizeof abort);
        return;
    }
    shutdown(client, SD_SEND);
}

unsigned short UnusedLoopbackPort() {
    unsigned short port = 0;
    SOCKET s = BoundLoopbackSocket(&port);
    if (s != INVALID_SOCKET) closesocket(s);
    return port;
}
