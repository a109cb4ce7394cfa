/* A double of the TV card's capture driver: a kernel-mode driver that Wine loads as a service, so
 * that the real applet finds the card through SetupAPI, opens it with CreateFileW and reaches its
 * GPIO registers with DeviceIoControl, all unchanged.
 *
 * The card: a SAA7134 whose GPIO mode register (0x1B0) makes a pin an output for each 1 bit and
 * latches the pin levels when its bit 31 rises, and whose status register (0x1B4) returns the
 * latched levels and drives the outputs. The remote-control receiver sits on input pins 8 to 14:
 * the ready line (pin 14) is low while a key code waits on pins 8 to 13; the receiver lets go of a
 * key it has presented once it sees the acknowledge pulse: a status write that drives pin 15 (an
 * output) low, followed by the next status write. A held key is presented again and again.
 *
 * The card is listed the way Wine's SetupAPI lists a capture interface: a key under the class's
 * DeviceClasses key whose volatile Control subkey says Linked = 1, and the device's Enum key. Wine
 * does not hand the part of the path after the interface to the driver, so the path that SetupAPI
 * builds ("\\?\<instance>#{class}\<reference>") is made to resolve to the card's device object: an
 * object directory named like the interface, holding a symbolic link named by the reference.
 *
 * A control device (\\.\TvCardDoubleControl) lets the tests press and hold keys, read the model and
 * its counters, make the card vanish and return, make handles stale, shorten or fail reads, list a
 * camera beside the card, and wait until the applet has polled (or taken keys) so many more times. Wine runs a
 * driver's requests on one thread, so nothing here needs a lock; a request on the card never
 * blocks, and a wait is a pending request that the next status reads complete. */
#include <ntddk.h>

#include "card_protocol.h"

#define IOCTL_GPIO_WRITE 0x232D04u
#define IOCTL_GPIO_READ 0x232D08u
#define GPIO_MODE 0x1B0u
#define GPIO_STATUS 0x1B4u
#define RESCAN_BIT 0x80000000u
#define READY_LINE 0x4000u
#define ACK_PIN 0x8000u
#define PIN_MASK 0x0FFFFFFFu

typedef struct GpioRequest {
    ULONG reserved0, offset, value, reserved3, reserved4;
} GpioRequest;

#define CAPTURE_CLASS L"{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
#define DEVICE_CLASSES L"\\Registry\\Machine\\System\\CurrentControlSet\\Control\\DeviceClasses\\" CAPTURE_CLASS
#define ENUM_ROOT L"\\Registry\\Machine\\System\\CurrentControlSet\\Enum"
#define MEDIA_CLASS L"{4d36e96c-e325-11ce-bfc1-08002be10318}"
#define NAME_UNITS 256

/* One listed capture interface: the card's or the camera's. */
typedef struct Interface {
    const WCHAR *instance;
    const WCHAR *reference;
    const WCHAR *device; /* its device object */
    HANDLE directory;    /* the object directory named like the interface; open while loaded */
    BOOLEAN linked;
} Interface;

static Interface g_cardInterface = {CARD_INSTANCE_ID, CARD_REFERENCE, L"\\Device\\TvCardDoubleCard", 0, FALSE};
static Interface g_cameraInterface = {CAMERA_INSTANCE_ID, CAMERA_REFERENCE, L"\\Device\\TvCardDoubleCamera", 0,
                                      FALSE};

static DEVICE_OBJECT *g_card, *g_camera, *g_control;
static CardState g_state;

/* The receiver's presses, oldest first, and whether the last latch showed a key. */
#define QUEUE_SIZE 64
static unsigned int g_queue[QUEUE_SIZE];
static unsigned int g_queueHead;
static BOOLEAN g_presented, g_ackArmed;
static BOOLEAN g_levelsPending;
static unsigned int g_pendingLevels;

static CardRequest g_trace[CARD_TRACE_SIZE];

#define MAX_WAITS 8
static IRP *g_waits[MAX_WAITS];
static unsigned int g_waitFor[MAX_WAITS], g_waitTarget[MAX_WAITS];

/* ---- text ------------------------------------------------------------------------------------ */

static ULONG Length(const WCHAR *s) {
    ULONG n = 0;
    while (s[n]) ++n;
    return n;
}

