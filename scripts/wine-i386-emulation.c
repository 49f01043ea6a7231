/* Preloaded into Wine's 32-bit loader when it runs under qemu-i386
 * (scripts/wine.sh), to make up for two things that emulator does not do as
 * the kernel does.
 *
 * It ignores MAP_FIXED_NOREPLACE and takes the address as a hint, so Wine,
 * which reserves its address space with that flag, is handed memory
 * elsewhere, keeps it, and probes the rest of the space 64 KiB at a time:
 * some 65 000 mappings and a minute of processor time for each program
 * started. Here the flag means what the kernel makes it mean: the mapping
 * lands at the address asked for or fails with EEXIST.
 *
 * It leaves the trap number of a fault's signal context at -1, and Wine tells
 * a page fault from other faults by that number: a fault it would have
 * handled (a guard page, a buffer a system call checks) became an illegal
 * instruction, and the program died or hung. Here Wine's handlers of those
 * signals see the number the kernel would have given, found from the signal
 * and its code.
 *
 * Built without headers (no 32-bit C library headers are installed):
 *   gcc -m32 -fPIC -shared -nostdlib -fno-stack-protector wine-i386-emulation.c \
 *       /lib/i386-linux-gnu/libc.so.6
 */
typedef unsigned int size_t;
typedef long long off64_t;

extern long syscall(long number, ...);
extern int *__errno_location(void);
extern int unsetenv(const char *name);

#define MAP_FIXED_NOREPLACE 0x100000
#define SYS_munmap 91
#define SYS_mmap2 192
#define MAP_FAILED ((void *)-1)
#define EEXIST 17
#define EINVAL 22

static void *map(void *addr, size_t length, int prot, int flags, int fd, off64_t offset) {
    /* mmap2 takes the offset in pages. */
    if (offset < 0 || (offset & 4095)) {
        *__errno_location() = EINVAL;
        return MAP_FAILED;
    }
    void *p = (void *)syscall(SYS_mmap2, addr, length, prot, flags & ~MAP_FIXED_NOREPLACE, fd, (long)(offset >> 12));
    if ((flags & MAP_FIXED_NOREPLACE) && p != MAP_FAILED && p != addr) {
        syscall(SYS_munmap, p, length);
        *__errno_location() = EEXIST;
        return MAP_FAILED;
    }
    return p;
}

void *mmap(void *addr, size_t length, int prot, int flags, int fd, long offset) {
    return map(addr, length, prot, flags, fd, offset);
}

void *mmap64(void *addr, size_t length, int prot, int flags, int fd, off64_t offset) {
    return map(addr, length, prot, flags, fd, offset);
}

#define SIGILL 4
#define SIGBUS 7
#define SIGFPE 8
#define SIGSEGV 11
#define SA_SIGINFO 4
#define SI_KERNEL 0x80
#define BUS_ADRALN 1
#define FPE_INTDIV 1
#define FPE_INTOVF 2
/* The trap number's place in the signal context: ucontext_t's flags, link
 * and stack come first, then the general registers, of which it is the 13th. */
#define TRAPNO_OFFSET (5 * 4 + 12 * 4)

typedef void (*Handler)(int signal, void *info, void *context);

struct SigAction {  /* the C library's struct sigaction on i386 */
    Handler handler;
    unsigned long mask[32];
    int flags;
    void (*restorer)(void);
};

extern int __sigaction(int signal, const struct SigAction *action, struct SigAction *old);

static Handler wine_handler[SIGSEGV + 1];

/* The number the kernel gives for a fault of this signal and code; -1 for
 * the signals left as they come. */
static int trap_number(int signal, int code) {
    switch (signal) {
    case SIGSEGV: return code == SI_KERNEL ? 13 : 14; /* protection fault, page fault */
    case SIGBUS: return code == BUS_ADRALN ? 17 : 14;  /* alignment check, page fault */
    case SIGILL: return 6;                             /* invalid opcode */
    case SIGFPE: return code == FPE_INTDIV ? 0 : code == FPE_INTOVF ? 4 : 16;
    default: return -1;
    }
}

/* Runs before Wine has set up its own registers for the signal: it reads and
 * writes plain memory only, and calls nothing of the C library. */
static void with_trap_number(int signal, void *info, void *context) {
    int *trapno = (int *)((char *)context + TRAPNO_OFFSET);
    if (*trapno == -1) *trapno = trap_number(signal, ((int *)info)[2] /* si_code */);
    wine_handler[signal](signal, info, context);
}

static int wrapped(int signal) { return signal > 0 && signal <= SIGSEGV && trap_number(signal, 0) != -1; }

int sigaction(int signal, const struct SigAction *action, struct SigAction *old) {
    if (!wrapped(signal)) return __sigaction(signal, action, old);
    const Handler previous = wine_handler[signal];
    struct SigAction instead;
    if (action && (action->flags & SA_SIGINFO)) {
        /* Set first: the signal may come as soon as the handler is in. */
        wine_handler[signal] = action->handler;
        instead = *action;
        instead.handler = with_trap_number;
        action = &instead;
    }
    const int result = __sigaction(signal, action, old);
    if (result != 0) wine_handler[signal] = previous;
    if (result == 0 && old && old->handler == with_trap_number) old->handler = previous;
    return result;
}

/* Wine hands its environment on to every program it starts, the 64-bit ones
 * too, whose loader cannot preload a 32-bit library; the 32-bit ones get it
 * again from scripts/wine.sh's loader script. */
__attribute__((constructor)) static void leave_no_trace(void) { unsetenv("LD_PRELOAD"); }
