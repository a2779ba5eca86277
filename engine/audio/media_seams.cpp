#include "audio/media_seams.h"

namespace voxline {
namespace {

struct missing_address_finder : rtp_address_finder {
    bool query_nat_mapping(udp_socket&, const char*, int, const std::atomic<bool>&, std::string*,
                           int*) override {
        return false;
    }
    bool allocate_relay(udp_socket&, const char*, int, const char*, const std::atomic<bool>&,
                        std::string*, int*) override {
        return false;
    }
    bool probe_relay(udp_socket&, const char*, int, const std::atomic<bool>&) override {
        return false;
    }
    void release_relay(udp_socket&, const char*, int) override {}
};

}  // namespace

std::unique_ptr<rtp_address_finder> make_missing_address_finder() {
    return std::make_unique<missing_address_finder>();
}

}  // namespace voxline
