#include "config/options.h"

#include "platform/bytes.h"

namespace quorvel {

const std::array<std::string_view, kTimeZoneRows> kTimeZoneNames = {
    "(GMT-12:00) International Date Line West",
    "(GMT-11:00) Midway Island, Samoa",
    "(GMT-10:00) Hawaii",
    "(GMT-09:00) Alaska",
    "(GMT-08:00) Pacific Time (US & Canada)",
    "(GMT-07:00) Mountain Time (US & Canada)",
    "(GMT-06:00) Central Time (US & Canada)",
    "(GMT-05:00) Eastern Time (US & Canada)",
    "(GMT-04:00) Atlantic Time (Canada)",
    "(GMT-03:00) Greenland",
    "(GMT-02:00) Mid-Atlantic",
    "(GMT-01:00) Cape Verde Islands",
    "(GMT) Greenwich Mean Time: Dublin, Edinburgh, Lisbon, London",
    "(GMT+01:00) Brussels, Copenhagen, Madrid, Paris",
    "(GMT+02:00) Helsinki, Kiev, Riga, Sofia, Tallinn, Vilnius",
    "(GMT+03:00) Moscow, St. Petersburg, Volgograd",
    "(GMT+04:00) Baku, Tbilisi, Yerevan",
    "(GMT+05:00) Islamabad, Karachi, Tashkent",
    "(GMT+06:00) Sri Jayawardenepura",
    "(GMT+07:00) Bangkok, Hanoi, Jakarta",
    "(GMT+08:00) Beijing, Chongqing, Hong Kong SAR, Urumqi",
    "(GMT+09:00) Seoul",
    "(GMT+10:00) Canberra, Melbourne, Sydney",
    "(GMT+11:00) Magadan, Solomon Islands, New Caledonia",
    "(GMT+12:00) Fiji Islands, Kamchatka, Marshall Islands",
    "(GMT+13:00) Nuku alofa",
};

void ApplyStartupRules(OptionsRecord& options) {
  options.userDisconnect = 0;
  // Only the marker bits are added: switches the user turned off in the first
  // run stay off at the second start.
  if ((options.runFlags & kRunSetUp) == 0) options.runFlags |= 0xE0;
  if (options.initMarker != kInitMarker) {
    options.initMarker = kInitMarker;
    CopyFixedText(options.longitude, "-93:10");
    CopyFixedText(options.latitude, "44:96");
    options.timeZone = -6;
    options.timeZoneIndex = 6;
    options.reserved1125 = 1;
    options.forcedPortNumber = 0;
    options.runFlags = 0x1F;
  }
}

void StoreTimeZone(OptionsRecord& options, int selectedRow) {
  options.timeZoneIndex = static_cast<int8_t>(selectedRow);
  options.timeZone = selectedRow >= 0 && selectedRow < kTimeZoneRows ? selectedRow - 12 : -6;
}

std::string TimeZoneLabel(const OptionsRecord& options) {
  return "Timezone " + std::to_string(options.timeZone);
}

}  // namespace quorvel
