/* A C program as an integrator writes it: it loads kcmb.dll at run time,
 * binds the C functions of kcmb_c.h by name, opens a port (COM1 unless
 * another is given) and reads the identification and the temperature of the
 * pyrometer at address 1. Exit status 0 when both were read. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

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

typedef int (*init_fn)(void);
typedef void (*close_fn)(void);
typedef void* (*open_port_fn)(const char*, int, int*);
typedef void (*close_port_fn)(void*);
typedef int (*device_info_fn)(void*, int, struct kcmb_device_info*);
typedef int (*read_words_fn)(void*, int, unsigned short, unsigned short*, unsigned short);
typedef const char* (*text_fn)(int);
typedef const char* (*device_name_fn)(unsigned short);

/* void (*)(void) is the type that any function pointer may be cast to and
 * back from without a warning. */
typedef void (*any_fn)(void);

static any_fn bindFunction(HMODULE library, const char* name)
{
    any_fn function = (any_fn)GetProcAddress(library, name);
    if (function == NULL)
        fprintf(stderr, "c_caller: kcmb.dll has no function %s\n", name);
    return function;
}

int main(int argc, char** argv)
{
    const char* portName = argc > 1 ? argv[1] : "COM1";
    HMODULE library = LoadLibraryA("kcmb.dll");
    if (library == NULL) {
        fprintf(stderr, "c_caller: kcmb.dll not loaded (error %lu)\n", (unsigned long)GetLastError());
        return 1;
    }
    init_fn init = (init_fn)bindFunction(library, "kcmb_init");
    close_fn closeTable = (close_fn)bindFunction(library, "kcmb_close");
    open_port_fn openPort = (open_port_fn)bindFunction(library, "kcmb_open_port");
    close_port_fn closePort = (close_port_fn)bindFunction(library, "kcmb_close_port");
    device_info_fn deviceInfo = (device_info_fn)bindFunction(library, "kcmb_get_device_info");
    read_words_fn readWords = (read_words_fn)bindFunction(library, "kcmb_read_words");
    text_fn errorText = (text_fn)bindFunction(library, "kcmb_error_text");
    text_fn openErrorText = (text_fn)bindFunction(library, "kcmb_open_error_text");
    device_name_fn deviceName = (device_name_fn)bindFunction(library, "kcmb_device_name");
    if (!init || !closeTable || !openPort || !closePort || !deviceInfo || !readWords || !errorText
        || !openErrorText || !deviceName)
        return 1;

    if (!init()) {
        fprintf(stderr, "c_caller: no COM port\n");
        return 1;
    }
    int why = 0;
    void* port = openPort(portName, 5, &why);
    if (port == NULL) {
        fprintf(stderr, "c_caller: %s: %s\n", portName, openErrorText(why));
        closeTable();
        return 1;
    }
    int status = 1;
    struct kcmb_device_info info;
    memset(&info, 0, sizeof info);
    int result = deviceInfo(port, 1, &info);
    if (result != 0) {
        fprintf(stderr, "c_caller: identification: %s (%d)\n", errorText(result), result);
    } else {
        printf("%s: %s, type %u, address %u, serial %s, year %s, range %u..%u C, verified %s\n", portName,
               deviceName(info.type), info.type, info.address, info.serial, info.year, info.temp_min,
               info.temp_max, info.verify_date);
        unsigned short words[5] = {0, 0, 0, 0, 0};
        result = readWords(port, 1, 256, words, 5);
        if (result != 0) {
            fprintf(stderr, "c_caller: temperature: %s (%d)\n", errorText(result), result);
        } else {
            printf("%s: temperature %u C, quantum count %u\n", portName, words[0], words[4]);
            status = 0;
        }
    }
    closePort(port);
    closeTable();
    FreeLibrary(library);
    return status;
}
