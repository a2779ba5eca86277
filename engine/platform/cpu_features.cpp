#include "platform/cpu_features.h"

namespace voxline {

bool processor_has_mmx() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("mmx");
#else
    // Only the x86 family names MMX; our G.723.1 codec needs no such extension.
    return true;
#endif
}

}  // namespace voxline
