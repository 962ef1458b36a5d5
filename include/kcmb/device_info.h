// The device identification records and the settings words of a pyrometer.
#pragma once

#include <cstddef>

// The identification as read from the device (34 bytes; the layout of data
// files of versions 1 and 3).
struct DeviceInfo {
    unsigned char address;      // set by the caller before getDeviceInfo
    unsigned short tempMin;     // lower end of the measuring range, °C
    unsigned short tempMax;     // upper end of the measuring range, °C
    unsigned short reg2;        // register 2 as read; carried along
    short sensor;               // sensor code
    unsigned short type;        // device type code; bit 0x80 marks a ratio device
    char serial[5];             // serial number text
    char year[5];               // year of manufacture text
    char verifyDate[9];         // verification date DDMMYYYY
    unsigned short variant;     // 0, 1 or 2
};

static_assert(sizeof(DeviceInfo) == 34, "DeviceInfo is stored as 34 bytes");
static_assert(offsetof(DeviceInfo, tempMin) == 2 && offsetof(DeviceInfo, tempMax) == 4
                  && offsetof(DeviceInfo, reg2) == 6 && offsetof(DeviceInfo, sensor) == 8
                  && offsetof(DeviceInfo, type) == 10 && offsetof(DeviceInfo, serial) == 12
                  && offsetof(DeviceInfo, year) == 17 && offsetof(DeviceInfo, verifyDate) == 22
                  && offsetof(DeviceInfo, variant) == 32,
              "DeviceInfo field offsets are those of the files");

// The identification as kept with a measurement series (40 bytes; the layout
// of data files of versions 2 and 4).
struct v2DeviceInfo {
    unsigned char address;
    int tempMin;
    int tempMax;
    unsigned short reg2;
    short sensor;
    unsigned short type;
    char serial[5];
    char year[5];
    char verifyDate[9];
    unsigned short variant;

    // Leaves the fields as they are.
    v2DeviceInfo() = default;
    // Copies every field; the range limits are widened without sign.
    explicit v2DeviceInfo(const DeviceInfo& info);
    v2DeviceInfo(const v2DeviceInfo&) = default;
    v2DeviceInfo& operator=(const v2DeviceInfo&) = default;
    v2DeviceInfo& operator=(v2DeviceInfo&&) = default;
};

static_assert(sizeof(v2DeviceInfo) == 40, "v2DeviceInfo is stored as 40 bytes");
static_assert(offsetof(v2DeviceInfo, tempMin) == 4 && offsetof(v2DeviceInfo, tempMax) == 8
                  && offsetof(v2DeviceInfo, reg2) == 12 && offsetof(v2DeviceInfo, sensor) == 14
                  && offsetof(v2DeviceInfo, type) == 16 && offsetof(v2DeviceInfo, serial) == 18
                  && offsetof(v2DeviceInfo, year) == 23 && offsetof(v2DeviceInfo, verifyDate) == 28
                  && offsetof(v2DeviceInfo, variant) == 38,
              "v2DeviceInfo field offsets are those of the files");

// The 13 settings words of a device, holding registers 512 to 524: word k is
// register 512 + k, also reachable by name.
union KCConfig {
    unsigned short words[13];
    __extension__ struct {
        unsigned short mode;           // operating mode
        unsigned short emissivity;     // emissivity x 100, or for a ratio device the ratio x 1000
        unsigned short smoothing;      // smoothing step code
        unsigned short minSampling;    // minimum sampling time, 0.1 s
        unsigned short maxSampling;    // maximum sampling time, 0.1 s
        unsigned short currentOutput;  // current output start: 0 = 0 mA, 1 = 4 mA
        unsigned short baudRate;       // baud code of the device
        unsigned short timeout;        // device time-out, units of 20 ms
        unsigned short address;        // device address
        unsigned short outputTMin;     // temperature at the current output's lower end, °C
        unsigned short outputTMax;     // temperature at the current output's upper end, °C
        unsigned short trigger;        // trigger level; 15000 is off
        unsigned short hysteresis;     // hysteresis, 0 to 100
    };
};

static_assert(sizeof(KCConfig) == 26, "KCConfig is 13 words");

// Writes the default of every settings word.
void KCSetDefaultConfig(KCConfig* config);
