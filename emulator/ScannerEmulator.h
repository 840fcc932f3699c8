/*
 * ScannerEmulator: a software TQ-RMX7KP scanner-printer.
 *
 * libScannerEmulator.so exports the eight USB link operations of libPipewell.so
 * (OpenDevice, uRead, uWrite, GetSpecStatus, CloseDevice, SetUSBTimeouts,
 * SendSpecCommand, ResetPipes), so setting
 *     PIPEWELL_LIBRARY=<build>/lib/libScannerEmulator.so
 * puts it behind the device library. This header is its control API: tests and
 * tools use it to power-cycle the device, feed tickets, look at what was
 * printed, inject faults, read the journal of every link operation and drive
 * the device clock.
 *
 * The emulator is one process-wide device; every function is thread-safe.
 * All functions return 1 on success and 0 on failure unless said otherwise.
 *
 * Environment (read at power-on, i.e. on first use and at every Emu_Reset):
 *   EMULATOR_TICKETS    folder of BMP tickets; each is fed in name order when
 *                       the device is idle without paper (one second apart)
 *   EMULATOR_PRINT_DIR  folder that receives every printed ticket as a BMP
 *   EMULATOR_STATE_DIR  folder of the flash image (fixed settings, area-1
 *                       bitmaps, firmware version), kept across runs
 *
 * Device clock: device time runs at real speed by default. Tests that skip
 * the device library's pauses through the platform sleep seam should freeze it
 * (Emu_SetTimeScale(0)), forward every pause to Emu_AdvanceTime and let every
 * link operation move it a little (Emu_SetTransferStep(1)), so scans, feeds,
 * flash writes, calibrations and restarts complete without real waiting.
 */
#ifndef TICKETKIT_SCANNER_EMULATOR_H
#define TICKETKIT_SCANNER_EMULATOR_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- power ------------------------------------------------------------ */

/* Power cycle: RAM (casual settings, area-0 bitmaps, pending replies, the
 * ticket, faults, conditions) is lost, the flash image is reloaded. With
 * factory = 1 the flash image is erased as well (and its file removed).
 * The journal is cleared; the clock settings (scale, step) are kept. */
int Emu_Reset(int factory);

/* ---- tickets ---------------------------------------------------------- */

/* Inserts a ticket from a BMP file (1, 4, 8, 24 or 32 bits per pixel). The
 * picture is the ticket at 8 dots per millimetre both ways; row 0 is the
 * leading edge, column 0 lies against the left guide of the passage.
 * Fails when a ticket is already in the device, the file is unreadable, or
 * the ticket is wider than the passage (1728 dots) or longer than 600 mm
 * (4800 rows). */
int Emu_InsertTicketFile(const char* bmpPath);

/* The same from raw pixels: rows top first, each (width x bitsPerPixel + 7) / 8
 * bytes, unpadded. bitsPerPixel 1 (most significant bit first, 1 = white),
 * 8 (grey levels) or 24 (blue, green, red). */
int Emu_InsertTicketPixels(const uint8_t* pixels, int width, int height, int bitsPerPixel);

/* Where the tickets inserted from now on lie in the passage: their left edge
 * offsetDots (0..1727) from the left guide, turned by skewDegrees (-15..15;
 * positive turns the ticket clockwise as the sensor sees it, so its right end
 * trails). Applies to tickets from EMULATOR_TICKETS as well; power-on sets
 * 0 and 0. Printing follows the offset, not the skew. */
int Emu_SetTicketPlacement(int offsetDots, double skewDegrees);

/* Pushes the ticket resting at the entry further in by hand and holds it
 * there, as an operator does with a calibration sheet: its leading edge then
 * stands leadingEdgeMm from the entry (20..110; paper sensor A lies at 5 mm,
 * B at 15, the image sensor at 25, the print head at 60). The device has not
 * taken the ticket, so it stays idle (not waiting) and reports every sensor
 * the ticket covers; the next scan or feed takes the ticket over. Fails
 * without a ticket, unless the device is idle, or out of range. */
int Emu_PushTicket(int leadingEdgeMm);

/* Takes the ticket out by hand wherever it is (clears a real jam). */
int Emu_RemoveTicket(void);

