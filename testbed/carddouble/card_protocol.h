/* The control protocol of the capture-driver double: what a test, the demo or a benchmark asks of
 * the simulated card, and what the double reports back. Shared by the driver (C, kernel mode) and
 * the user-mode client (e2e/common/card.h); plain fixed-size fields, the same on i686 and x86_64. */
#ifndef CARD_PROTOCOL_H
#define CARD_PROTOCOL_H

/* The service that loads the double, and its control device. */
#define CARD_SERVICE_NAME L"TvCardDouble"
#define CARD_CONTROL_PATH L"\\\\.\\TvCardDoubleControl"

/* The card's device instance, as the capture driver of a SAA7134 card on the PCI bus registers it,
 * and a second capture device of another maker (a USB camera) whose interface lacks the card's
 * reference GUID. */
#define CARD_INSTANCE_ID L"PCI\\VEN_1131&DEV_7134&SUBSYS_71341131&REV_01\\3&61AAA01&0&48"
#define CARD_REFERENCE L"{bbefb6c7-2fc4-4139-bb8b-a58bba724000}"
#define CAMERA_INSTANCE_ID L"USB\\VID_046D&PID_0825\\5&2A3C1B&0&2"
#define CAMERA_REFERENCE L"GLOBAL"

#define CARD_CTL(function) ((0x22u << 16) | ((function) << 2)) /* FILE_DEVICE_UNKNOWN, buffered */

/* Back to the state after loading: present, no camera, no key, the chip's registers at zero, full
 * answers, counters cleared. Handles open now stay valid; sequence numbers go on. */
#define CARD_IOCTL_RESET CARD_CTL(0x900)
/* in: CardKey. The receiver queues one press; out: CardPress. */
#define CARD_IOCTL_PRESS CARD_CTL(0x901)
/* in: CardKey. The receiver presents the key until released, as while a remote key is held. */
#define CARD_IOCTL_HOLD CARD_CTL(0x902)
/* Releases a held key and drops queued presses. */
#define CARD_IOCTL_RELEASE CARD_CTL(0x903)
/* in: CardSetting. */
#define CARD_IOCTL_SET CARD_CTL(0x904)
/* Handles opened so far go stale (every request on them fails), as after a resume from sleep; the
 * card stays listed, so a new open works. */
#define CARD_IOCTL_STALE CARD_CTL(0x905)
/* out: CardState. */
#define CARD_IOCTL_STATE CARD_CTL(0x906)
/* in: unsigned int, the first sequence number wanted; out: CardRequest entries from there on, as
 * many as fit and are still kept (the double keeps the last CARD_TRACE_SIZE). */
#define CARD_IOCTL_TRACE CARD_CTL(0x907)
/* in: CardWait; completes, with a CardState, once status reads have grown by `count` since the
 * request arrived, or once presses taken have reached the total `count` (a press's CardPress.taken).
 * Pending meanwhile; cancel it to stop waiting. */
#define CARD_IOCTL_WAIT CARD_CTL(0x908)

#define CARD_TRACE_SIZE 1024
#define CARD_NO_KEY 0xFFFFFFFFu

typedef struct CardKey {
    unsigned int code; /* 0..63 */
} CardKey;

typedef struct CardPress {
    long long time;    /* system time of the press, 100 ns units (as GetSystemTimePreciseAsFileTime) */
    unsigned int queued; /* presses waiting after this one was added */
    unsigned int taken;  /* presses taken in all once this one is: the total to wait for */
} CardPress;

enum CardSettingId {
    CARD_SET_PRESENT = 1,    /* 0: the card vanishes (unlisted, link gone, old handles stale); 1: back */
    CARD_SET_READ_BYTES = 2, /* byte count the double reports for a successful read (default 20) */
    CARD_SET_FAIL_READS = 3, /* so many coming status reads fail (STATUS_UNSUCCESSFUL) */
    CARD_SET_CAMERA = 4,     /* 1: the camera's capture interface is listed too */
    CARD_SET_LEVELS = 5      /* the levels the output pins drive, as the capture driver left them;
                                from the start of the next GPIO cycle (its first mode write) */
};

typedef struct CardSetting {
    unsigned int id;
    unsigned int value;
} CardSetting;

enum CardWaitFor {
    CARD_WAIT_POLLS = 1, /* status reads received (one per poll of the applet) */
    CARD_WAIT_TAKEN = 2  /* presses the receiver let go of after an acknowledge, as a total */
};

typedef struct CardWait {
    unsigned int what;
    unsigned int count;
} CardWait;

typedef struct CardState {
    unsigned int present, camera, readBytes, failReads, generation;
    /* The chip: GPIO mode register, levels driven, levels latched by the last rescan. */
    unsigned int mode, outputs, latched;
    /* The receiver: the held key (CARD_NO_KEY when none), presses waiting, presses taken. */
    unsigned int heldKey, queuedKeys, keysTaken;
    /* Acknowledge pulses (pin 15 driven low, then the next status write) and the two values of
     * the last one. */
    unsigned int acknowledges, lastAckLow, lastAckHigh;
    /* Handles: opens and closes of the card's device, handles open now, opens of the camera. */
    unsigned int opens, closes, openHandles, cameraOpens;
    /* Requests carried out, by register: [0] mode 0x1B0, [1] status 0x1B4. */
    unsigned int writes[2], reads[2];
    /* Status reads received, whatever their outcome: one per poll. */
    unsigned int polls;
    /* Requests refused for their content (unknown code, short buffer, unknown offset), requests
     * on stale handles, reads failed on purpose, records whose reserved words were not zero. */
    unsigned int refusals, staleRequests, failedReads, dirtyRecords;
    unsigned int nextSeq; /* sequence number of the next request */
    unsigned int pad;
} CardState;

typedef struct CardRequest {
    unsigned int seq;
    unsigned int open;   /* which open of the card's device sent it (1 = the first) */
    long long time;      /* system time, 100 ns units */
    unsigned int code;   /* the control code as sent */
    unsigned int offset; /* register offset of the record (0 when the record was short) */
    unsigned int value;  /* write: the value sent; read: the value returned */
    int status;          /* the NTSTATUS it was completed with */
} CardRequest;

#endif
