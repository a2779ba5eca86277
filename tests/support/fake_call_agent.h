// A call agent on loopback that answers 200, asks for hook events after the restart and records.
#pragma once

#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/eventually.h"

namespace voxline::test {

class fake_call_agent {
  public:
    fake_call_agent(const char* address, uint16_t port) {
        m_fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{AF_INET, htons(port), {}, {}};
        inet_pton(AF_INET, address, &local.sin_addr);
        bound = bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
        m_thread = std::thread([this] { run(); });
    }
    ~fake_call_agent() {
        m_stop = true;
        m_thread.join();
        close(m_fd);
    }

    // Received datagrams (as text, without their NUL) holding needle.
    int count_received(const std::string& needle) {
        std::lock_guard<std::mutex> lock(m_lock);
        int n = 0;
        for (const auto& text : m_received) n += text.find(needle) != std::string::npos;
        return n;
    }
    bool wait_for(const std::string& needle, int timeout_ms = 5000) {
        return eventually([&] { return count_received(needle) > 0; }, timeout_ms);
    }
    // Sends a command to the endpoint that registered; body lines after the first.
    void send_command(const std::string& verb, const std::string& lines) {
        std::lock_guard<std::mutex> lock(m_lock);
        send_text(verb + " " + std::to_string(++m_transaction) + " " + m_endpoint + " MGCP 1.0\n" +
                  lines);
    }

    bool bound = false;

  private:
    void send_text(const std::string& text) {  // under m_lock
        sendto(m_fd, text.c_str(), text.size() + 1, 0, reinterpret_cast<sockaddr*>(&m_peer),
               sizeof m_peer);
    }
    void run() {
        while (!m_stop) {
            pollfd pfd{m_fd, POLLIN, 0};
            char buffer[2048], verb[16] = {}, endpoint[64] = {};
            socklen_t length = sizeof m_peer;
            if (::poll(&pfd, 1, 20) <= 0) continue;
            std::lock_guard<std::mutex> lock(m_lock);
            const ssize_t n = recvfrom(m_fd, buffer, sizeof buffer - 1, 0,
                                       reinterpret_cast<sockaddr*>(&m_peer), &length);
            if (n <= 0) continue;
            buffer[n] = '\0';
            m_received.emplace_back(buffer);
            unsigned transaction = 0;
            if (sscanf(buffer, "%15s %u %63s", verb, &transaction, endpoint) != 3 ||
                strlen(verb) != 4)
                continue;
            m_endpoint = endpoint;
            send_text("200 " + std::to_string(transaction) + " OK\n");
            if (strcmp(verb, "RSIP") == 0 && strstr(buffer, "restart"))
                send_text("RQNT " + std::to_string(++m_transaction) + " " + m_endpoint +
                          " MGCP 1.0\nX: 1\nR: L/hu(N)\n");
        }
    }

    int m_fd = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    std::vector<std::string> m_received;
    sockaddr_in m_peer{};
    std::string m_endpoint;
    unsigned m_transaction = 500;
};

}  // namespace voxline::test
