#pragma once

namespace voxline {

// Whether the processor offers MMX, read from its feature flags.
bool processor_has_mmx();

}  // namespace voxline
