// The version every Telltale program shows.
#pragma once

namespace telltale {
inline constexpr const char* kVersion = "1.00";
}
