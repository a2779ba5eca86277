// The backends VOXLINE_AUDIO can name. A backend added later takes its row here.
#include "platform/sound/portaudio_backend.h"
#include "platform/sound/sound_backend.h"
#include "platform/sound/virtual_backend.h"

namespace voxline {

const sound_backend_entry k_sound_backends[] = {
    {"virtual", make_virtual_backend},
    {"portaudio", make_portaudio_backend},
    {nullptr, nullptr},
};

}  // namespace voxline
