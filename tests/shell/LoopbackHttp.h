// A tiny HTTP server on the loopback interface for the update check's tests:
// it answers every request with the response the test set (any status, with
// or without a content length, a length that is not the body's, delayed, or
// no answer at all) and keeps the request lines.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LoopbackHttp {
  public:
    struct Response {
        int status = 200;
        std::string body;
        bool contentLength = true;
        // A content length this much smaller than the body (a lying server).
        int shortBy = 0;
        // A content length announced whatever the body is (-1: the body's own).
        long long announced = -1;
        DWORD delayMs = 0;  // the server's end cuts a delay short
        // The server takes the request and never answers it (until it stops).
        bool silent = false;
    };

    LoopbackHttp() : stopped_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        listen(listener_, 8);
        thread_ = std::thread([this] { serve(); });
    }

    ~LoopbackHttp() {
        stop_ = true;
        SetEvent(stopped_);
        closesocket(listener_);
        if (thread_.joinable()) thread_.join();
        for (std::thread& answering : answering_) answering.join();
        CloseHandle(stopped_);
        WSACleanup();
    }

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by `path`.
    std::wstring url(const std::wstring& path = L"") const {
        return L"http://127.0.0.1:" + std::to_wstring(port_) + path;
    }

    void respond(const Response& response) {
        std::lock_guard<std::mutex> guard(lock_);
        response_ = response;
    }
    void respondXml(const std::string& body) {
        Response response;
        response.body = body;
        respond(response);
    }

    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> guard(lock_);
        return requests_;
    }

  private:
    // Each connection is answered on a thread of its own: a delayed answer
    // holds up no other request.
    void serve() {
        while (!stop_) {
            SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) return;
            std::lock_guard<std::mutex> guard(lock_);
            answering_.emplace_back([this, client] { answer(client); });
        }
    }

    void answer(SOCKET client) {
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            request.append(buffer, got);
        }
        Response response;
        {
            std::lock_guard<std::mutex> guard(lock_);
            requests_.push_back(request.substr(0, request.find("\r\n")));
            response = response_;
        }
        if (response.silent) {
            WaitForSingleObject(stopped_, INFINITE);
            closesocket(client);
            return;
        }
        if (response.delayMs) WaitForSingleObject(stopped_, response.delayMs);
        std::string head = "HTTP/1.0 " + std::to_string(response.status) + " Answer\r\n" +
                           "Content-Type: text/xml\r\nConnection: close\r\n";
        if (response.contentLength) {
            const long long length =
                response.announced >= 0
                    ? response.announced
                    : static_cast<long long>(response.body.size()) - response.shortBy;
            head += "Content-Length: " + std::to_string(length) + "\r\n";
        }
        const std::string whole = head + "\r\n" + response.body;
        send(client, whole.data(), static_cast<int>(whole.size()), 0);
        shutdown(client, SD_SEND);
        while (recv(client, buffer, sizeof buffer, 0) > 0) {
        }
        closesocket(client);
    }

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    HANDLE stopped_;
    std::mutex lock_;
    Response response_;
    std::vector<std::string> requests_;
    std::thread thread_;
    std::vector<std::thread> answering_;
};
