#pragma once
// The serial device the user chose in the Setup dialog, kept in the per-user
// settings store beside the window layout; the options file keeps its port
// number as before. An empty choice means: search the ports.
#include <string>

namespace quorvel {

inline constexpr char kSerialDeviceKey[] = "SerialDevice";

std::string StoredSerialDevice();
void StoreSerialDevice(const std::string& path);

}  // namespace quorvel
