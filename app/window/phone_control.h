// The window's handle on the phone control: properties by name, the methods it
// uses, and the texts the control allocates freed on return.
#pragma once

#include <string>
#include <string_view>

#include "kestrel/kestrel.h"

namespace dialdeck {

class phone_control {
  public:
    // Takes over the creation's reference.
    explicit phone_control(IActiveXPhone* control) : m_control(control) {}
    ~phone_control();
    phone_control(const phone_control&) = delete;
    phone_control& operator=(const phone_control&) = delete;

    IActiveXPhone* raw() const { return m_control; }

    // False for a name the control lacks or a refused put.
    bool put(std::string_view name, const std::string& value);
    std::string get(std::string_view name) const;

    void call_number(const std::string& number);
    void dial_number(const std::string& digits);
    void update_call_manager();
    std::string last_ten_dialed() const;

  private:
    IActiveXPhone* m_control;
};

}  // namespace dialdeck
