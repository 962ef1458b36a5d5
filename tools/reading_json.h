// The MQTT messages of kl_poll as JSON text: a reading with its clock time
// (ISO 8601 with milliseconds and the zone), temperature, emissivity, quantum
// count and the device's serial number and type; and a state, "online" or
// "offline" with the reason.
//
//   {"time":"2024-03-05T09:07:02.250+03:00","address":1,"temperature":812,
//    "emissivity":0.95,"quantum":40000,"mode":0,"serial":"2417","type":"B3","typeCode":3}
//   {"state":"offline","reason":"port lost","time":"2024-03-05T09:07:05.000+03:00"}
#pragma once

#include "reading_outputs.h"
#include "reading_sink.h"

#include <kcmb.h>

#include <chrono>
#include <string>

namespace tools {

// The local clock time of `time` with milliseconds and its offset from UTC.
std::string isoLocalTime(std::chrono::system_clock::time_point time);

// `device`'s type carries the ratio bit for a ratio device: its emissivity
// word is then read in thousandths, else in hundredths.
std::string readingJson(int address, const PollReading& reading, const v2DeviceInfo& device,
                        std::chrono::system_clock::time_point taken);

// Why a device or the logger is offline, as the status messages say it.
enum class OfflineReason { PortLost, DeviceSilent, LoggerStopped, LoggerLost };

std::string onlineJson(std::chrono::system_clock::time_point time);
std::string offlineJson(OfflineReason reason, std::chrono::system_clock::time_point time);
// The status message of a device's state: online, or offline with the reason;
// a device not identified yet is offline as silent.
std::string stateJson(DeviceState state, std::chrono::system_clock::time_point time);

}  // namespace tools