/* Appends `s` to `out` (capacity NAME_UNITS), lower-cased and with '\' as '#' when asked. */
static void Append(WCHAR *out, const WCHAR *s, BOOLEAN asPathPart) {
    ULONG n = Length(out);
    for (; *s && n + 1 < NAME_UNITS; ++s, ++n) {
        WCHAR c = *s;
        if (asPathPart && c == L'\\') c = L'#';
        if (asPathPart && c >= L'A' && c <= L'Z') c = (WCHAR)(c - L'A' + L'a');
        out[n] = c;
    }
    out[n] = 0;
}

static void Compose(WCHAR *out, const WCHAR *a, const WCHAR *b, BOOLEAN bAsPathPart, const WCHAR *c) {
    out[0] = 0;
    Append(out, a, FALSE);
    Append(out, b, bAsPathPart);
    Append(out, c, FALSE);
}

static void Name(UNICODE_STRING *u, const WCHAR *text) {
    u->Buffer = (PWSTR)text;
    u->Length = (USHORT)(Length(text) * sizeof(WCHAR));
    u->MaximumLength = (USHORT)(u->Length + sizeof(WCHAR));
}

/* ---- registry -------------------------------------------------------------------------------- */

static NTSTATUS CreateKey(HANDLE parent, const WCHAR *name, ULONG options, HANDLE *key) {
    UNICODE_STRING u;
    OBJECT_ATTRIBUTES attributes;
    Name(&u, name);
    InitializeObjectAttributes(&attributes, &u, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, parent, NULL);
    return ZwCreateKey(key, KEY_ALL_ACCESS, &attributes, 0, NULL, options, NULL);
}

/* Creates `base` (which must exist up to its last part) and then each '\'-separated part of
 * `path` below it; returns the last key. */
static NTSTATUS CreateKeyPath(const WCHAR *base, const WCHAR *path, HANDLE *key) {
    WCHAR part[NAME_UNITS];
    HANDLE current;
    NTSTATUS status;
    part[0] = 0;
    Append(part, base, FALSE);
    status = CreateKey(NULL, part, REG_OPTION_NON_VOLATILE, &current);
    while (NT_SUCCESS(status) && *path) {
        ULONG n = 0;
        HANDLE next;
        while (*path && *path != L'\\' && n + 1 < NAME_UNITS) part[n++] = *path++;
        part[n] = 0;
        if (*path == L'\\') ++path;
        status = CreateKey(current, part, REG_OPTION_NON_VOLATILE, &next);
        ZwClose(current);
        current = next;
    }
    if (NT_SUCCESS(status)) *key = current;
    return status;
}

static void SetValue(HANDLE key, const WCHAR *name, ULONG type, const void *data, ULONG size) {
    UNICODE_STRING u;
    Name(&u, name);
    ZwSetValueKey(key, &u, 0, type, (PVOID)data, size);
}

/* Lists the interface (Linked = 1) or keeps its keys but unlists it (Linked = 0). */
static void WriteInterfaceKeys(Interface *iface, BOOLEAN linked) {
    WCHAR name[NAME_UNITS];
    HANDLE key, refKey, control;
    ULONG value = linked ? 1 : 0;

    if (NT_SUCCESS(CreateKeyPath(ENUM_ROOT, iface->instance, &key))) {
        SetValue(key, L"ClassGUID", REG_SZ, MEDIA_CLASS, (Length(MEDIA_CLASS) + 1) * sizeof(WCHAR));
        ZwClose(key);
    }
    /* "##?#pci#ven_...#{class}": the interface key, named by the instance with '#' for '\'. */
    Compose(name, L"##?#", iface->instance, TRUE, L"#" CAPTURE_CLASS);
    if (!NT_SUCCESS(CreateKeyPath(DEVICE_CLASSES, name, &key))) return;
    SetValue(key, L"DeviceInstance", REG_SZ, iface->instance, (Length(iface->instance) + 1) * sizeof(WCHAR));
    Compose(name, L"#", iface->reference, FALSE, L"");
    if (NT_SUCCESS(CreateKey(key, name, REG_OPTION_NON_VOLATILE, &refKey))) {
        if (NT_SUCCESS(CreateKey(refKey, L"Control", REG_OPTION_VOLATILE, &control))) {
            SetValue(control, L"Linked", REG_DWORD, &value, sizeof value);
            ZwClose(control);
        }
        ZwClose(refKey);
    }
    ZwClose(key);
}

/* ---- the path SetupAPI builds ---------------------------------------------------------------- */

