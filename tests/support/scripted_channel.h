// A datagram_channel with a scripted peer and clock: a wait that nothing ends moves the clock.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "nat/datagram_channel.h"
#include "util/udp_socket.h"

namespace voxline::test {

class scripted_channel : public datagram_channel {
  public:
    struct arrival {
        int64_t at_ms;
        std::string from;
        uint16_t port;
        std::string data;  // empty with error != 0: a read error
        int error = 0;
    };
    struct sent_datagram {
        int64_t at_ms;
        std::string to;
        uint16_t port;
        std::string data;
    };

    int64_t now = 0;
    std::deque<arrival> arrivals;
    std::vector<sent_datagram> sent;
    std::vector<int> send_errors;  // result of the n-th send; 0 past the end
    // Called after each send, e.g. to queue the answer to it.
    std::function<void(scripted_channel&, const sent_datagram&)> on_send;
    bool stop = false;

    void arrive(int64_t at_ms, const char* from, uint16_t port, std::string data) {
        arrivals.push_back({at_ms, from, port, std::move(data)});
        std::stable_sort(arrivals.begin(), arrivals.end(),
                         [](const arrival& a, const arrival& b) { return a.at_ms < b.at_ms; });
    }

    int send(const void* data, size_t length, uint32_t address, uint16_t port) override {
        char to[16];
        address_to_dotted(address, to, sizeof to);
        sent.push_back({now, to, port, std::string(static_cast<const char*>(data), length)});
        if (on_send) on_send(*this, sent.back());
        return sent.size() <= send_errors.size() ? send_errors[sent.size() - 1] : 0;
    }
    int receive(char* buffer, size_t capacity, datagram_info* info, int64_t timeout_ms,
                int* error) override {
        *info = {};
        *error = 0;
        if (arrivals.empty() || arrivals.front().at_ms > now + timeout_ms) {
            now += timeout_ms;
            return CHANNEL_TIMEOUT;
        }
        arrival a = arrivals.front();
        arrivals.pop_front();
        now = std::max(now, a.at_ms);
        if (a.error) {
            *error = a.error;
            return CHANNEL_ERROR;
        }
        info->length = std::min(capacity, a.data.size());
        info->truncated = a.data.size() > capacity;
        std::memcpy(buffer, a.data.data(), info->length);
        dotted_to_address(a.from.c_str(), &info->from_address);
        info->from_port = a.port;
        return CHANNEL_OK;
    }
    int64_t now_ms() override { return now; }
    bool stop_requested() override { return stop; }
};

}  // namespace voxline::test
