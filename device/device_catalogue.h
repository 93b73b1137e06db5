#pragma once
// What the system knows about device kinds: names, pictures, which kinds sleep
// on batteries, how many controller buttons they have, and the text forms of
// firmware, levels and ramp rates. Pure look-ups over fixed tables, apart from
// the two operations that write into a record.
#include <cstdint>
#include <string>
#include <string_view>

#include "device/device_record.h"
#include "platform/clock.h"

namespace quorvel {

// Product name of a kind, or empty for an unknown or unlearned kind (0/0).
std::string_view ProductName(uint8_t category, uint8_t subcategory);
// Bitmap file of a kind in the images folder; "default.bmp" for unlisted kinds.
std::string_view PictureName(uint8_t category, uint8_t subcategory);

// Battery kinds that sleep: commands for them are held until they wake.
bool IsWirelessKind(uint8_t category, uint8_t subcategory);
// Does not look at the in-use bit.
bool IsWirelessDevice(const DeviceRecord& r);
// These three want a record in use.
bool IsRemoteLinc(const DeviceRecord& r);
bool IsMotionSensor(const DeviceRecord& r);
bool IsTriggerLinc(const DeviceRecord& r);
// Does not look at the in-use bit.
bool IsKeypadLinc(const DeviceRecord& r);

// Number of button groups through which a device of this kind controls others.
// Also sets or clears `showInControllerList` for the kinds it knows, so calling
// it decides whether the device is listed as a controller.
int ControllerGroupCount(DeviceRecord& r);

// Ramp-rate text of a responder link's ramp value; "NA" outside 0..32.
std::string_view RampRateName(int index);

// Firmware byte as "%x.%x" of its two nibbles: 0x41 is "4.1".
std::string FirmwareText(uint8_t firmware);
// Level 0..255 as a whole percentage, the fraction dropped: 0x80 is 50.
int LevelPercent(uint8_t level);

// Writes an identity the device reported into one of its records, with the
// matching picture. Byte 812 (the tile's large flag) is left as it is.
void LearnIdentity(DeviceRecord& r, uint8_t category, uint8_t subcategory, uint8_t firmware, Time now);

// Gives an unnamed record its kind's product name (at most 32 characters).
// True when the name was set.
bool NameFromCatalogueIfEmpty(DeviceRecord& r);

}  // namespace quorvel
