// The C functions of kcmb_c.h over the C++ ones.
#include <kcmb_c.h>

#include <kcmb.h>

#include <cstddef>

static_assert(sizeof(kcmb_device_info) == sizeof(DeviceInfo), "kcmb_device_info is DeviceInfo");
static_assert(offsetof(kcmb_device_info, type) == offsetof(DeviceInfo, type)
                  && offsetof(kcmb_device_info, serial) == offsetof(DeviceInfo, serial)
                  && offsetof(kcmb_device_info, verify_date) == offsetof(DeviceInfo, verifyDate)
                  && offsetof(kcmb_device_info, variant) == offsetof(DeviceInfo, variant),
              "kcmb_device_info has DeviceInfo's layout");

namespace {

DeviceInfo* asDeviceInfo(kcmb_device_info* info)
{
    return reinterpret_cast<DeviceInfo*>(info);
}

}  // namespace

int kcmb_init(void)
{
    return KCInit() ? 1 : 0;
}

void kcmb_close(void)
{
    KCClose();
}

void* kcmb_open_port(const char* name, int baudCode, int* why)
{
    KCOpenError reason = KC_OPEN_OK;
    HandleGuard port = KCOpenPortWhy(name, static_cast<char>(baudCode), &reason);
    if (why != nullptr)
        *why = reason;
    return port ? port.release() : nullptr;
}

void kcmb_close_port(void* port)
{
    if (port != nullptr)
        KCClosePort(port);
}

int kcmb_set_timeout(void* port, int ms)
{
    return KCSetTimeOut(port, ms);
}

int kcmb_get_device_info(void* port, int address, kcmb_device_info* info)
{
    return getDeviceInfo(port, static_cast<char>(address), asDeviceInfo(info));
}

int kcmb_read_exception(void* port, int address, unsigned short* status)
{
    return readException(port, static_cast<char>(address), status);
}

int kcmb_read_type_id(void* port, int address, unsigned short* type)
{
    return readTypeID(port, static_cast<char>(address), type);
}

int kcmb_read_words(void* port, int address, unsigned short start, unsigned short* words, unsigned short count)
{
    return readWords(port, static_cast<char>(address), start, words, count);
}

int kcmb_write_words(void* port, int address, unsigned short start, unsigned short* words, unsigned short count)
{
    return writeWords(port, static_cast<char>(address), start, words, count);
}

const char* kcmb_error_text(int code)
{
    return KCGetErrorTxt(static_cast<unsigned short>(code));
}

const char* kcmb_device_name(unsigned short type)
{
    return getDeviceName(type);
}

const char* kcmb_open_error_text(int why)
{
    return KCGetOpenErrorTxt(static_cast<KCOpenError>(why));
}
