/* The device link library for C and for any language that calls a DLL's
 * functions by name (C#, LabVIEW, Python ctypes): the port table, the
 * register services and the texts, with plain C types and unmangled names.
 * The C++ functions of kcmb.h stay as they are; these call them.
 *
 * A port is a void* that kcmb_open_port gives and kcmb_close_port takes;
 * null when it could not be opened. Results are those of the C++ functions:
 * 0, the device's exception code, 3 (a request the library will not send),
 * 5 (a reply that does not answer the request), 6 (another address) or
 * 7 (no reply, or the port failed). */
#ifndef KCMB_C_H
#define KCMB_C_H

#ifdef __cplusplus
extern "C" {
#endif

/* The identification of a device, as DeviceInfo of device_info.h (34 bytes). */
struct kcmb_device_info {
    unsigned char address;
    unsigned short temp_min;
    unsigned short temp_max;
    unsigned short reg2;
    short sensor;
    unsigned short type;
    char serial[5];
    char year[5];
    char verify_date[9];
    unsigned short variant;
};

/* Builds the port table (KCInit): 1 when the machine has a COM port, else 0. */
int kcmb_init(void);
/* Frees the port table (KCClose). */
void kcmb_close(void);

/* Opens a port ("COM1", "\\\\.\\COM12") at the speed of a baud code (0..8:
 * 600 to 115200 baud; 5 = 19200) with a read time-out of 2000 ms. Null when
 * it cannot be opened; then *why (when given) says why, as KCOpenError:
 * 1 not found, 2 busy, 3 no permission, 4 failed, 5 not a serial port,
 * 6 held by this program. */
void* kcmb_open_port(const char* name, int baud_code, int* why);
void kcmb_close_port(void* port);
/* Sets the read time-out in ms and gives the previous one; -1 on failure. */
int kcmb_set_timeout(void* port, int ms);

/* The register services of register_services.h. */
int kcmb_get_device_info(void* port, int address, struct kcmb_device_info* info);
int kcmb_read_exception(void* port, int address, unsigned short* status);
int kcmb_read_type_id(void* port, int address, unsigned short* type);
int kcmb_read_words(void* port, int address, unsigned short start, unsigned short* words, unsigned short count);
int kcmb_write_words(void* port, int address, unsigned short start, unsigned short* words, unsigned short count);

/* Texts (UTF-8) of a result code, a device type code and a reason of
 * kcmb_open_port. */
const char* kcmb_error_text(int code);
const char* kcmb_device_name(unsigned short type);
const char* kcmb_open_error_text(int why);

#ifdef __cplusplus
}
#endif

#endif