/* "\??\pci#ven_...#{class}": what CreateFileW makes of the interface path up to its reference. */
static void DirectoryName(const Interface *iface, WCHAR *out) {
    Compose(out, L"\\??\\", iface->instance, TRUE, L"#" CAPTURE_CLASS);
}

static NTSTATUS MakeDirectory(Interface *iface) {
    WCHAR text[NAME_UNITS];
    UNICODE_STRING u;
    OBJECT_ATTRIBUTES attributes;
    DirectoryName(iface, text);
    Name(&u, text);
    InitializeObjectAttributes(&attributes, &u, OBJ_CASE_INSENSITIVE | OBJ_OPENIF | OBJ_KERNEL_HANDLE, NULL, NULL);
    return ZwCreateDirectoryObject(&iface->directory, DIRECTORY_ALL_ACCESS, &attributes);
}

/* The link in that directory, named by the reference string, that leads to the device object. */
static void LinkName(const Interface *iface, WCHAR *out) {
    WCHAR directory[NAME_UNITS];
    DirectoryName(iface, directory);
    Compose(out, directory, L"\\", FALSE, L"");
    Append(out, iface->reference, TRUE);
}

static void SetLinked(Interface *iface, BOOLEAN linked) {
    WCHAR link[NAME_UNITS], target[NAME_UNITS];
    UNICODE_STRING linkName, targetName;
    if (iface->linked == linked) return;
    LinkName(iface, link);
    Name(&linkName, link);
    if (linked) {
        Compose(target, iface->device, L"", FALSE, L"");
        Name(&targetName, target);
        IoCreateSymbolicLink(&linkName, &targetName);
    } else {
        IoDeleteSymbolicLink(&linkName);
    }
    WriteInterfaceKeys(iface, linked);
    iface->linked = linked;
}

/* ---- the card -------------------------------------------------------------------------------- */

static BOOLEAN KeyWaiting(void) { return g_state.heldKey != CARD_NO_KEY || g_state.queuedKeys > 0; }

static unsigned int CurrentKey(void) {
    return g_state.heldKey != CARD_NO_KEY ? g_state.heldKey : g_queue[g_queueHead];
}

/* Levels on the pins now: outputs drive what was written, inputs show the receiver. */
static unsigned int Pins(void) {
    unsigned int inputs = KeyWaiting() ? CurrentKey() << 8 : READY_LINE;
    unsigned int outputs = g_state.mode & PIN_MASK;
    return ((g_state.outputs & outputs) | (inputs & ~outputs)) & PIN_MASK;
}

static void WriteChip(unsigned int offset, unsigned int value) {
    if (offset == GPIO_MODE && !(value & RESCAN_BIT) && g_levelsPending) {
        /* New levels from the test start with a cycle, so that they never split one. */
        g_state.outputs = g_pendingLevels;
        g_levelsPending = FALSE;
    }
    if (offset == GPIO_MODE) {
        BOOLEAN rise = !(g_state.mode & RESCAN_BIT) && (value & RESCAN_BIT);
        g_state.mode = value;
        if (rise) {
            g_state.latched = Pins();
            g_presented = !(g_state.latched & READY_LINE);
        }
        return;
    }
    if (g_ackArmed) {
        /* The write after pin 15 went low ends the pulse: a presented press is taken. */
        g_ackArmed = FALSE;
        ++g_state.acknowledges;
        g_state.lastAckHigh = value;
        if (g_presented) {
            g_presented = FALSE;
            if (g_state.heldKey == CARD_NO_KEY && g_state.queuedKeys > 0) {
                g_queueHead = (g_queueHead + 1) % QUEUE_SIZE;
                --g_state.queuedKeys;
                ++g_state.keysTaken;
            }
        }
    }
    if ((g_state.mode & ACK_PIN) && !(value & ACK_PIN)) {
        g_ackArmed = TRUE;
        g_state.lastAckLow = value;
    }
    g_state.outputs = value;
}

static unsigned int ReadChip(unsigned int offset) {
    return offset == GPIO_MODE ? g_state.mode : g_state.latched;
}

/* ---- requests -------------------------------------------------------------------------------- */

