/*
 * Pipewell: the USB link to the TQ-RMX7KP, eight operations over libusb-1.0.
 *
 * The device library loads libPipewell.so by name and calls these eight
 * operations; the device emulator (libScannerEmulator.so) exports the same
 * ones. All results are those the device library relies on:
 *
 *   OpenDevice()            a link handle (> 0), or -1 when no device opens
 *   CloseDevice(h)          1 when h was open, else 0
 *   SetUSBTimeouts(h, a, b) non-zero when accepted
 *   uWrite(h, 0, buf, n)    bytes written, -1 on failure
 *   uRead(h, pipe, buf, n)  bytes delivered (0 = none this time), -1 on failure
 *   GetSpecStatus(h, buf, 8, &got)  non-zero on success, got = bytes delivered
 *   SendSpecCommand(h, 192) non-zero on success
 *   ResetPipes(h, pipe)     non-zero on success
 *
 * How the real link works:
 *
 * - Finding the device. PIPEWELL_USB_ID="vvvv:pppp" (hexadecimal vendor and
 *   product id) picks the device; without it the first attached device with a
 *   vendor-specific interface (class FF) that has a bulk OUT endpoint and at
 *   least two IN endpoints is used. The bus is enumerated once per process
 *   (and again only when the matched device has gone away): one libusb context
 *   and the matched device stay alive between opens, because the device
 *   library closes and reopens its handle around every single transfer.
 * - Pipes. Pipes 0..3 are that interface's endpoints in descriptor order; the
 *   device library writes on pipe 0 (the bulk OUT endpoint), reads replies on
 *   pipe 1 and image data on pipe 3. Reads on a bulk or interrupt endpoint use
 *   the matching transfer type. A transfer that times out delivers what arrived
 *   before the timeout (0 when nothing did).
 * - Timeouts. SetUSBTimeouts(h, first, second): `first` is the timeout in
 *   milliseconds of writes and of the status request, `second` that of reads.
 *   Until set, both are 1000 ms. A transfer never waits less than 20 ms (the
 *   device library asks for 1 ms while it probes the device, shorter than a
 *   control transfer takes on the bus), and waits 1 ms longer for every 64
 *   bytes it moves (whole firmware files go out in one write).
 * - Status. GetSpecStatus is a vendor control-IN request to the interface:
 *   bmRequestType C1, bRequest 01, wValue 0, wIndex = interface number,
 *   wLength = the byte count.
 * - SendSpecCommand(h, 192) (RESET_USB_DEVICE) resets the USB port of the
 *   device (libusb_reset_device); other codes fail. The handle stays valid when
 *   the device comes back as the same device, otherwise the next OpenDevice
 *   finds it again.
 * - ResetPipes(h, pipe) clears a halt on the pipe's endpoint.
 * - Handles. The device is opened once, its interface claimed (a kernel
 *   driver detached), and kept open for the process; link handles are small
 *   positive numbers that stand for it, so the open/close pair the device
 *   library makes around every transfer costs nothing on the bus. Handles die
 *   when the device goes away or comes back as a new device after a port
 *   reset; the next OpenDevice then searches the bus again. The device is
 *   released when the library is unloaded.
 *
 * Failure reasons. The eight operations keep their plain results; why one
 * failed or fell short (each libusb error by name, e.g. LIBUSB_ERROR_ACCESS
 * for a device node the user may not open, LIBUSB_ERROR_BUSY for an interface
 * another program holds, no matching device attached, a stall, a timeout) is
 * kept for PipewellLastError and, when the environment variable
 * PIPEWELL_DEBUG is set to anything but "" or "0", written to stderr as
 * "pipewell: <reason>".
 *
 * Non-root access needs the udev rule in platform/usb/60-tq-rmx7kp.rules.
 */
#ifndef TICKETKIT_PIPEWELL_H
#define TICKETKIT_PIPEWELL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int OpenDevice(void);
int uRead(int handle, int pipe, uint8_t* buf, int count);
int uWrite(int handle, int pipe, const uint8_t* buf, int count);
int GetSpecStatus(int handle, uint8_t* buf, int count, int* delivered);
int CloseDevice(int handle);
int SetUSBTimeouts(int handle, int first, int second);
int SendSpecCommand(int handle, int code);
int ResetPipes(int handle, int pipe);

/* Optional, beyond the eight operations (the emulator and test doubles need
 * not have it; callers resolve it when present): the reason the most recent
 * operation of this process failed or fell short, in English, empty when it
 * went through. Copies at most capacity - 1 bytes and a terminating zero into
 * text (nothing when text is null or capacity < 1) and returns the length of
 * the whole reason (0 = none). Thread-safe; the reason is process-wide. */
int PipewellLastError(char* text, int capacity);

#ifdef __cplusplus
}
#endif

#endif /* TICKETKIT_PIPEWELL_H */
