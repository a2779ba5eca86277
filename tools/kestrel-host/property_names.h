// The control's property names by dispatch id, so commands may name them.
#pragma once

#include <string>

namespace kestrel_host {

// The dispid 2..49 of a property name (any case), 0 for none.
int property_dispid(const std::string& name);

}  // namespace kestrel_host