static NTSTATUS Complete(IRP *irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static long long Now(void) {
    LARGE_INTEGER t;
    KeQuerySystemTime(&t);
    return t.QuadPart;
}

static void CompleteWaits(BOOLEAN all) {
    unsigned int i;
    for (i = 0; i < MAX_WAITS; ++i) {
        IRP *irp = g_waits[i];
        const unsigned int counter = g_waitFor[i] == CARD_WAIT_TAKEN ? g_state.keysTaken : g_state.polls;
        if (!irp || (!all && (int)(counter - g_waitTarget[i]) < 0)) continue;
        /* A wait whose cancel routine has already been taken is being cancelled: leave it. */
        if (!IoSetCancelRoutine(irp, NULL)) continue;
        g_waits[i] = NULL;
        if (IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength >= sizeof(CardState)) {
            RtlCopyMemory(irp->AssociatedIrp.SystemBuffer, &g_state, sizeof(CardState));
            Complete(irp, all ? STATUS_CANCELLED : STATUS_SUCCESS, all ? 0 : sizeof(CardState));
        } else {
            Complete(irp, all ? STATUS_CANCELLED : STATUS_SUCCESS, 0);
        }
    }
}

static void NTAPI CancelWait(DEVICE_OBJECT *device, IRP *irp) {
    unsigned int i;
    UNREFERENCED_PARAMETER(device);
    IoReleaseCancelSpinLock(irp->CancelIrql);
    for (i = 0; i < MAX_WAITS; ++i)
        if (g_waits[i] == irp) g_waits[i] = NULL;
    Complete(irp, STATUS_CANCELLED, 0);
}

/* One GPIO request from the applet. Checked as a real driver would check it, counted, traced. */
static NTSTATUS CardControl(IRP *irp, IO_STACK_LOCATION *stack) {
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const ULONG inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    GpioRequest *record = irp->AssociatedIrp.SystemBuffer;
    CardRequest *entry = &g_trace[g_state.nextSeq % CARD_TRACE_SIZE];
    const BOOLEAN fresh = (unsigned int)(ULONG_PTR)stack->FileObject->FsContext == g_state.generation;
    const BOOLEAN known = code == IOCTL_GPIO_WRITE || code == IOCTL_GPIO_READ;
    const BOOLEAN whole = record && inLength >= sizeof(GpioRequest) && outLength >= sizeof(GpioRequest);
    const unsigned int offset = record && inLength >= 8 ? record->offset : 0;
    const unsigned int reg = offset == GPIO_MODE ? 0 : 1;
    NTSTATUS status = STATUS_SUCCESS;
    ULONG_PTR information = 0;

    entry->seq = g_state.nextSeq++;
    entry->open = (unsigned int)(ULONG_PTR)stack->FileObject->FsContext2;
    entry->time = Now();
    entry->code = code;
    entry->offset = offset;
    entry->value = record && inLength >= 12 ? record->value : 0;
    if (code == IOCTL_GPIO_READ && offset == GPIO_STATUS) ++g_state.polls;

    if (!fresh || !g_state.present) {
        ++g_state.staleRequests;
        status = STATUS_NO_SUCH_DEVICE;
    } else if (!known) {
        ++g_state.refusals;
        status = STATUS_INVALID_DEVICE_REQUEST;
    } else if (!whole) {
        ++g_state.refusals;
        status = STATUS_BUFFER_TOO_SMALL;
    } else if (offset != GPIO_MODE && offset != GPIO_STATUS) {
        ++g_state.refusals;
        status = STATUS_INVALID_PARAMETER;
    } else {
        if (record->reserved0 || record->reserved3 || record->reserved4) ++g_state.dirtyRecords;
        if (code == IOCTL_GPIO_WRITE) {
            WriteChip(offset, record->value);
            ++g_state.writes[reg];
            information = sizeof(GpioRequest);
        } else if (offset == GPIO_STATUS && g_state.failReads > 0) {
            --g_state.failReads;
            ++g_state.failedReads;
            status = STATUS_UNSUCCESSFUL;
        } else {
            record->value = ReadChip(offset);
            entry->value = record->value;
            ++g_state.reads[reg];
            information = g_state.readBytes < sizeof(GpioRequest) ? g_state.readBytes : sizeof(GpioRequest);
        }
    }
    entry->status = status;
    Complete(irp, status, information);
    CompleteWaits(FALSE);
    return status;
}

static void SetPresent(BOOLEAN present) {
    if (!present && g_state.present) ++g_state.generation; /* handles of the vanished card go stale */
    g_state.present = present;
    SetLinked(&g_cardInterface, present);
}

static void Reset(void) {
    const unsigned int generation = g_state.generation, nextSeq = g_state.nextSeq;
    const unsigned int openHandles = g_state.openHandles;
    CompleteWaits(TRUE);
    RtlZeroMemory(&g_state, sizeof g_state);
    g_state.generation = generation;
    g_state.nextSeq = nextSeq;
    g_state.openHandles = openHandles;
    g_state.readBytes = sizeof(GpioRequest);
    g_state.heldKey = CARD_NO_KEY;
    g_queueHead = 0;
    g_presented = g_ackArmed = g_levelsPending = FALSE;
    g_state.present = 1;
    SetLinked(&g_cardInterface, TRUE);
    SetLinked(&g_cameraInterface, FALSE);
}

static NTSTATUS ControlRequest(IRP *irp, IO_STACK_LOCATION *stack) {
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const ULONG inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    void *buffer = irp->AssociatedIrp.SystemBuffer;

    switch (code) {
    case CARD_IOCTL_RESET:
        Reset();
        return Complete(irp, STATUS_SUCCESS, 0);
    case CARD_IOCTL_PRESS: {
        CardPress press;
        if (inLength < sizeof(CardKey) || outLength < sizeof(CardPress)) break;
        if (g_state.queuedKeys >= QUEUE_SIZE) return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
        g_queue[(g_queueHead + g_state.queuedKeys) % QUEUE_SIZE] = ((CardKey *)buffer)->code & 0x3F;
        ++g_state.queuedKeys;
        press.time = Now();
        press.queued = g_state.queuedKeys;
        press.taken = g_state.keysTaken + g_state.queuedKeys;
        RtlCopyMemory(buffer, &press, sizeof press);
        return Complete(irp, STATUS_SUCCESS, sizeof press);
    }
    case CARD_IOCTL_HOLD:
        if (inLength < sizeof(CardKey)) break;
        g_state.heldKey = ((CardKey *)buffer)->code & 0x3F;
        return Complete(irp, STATUS_SUCCESS, 0);
    case CARD_IOCTL_RELEASE:
        g_state.heldKey = CARD_NO_KEY;
        g_state.queuedKeys = 0;
        return Complete(irp, STATUS_SUCCESS, 0);
    case CARD_IOCTL_SET: {
        const CardSetting *setting = buffer;
        if (inLength < sizeof(CardSetting)) break;
        switch (setting->id) {
        case CARD_SET_PRESENT: SetPresent(setting->value != 0); break;
        case CARD_SET_READ_BYTES: g_state.readBytes = setting->value; break;
        case CARD_SET_FAIL_READS: g_state.failReads = setting->value; break;
        case CARD_SET_LEVELS:
            g_pendingLevels = setting->value;
            g_levelsPending = TRUE;
            break;
        case CARD_SET_CAMERA:
            g_state.camera = setting->value != 0;
            SetLinked(&g_cameraInterface, setting->value != 0);
            break;
        default: return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        }
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    case CARD_IOCTL_STALE:
        ++g_state.generation;
        return Complete(irp, STATUS_SUCCESS, 0);
    case CARD_IOCTL_STATE:
        if (outLength < sizeof(CardState)) break;
        RtlCopyMemory(buffer, &g_state, sizeof(CardState));
        return Complete(irp, STATUS_SUCCESS, sizeof(CardState));
    case CARD_IOCTL_TRACE: {
        unsigned int from, count = 0, max = outLength / sizeof(CardRequest);
        if (inLength < sizeof(unsigned int)) break;
        from = *(unsigned int *)buffer;
        if (g_state.nextSeq - from > CARD_TRACE_SIZE) from = g_state.nextSeq - CARD_TRACE_SIZE;
        for (; from != g_state.nextSeq && count < max; ++from, ++count)
            RtlCopyMemory((CardRequest *)buffer + count, &g_trace[from % CARD_TRACE_SIZE], sizeof(CardRequest));
        return Complete(irp, STATUS_SUCCESS, count * sizeof(CardRequest));
    }
    case CARD_IOCTL_WAIT: {
        const CardWait *wait = buffer;
        unsigned int i;
        if (inLength < sizeof(CardWait)) break;
        if (wait->what != CARD_WAIT_POLLS && wait->what != CARD_WAIT_TAKEN)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        for (i = 0; i < MAX_WAITS && g_waits[i]; ++i) {
        }
        if (i == MAX_WAITS) return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
        g_waitFor[i] = wait->what;
        /* A total for presses: one taken before this request arrived must not be waited for again. */
        g_waitTarget[i] = wait->what == CARD_WAIT_TAKEN ? wait->count : g_state.polls + wait->count;
        g_waits[i] = irp;
        IoMarkIrpPending(irp);
        IoSetCancelRoutine(irp, CancelWait);
        CompleteWaits(FALSE); /* a wait for 0 more ends at once */
        return STATUS_PENDING;
    }
    default:
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
    return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
}

/* ---- dispatch -------------------------------------------------------------------------------- */

static NTSTATUS NTAPI DispatchCreate(DEVICE_OBJECT *device, IRP *irp) {
    FILE_OBJECT *file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    if (device == g_card) {
        ++g_state.opens;
        ++g_state.openHandles;
        file->FsContext = (PVOID)(ULONG_PTR)g_state.generation;
        file->FsContext2 = (PVOID)(ULONG_PTR)g_state.opens;
    } else if (device == g_camera) {
        ++g_state.cameraOpens;
    }
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI DispatchClose(DEVICE_OBJECT *device, IRP *irp) {
    if (device == g_card) {
        ++g_state.closes;
        if (g_state.openHandles) --g_state.openHandles;
    }
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI DispatchControl(DEVICE_OBJECT *device, IRP *irp) {
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    if (device == g_card) return CardControl(irp, stack);
    if (device == g_control) return ControlRequest(irp, stack);
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

static NTSTATUS NTAPI DispatchOther(DEVICE_OBJECT *device, IRP *irp) {
    UNREFERENCED_PARAMETER(device);
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS MakeDevice(DRIVER_OBJECT *driver, const WCHAR *name, DEVICE_OBJECT **device) {
    WCHAR text[NAME_UNITS];
    UNICODE_STRING u;
    Compose(text, name, L"", FALSE, L"");
    Name(&u, text);
    return IoCreateDevice(driver, 0, &u, FILE_DEVICE_UNKNOWN, 0, FALSE, device);
}

static void NTAPI Unload(DRIVER_OBJECT *driver) {
    WCHAR text[NAME_UNITS];
    UNICODE_STRING u;
    UNREFERENCED_PARAMETER(driver);
    CompleteWaits(TRUE);
    SetLinked(&g_cardInterface, FALSE);
    SetLinked(&g_cameraInterface, FALSE);
    if (g_cardInterface.directory) ZwClose(g_cardInterface.directory);
    if (g_cameraInterface.directory) ZwClose(g_cameraInterface.directory);
    Compose(text, L"\\??\\TvCardDoubleControl", L"", FALSE, L"");
    Name(&u, text);
    IoDeleteSymbolicLink(&u);
    if (g_control) IoDeleteDevice(g_control);
    if (g_camera) IoDeleteDevice(g_camera);
    if (g_card) IoDeleteDevice(g_card);
}

NTSTATUS NTAPI DriverEntry(DRIVER_OBJECT *driver, UNICODE_STRING *registryPath) {
    WCHAR link[NAME_UNITS], target[NAME_UNITS];
    UNICODE_STRING linkName, targetName;
    NTSTATUS status;
    UNREFERENCED_PARAMETER(registryPath);

    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchOther;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->DriverUnload = Unload;

    status = MakeDevice(driver, g_cardInterface.device, &g_card);
    if (NT_SUCCESS(status)) status = MakeDevice(driver, g_cameraInterface.device, &g_camera);
    if (NT_SUCCESS(status)) status = MakeDevice(driver, L"\\Device\\TvCardDoubleControl", &g_control);
    if (NT_SUCCESS(status)) status = MakeDirectory(&g_cardInterface);
    if (NT_SUCCESS(status)) status = MakeDirectory(&g_cameraInterface);
    if (NT_SUCCESS(status)) {
        Compose(link, L"\\??\\TvCardDoubleControl", L"", FALSE, L"");
        Compose(target, L"\\Device\\TvCardDoubleControl", L"", FALSE, L"");
        Name(&linkName, link);
        Name(&targetName, target);
        status = IoCreateSymbolicLink(&linkName, &targetName);
    }
    if (!NT_SUCCESS(status)) {
        Unload(driver);
        return status;
    }
    /* Loaded means plugged in: the card is listed and can be opened; the camera is not listed. */
    g_cameraInterface.linked = TRUE; /* so that the first SetLinked writes its keys as unlisted */
    Reset();
    return STATUS_SUCCESS;
}
