// The library's one export.
#include "kestrel/kestrel.h"
#include "phone/active_x_phone.h"

extern "C" __attribute__((visibility("default"))) int32_t KestrelCreateInstance(
    const char* szClassName, IActiveXPhone** ppControl) {
    return kestrel::create_control(szClassName, ppControl);
}
