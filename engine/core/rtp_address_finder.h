// The media session's NAT discovery and relay, made of engine/nat and
// engine/proxy over the session's RTP socket.
#pragma once

#include <memory>

#include "audio/media_seams.h"

namespace voxline {

std::unique_ptr<rtp_address_finder> make_rtp_address_finder();

}  // namespace voxline