/* Where the paper is. */
enum EmuPaperLocation {
    EMU_PAPER_NONE = 0,     /* no ticket in the device */
    EMU_PAPER_AT_ENTRY = 1, /* inserted, at paper sensors A and B, not yet scanned */
    EMU_PAPER_INSIDE = 2,   /* in the passage (scanning, held, at the print head, pushed in by hand) */
    EMU_PAPER_MOVING = 3    /* being fed, scanned or printed right now */
};

/* location: EmuPaperLocation; leadingEdgeMm: the ticket's leading edge in
 * millimetres from the entry (0 without a ticket); ticketsOut: tickets ejected
 * out of the front since power-on; ticketsReturned: tickets fed back out of
 * the entry. Any pointer may be null. */
int Emu_GetPaperPosition(int* location, int* leadingEdgeMm, int* ticketsOut, int* ticketsReturned);

/* The last completed print job as the print head laid it down: 8-bit grey
 * rows (255 = no ink), top row first, width x height bytes, 8 dots per mm.
 * With pixels null (or capacity too small) only width and height are set and
 * the result is 1 when a print exists. 0 when nothing was printed yet. */
int Emu_GetLastPrint(uint8_t* pixels, int capacity, int* width, int* height);

/* The same for the last printed ticket: the ticket picture with the print
 * laid on it (8-bit grey, 8 dots per mm), as written to EMULATOR_PRINT_DIR. */
int Emu_GetLastPrintedTicket(uint8_t* pixels, int capacity, int* width, int* height);

/* Path of the last BMP written to EMULATOR_PRINT_DIR (zero-terminated,
 * truncated to capacity); 0 when none was written. */
int Emu_GetLastPrintFile(char* path, int capacity);

/* ---- status, conditions ----------------------------------------------- */

/* The 8 status bytes as the device would report them now (no journal entry,
 * no fault applied). */
int Emu_GetStatus(uint8_t status[8]);

/* Device conditions that a test may switch on and off. */
enum EmuCondition {
    EMU_COND_HEAD_HOT = 1,     /* print head overheated: printing refused */
    EMU_COND_COVER_OPEN = 2,   /* cover open: scans, prints and feeds refused */
    EMU_COND_FAKE_JAM = 3,     /* jam indication (passage jam + status error) that 1B 46 clears */
    EMU_COND_REAL_JAM = 4,     /* jam that only removing the ticket clears */
    EMU_COND_STATUS_ERROR = 5, /* device error state alone, cleared by 1B 46 */
    EMU_COND_BIT_3_0 = 6,      /* the uninterpreted status bits, for decoding tests */
    EMU_COND_BIT_3_4 = 7,
    EMU_COND_BIT_3_5 = 8,
    EMU_COND_BIT_2_0 = 9,            /* also shown while the device is busy */
    EMU_COND_NO_PAPER_AT_HEAD = 10,  /* the head sensor misses the paper: prints stop with a paper error */
    EMU_COND_CALIBRATION_FAILS = 11, /* CIS calibration ends in state 2 */
    EMU_COND_BAD_SENSOR = 12,        /* sensor calibration reports one sensor at 0 */
    EMU_COND_JAM_ON_NEXT_MOVE = 13   /* the next scan, feed or print jams half way (real jam) */
};
int Emu_SetCondition(int condition, int on);

/* ---- faults ----------------------------------------------------------- */

enum EmuFault {
    EMU_FAULT_OPEN_FAIL = 1,         /* OpenDevice answers -1 */
    EMU_FAULT_WRITE_FAIL = 2,        /* uWrite answers -1, the device receives nothing */
    EMU_FAULT_WRITE_SHORT = 3,       /* uWrite takes all but the last byte (the device sees them) */
    EMU_FAULT_READ_FAIL = 4,         /* uRead answers -1, delivers nothing */
    EMU_FAULT_READ_SHORT = 5,        /* uRead delivers at most count - 1 bytes (the rest stays queued) */
    EMU_FAULT_STATUS_FAIL = 6,       /* GetSpecStatus answers 0 */
    EMU_FAULT_STATUS_SHORT = 7,      /* GetSpecStatus delivers 4 of the 8 bytes */
    EMU_FAULT_STATUS_ZERO = 8,       /* GetSpecStatus delivers 8 zero bytes (success) */
    EMU_FAULT_NO_ANSWER = 9,         /* the link stops answering: every transfer and
                                        every ResetPipes/SendSpecCommand fails, opens still succeed */
    EMU_FAULT_TIMEOUTS_FAIL = 10,    /* SetUSBTimeouts answers 0 */
    EMU_FAULT_RESET_PIPES_FAIL = 11, /* ResetPipes answers 0 */
    EMU_FAULT_SPEC_COMMAND_FAIL = 12 /* SendSpecCommand answers 0 */
};

