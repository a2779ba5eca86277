// A minimal call agent on loopback for engine tests: answers every command
// with 200, asks for hook events after the registration, records every
// datagram and can send commands of its own.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace voxline::test {

class fake_call_agent {
  public:
    fake_call_agent(const char* address, uint16_t port) {
        m_fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
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
        for (const auto& text : m_received)
            if (text.find(needle) != std::string::npos) ++n;
        return n;
    }
    bool wait_for(const std::string& needle, int timeout_ms = 5000) {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
            for (const auto& text : m_received)
                if (text.find(needle) != std::string::npos) return true;
            return false;
        });
    }
    // Sends a command to the endpoint that registered; body lines after the first.
    void send_command(const std::string& verb, const std::string& lines) {
        std::string text;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            text = verb + " " + std::to_string(++m_transaction) + " " + m_endpoint + " MGCP 1.0\n" +
                   lines;
        }
        send_text(text);
    }

    bool bound = false;

  private:
    void send_text(const std::string& text) {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_have_peer) return;
        sendto(m_fd, text.c_str(), text.size() + 1, 0, reinterpret_cast<sockaddr*>(&m_peer),
               sizeof m_peer);
    }
    void run() {
        while (!m_stop) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0) continue;
            char buffer[2048];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            ssize_t n = recvfrom(m_fd, buffer, sizeof buffer - 1, 0,
                                 reinterpret_cast<sockaddr*>(&from), &length);
            if (n <= 0) continue;
            buffer[n] = '\0';
            std::string text(buffer);
            char verb[16] = {}, endpoint[64] = {};
            unsigned transaction = 0;
            const bool command =
                sscanf(buffer, "%15s %u %63s", verb, &transaction, endpoint) == 3 &&
                strlen(verb) == 4;
            {
                std::lock_guard<std::mutex> lock(m_lock);
                m_received.push_back(text);
                m_peer = from;
                m_have_peer = true;
                if (command) m_endpoint = endpoint;
                m_changed.notify_all();
            }
            if (!command) continue;
            send_text("200 " + std::to_string(transaction) + " OK\n");
            if (strcmp(verb, "RSIP") == 0 && text.find("restart") != std::string::npos)
                send_command("RQNT", "X: 1\nR: L/hu(N)\n");
        }
    }

    int m_fd = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_received;
    sockaddr_in m_peer{};
    bool m_have_peer = false;
    std::string m_endpoint;
    unsigned m_transaction = 500;
};

}  // namespace voxline::test
