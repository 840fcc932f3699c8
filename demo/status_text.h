#pragma once
// The status panel's text, built from the 22 status fields the device library
// hands out.

#include <string>

#include "device/Kestrom.h"

namespace tellerdesk {

// Head, cover, passage and command states, the scan resolution (only for 4 or
// 8 lines/mm), picture type and scan mode, then one line for each of the
// scanner and printer states that is set. Lines are joined by "\r\n".
std::string status_text(const DeviceStatus& s);

}  // namespace tellerdesk
