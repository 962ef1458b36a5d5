/* The QRVX library: ports of devices that stream value frames, the receive
 * loop that collects their bytes, the reading of one value, and the command
 * exchange ("G" read-back and a command character with its packet).
 *
 * The five functions have plain C names, so that a program can load
 * libqrvx.so by name (dlopen) and bind them with dlsym; the pointer types
 * below give their exact signatures.
 *
 * Threads: the caller runs QRVXReadPort on a thread of its own and one
 * consumer (QRVXReadValue, QRVXReadZero or QRVXWriteZero, never two at once)
 * on another. The stop event is the only way to end them: once it is
 * signalled every wait of the library ends within a few milliseconds.
 */
#ifndef QRVX_H
#define QRVX_H

#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Size of the receive buffer the caller allocates for a context. */
#define QRVX_BUFFER_SIZE 4096

/* The record shared by the receive loop and its consumer, owned by the
 * caller. Seven pointer-sized fields in this order, no padding (56 bytes on a
 * 64-bit machine); the handles are those of the platform layer that libkcmb
 * exports (platform/sync.h, platform/serial.h).
 *
 *   buffer     QRVX_BUFFER_SIZE bytes allocated by the caller; null means the
 *              stream is not running (QRVXReadPort returns at once).
 *   readPos    next byte to consume.
 *   writePos   where the next received byte goes.
 *              buffer <= readPos <= writePos <= buffer + QRVX_BUFFER_SIZE.
 *   stopEvent  manual-reset event (platform::createEvent(name, true, false));
 *              signalled means stop.
 *   port       the port from QRVXOpenPort.
 *   lock       mutex (platform::createMutex(nullptr)) guarding the three
 *              positions and the buffer contents; the caller takes it with
 *              platform::waitForMutex and platform::releaseMutex when it sets
 *              the positions.
 *   dataEvent  auto-reset event (platform::createEvent(nullptr, false, false))
 *              that the receive loop signals when bytes arrive in an empty
 *              buffer; the consumer sleeps on it and on the stop event. It
 *              may be null: the consumer then looks for bytes every
 *              millisecond while it sleeps on the stop event.
 *
 * A context whose lock or stop event is not a handle is refused like a null
 * context.
 *
 * Lifecycle: open the port; create the events and the lock; allocate the
 * buffer and set both positions to its start under the lock; start
 * QRVXReadPort(context) on a thread; consume; signal the stop event; join both
 * threads; free the buffer; close the lock, the events
 * (platform::closeHandle) and the port (platform::closeHandle).
 */
typedef struct QRVXContext {
    char* buffer;
    char* readPos;
    char* writePos;
    void* stopEvent;
    void* port;
    void* lock;
    void* dataEvent;
} QRVXContext;

/* Results of QRVXReadValue besides the value itself. A device sending -1 or
 * -2 cannot be told from them; callers use values above 0 only. */
#define QRVX_STOPPED (-1)
#define QRVX_BAD_FRAME (-2)

/* Opens a port ("com5", "COM5", "\\.\com5") at 9600 baud, 8 data bits, no
 * parity, one stop bit, DTR and RTS held off, with a read time-out of 10 ms.
 * Null when the name is null or the port cannot be opened or set up. The
 * caller closes it with platform::closeHandle. */
void* QRVXOpenPort(const char* name);

/* The receive loop, the body of a worker thread: copies every byte of the
 * port into the context's buffer until the stop event is signalled or the
 * buffer is null, then returns 0. It sleeps until bytes or the stop request
 * come (an idle line costs no processor time) and takes every byte waiting
 * at once; a buffer set to null is noticed when it next wakes. A full buffer drops its oldest
 * unconsumed byte for each new one. Returns 0xFFFFFFFF for a null context. */
unsigned QRVXReadPort(QRVXContext* context);

/* Discards what has been received and waits (without a time-out) for the next
 * complete frame ":" D value checksum CR LF, D being the number of value
 * characters, 0 to 9; a ':' starts a frame only as the first character seen
 * or after CR or LF. Frames are cut after 128 characters.
 * Returns the value; QRVX_STOPPED when the context or its buffer is null or
 * the stop event is signalled; QRVX_BAD_FRAME when the checksum is wrong or
 * the frame is not well formed (the character after ':' is no digit, or the
 * line ends within the value). `text` (at most `size` bytes, always
 * terminated when size > 0) receives the frame as received, or for
 * QRVX_BAD_FRAME the frame without its CR LF followed by " LRC error \r\n". */
int QRVXReadValue(QRVXContext* context, char* text, unsigned size);

/* Waits for a line end of the stream (ZeroSyncWait ms), sends "G" and
 * collects the reply line starting with "G" (ZeroWaitTime ms); what comes
 * before the "G" is skipped. True when a whole line came: `buffer` then holds
 * "G", the text, CR LF, and zeros in the rest of its `size` bytes (so the
 * reply is zero-terminated unless it fills the buffer exactly). A reply that
 * does not fit fails at once; a size below 3 ("G" CR LF) fails without any
 * traffic. */
bool QRVXReadZero(QRVXContext* context, char* buffer, unsigned size);

/* Sends packet[0] as a command character after a line end of the stream,
 * waits up to ZeroWaitTime ms for its echo, then sends length - ZeroStrLen - 3
 * bytes from packet[1] (none when that is not positive), and finally reads
 * back with QRVXReadZero(context, packet, length), whose result it returns.
 * Appends its progress to "qrvx.log" in the current directory. */
bool QRVXWriteZero(QRVXContext* context, char* packet, unsigned length);

/* Tuning (machine-wide, see README): group [QRVX] of
 * <KL_SYSTEM_CONFIG_DIR or /etc/xdg>/OSTRELAN/VA_ZIRUDEZOV.conf, keys
 * ZeroWaitTime (default 500 ms), ZeroSyncWait (400 ms), ZeroStrLen (0). The
 * values are read when the library is loaded and again at the start of every
 * QRVXReadZero and QRVXWriteZero call; a key that is missing or not a number
 * leaves its value as it was. */

typedef void* (*QRVXOpenPortFn)(const char* name);
typedef unsigned (*QRVXReadPortFn)(QRVXContext* context);
typedef int (*QRVXReadValueFn)(QRVXContext* context, char* text, unsigned size);
typedef bool (*QRVXReadZeroFn)(QRVXContext* context, char* buffer, unsigned size);
typedef bool (*QRVXWriteZeroFn)(QRVXContext* context, char* packet, unsigned length);

#ifdef __cplusplus
}
#endif

#endif