/* Arms a fault: of the next operations the fault applies to (reads and
 * writes: only those on `pipe`, or any pipe when pipe < 0), the first `skip`
 * pass normally and the following `count` fail (count < 0: until cleared).
 * Several faults may be armed at once. */
int Emu_InjectFault(int fault, int pipe, int skip, int count);
int Emu_ClearFaults(void);

/* ---- journal ---------------------------------------------------------- */

enum EmuOperation {
    EMU_OP_OPEN = 1,         /* OpenDevice: result = handle or -1 */
    EMU_OP_CLOSE = 2,        /* CloseDevice */
    EMU_OP_WRITE = 3,        /* uWrite: bytes = what the device received */
    EMU_OP_READ = 4,         /* uRead: bytes = what was delivered */
    EMU_OP_STATUS = 5,       /* GetSpecStatus: bytes = the delivered status */
    EMU_OP_TIMEOUTS = 6,     /* SetUSBTimeouts: pipe = first, argument = second */
    EMU_OP_SPEC_COMMAND = 7, /* SendSpecCommand: argument = code */
    EMU_OP_RESET_PIPES = 8   /* ResetPipes: pipe = pipe number */
};

typedef struct EmuJournalEntry {
    int32_t operation;  /* EmuOperation */
    int32_t handle;     /* handle passed (for OPEN: the handle returned) */
    int32_t pipe;       /* pipe of reads, writes and ResetPipes; first timeout; else 0 */
    int32_t argument;   /* byte count requested; second timeout; command code */
    int32_t result;     /* what the operation returned */
    int32_t length;     /* bytes moved (received by the device or delivered) */
    int32_t thread;     /* small number of the calling thread (1, 2, ... in order of first call) */
    int32_t overlapped; /* 1 when another link operation was running at the same time */
    int64_t timeMs;     /* device clock at the call */
} EmuJournalEntry;

/* Journal of link operations since the last clear (at most 65,536 entries and
 * 64 MiB of bytes; older entries are dropped first). */
int Emu_JournalClear(void);
int Emu_JournalCount(void); /* number of entries */
/* Entry `index` (0 = oldest); copies up to `capacity` of its bytes into
 * `bytes` when that is not null. */
int Emu_JournalEntry(int index, EmuJournalEntry* entry, uint8_t* bytes, int capacity);
/* All bytes the device received through uWrite since the last clear, one
 * write after another; returns the total count (which may exceed capacity;
 * only capacity bytes are copied). */
int Emu_JournalWritten(uint8_t* bytes, int capacity);
/* The most link operations that were inside the emulator at the same time
 * since the last clear (1 when every call was serialised). */
int Emu_JournalMaxConcurrency(void);

/* ---- device clock ----------------------------------------------------- */

/* Device milliseconds per real millisecond (1 = real time, 0 = frozen). */
int Emu_SetTimeScale(double scale);
/* Moves the device clock forward by ms (ms >= 0). */
int Emu_AdvanceTime(int ms);
/* Every link operation moves the device clock forward by ms (0 = off). */
int Emu_SetTransferStep(int ms);
/* The device clock in milliseconds since power-on. */
int64_t Emu_Now(void);

/* ---- device details --------------------------------------------------- */

/* The firmware version text (6 characters and a zero) now running. */
int Emu_GetFirmwareVersion(char version[7]);
/* Number of bitmaps stored in area 0 (RAM) or 1 (flash); -1 for a bad area. */
int Emu_StoredBitmapCount(int area);

#ifdef __cplusplus
}
#endif

#endif /* TICKETKIT_SCANNER_EMULATOR_H */
