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
 * It keeps one global descriptor table for all the threads of a program,
 * where the kernel keeps one for each thread. Each thread's C library data
 * (%gs) and, in Wine, each thread's Windows data (%fs) lie behind an entry of
 * that table that every thread sets to its own address: a thread that loads
 * its selector again, as Wine does on every signal and every system call,
 * finds another thread's address, and the program dies or hangs once it runs
 * two threads. Here every thread gets an entry of its own in the local table,
 * which threads rightly share: for %gs from this library, for %fs from Wine,
 * which takes the local table when the global one is refused it.
 *
 * Built without headers (no 32-bit C library headers are installed):
 *   gcc -m32 -fPIC -shared -nostdlib -fno-stack-protector wine-i386-emulation.c \
 *       /lib/i386-linux-gnu/libc.so.6
 */
typedef unsigned int size_t;
typedef long long off64_t;

extern int *__errno_location(void);
extern int unsetenv(const char *name);
extern void *malloc(size_t size);
extern void free(void *block);
extern void *dlsym(void *library, const char *name);
extern int pthread_key_create(unsigned *key, void (*destructor)(void *));
extern int pthread_setspecific(unsigned key, const void *value);

#define MAP_FIXED_NOREPLACE 0x100000
#define SYS_munmap 91
#define SYS_modify_ldt 123
#define SYS_sched_yield 158
#define SYS_rt_sigprocmask 175
#define SYS_mmap2 192
#define SYS_set_thread_area 243
#define MAP_FAILED ((void *)-1)
#define EAGAIN 11
#define EEXIST 17
#define EINVAL 22
#define ENOSYS 38
#define RTLD_NEXT ((void *)-1)

/* A system call with up to six arguments; the kernel's result, a negative
 * errno on failure. %ebx (this library's base) and %ebp are saved by hand:
 * neither can be named as an operand here. */
static long raw_syscall(long number, const long args[6]) {
    long result;
    __asm__ volatile("push %%ebp\n\t"
                     "push %%ebx\n\t"
                     "push %%esi\n\t"
                     "push %%edi\n\t"
                     "mov 0(%%ecx), %%ebx\n\t"
                     "mov 8(%%ecx), %%edx\n\t"
                     "mov 12(%%ecx), %%esi\n\t"
                     "mov 16(%%ecx), %%edi\n\t"
                     "mov 20(%%ecx), %%ebp\n\t"
                     "mov 4(%%ecx), %%ecx\n\t"
                     "int $0x80\n\t"
                     "pop %%edi\n\t"
                     "pop %%esi\n\t"
                     "pop %%ebx\n\t"
                     "pop %%ebp"
                     : "=a"(result), "+c"(args)
                     : "a"(number)
                     : "edx", "memory");
    return result;
}

static long call4(long number, long a, long b, long c, long d) {
    const long args[6] = {a, b, c, d, 0, 0};
    return raw_syscall(number, args);
}

/* The C library's syscall(): Wine asks for its %fs entry in the global table
 * through it, and is refused, so that it takes entries of the local one. */
long syscall(long number, ...) {
    __builtin_va_list list;
    __builtin_va_start(list, number);
    long args[6];
    for (int i = 0; i < 6; i++) args[i] = __builtin_va_arg(list, long);
    __builtin_va_end(list);
    long result = number == SYS_set_thread_area ? -ENOSYS : raw_syscall(number, args);
    if (result < 0 && result > -4096) {
        *__errno_location() = (int)-result;
        return -1;
    }
    return result;
}

static void *map(void *addr, size_t length, int prot, int flags, int fd, off64_t offset) {
    /* mmap2 takes the offset in pages. */
    if (offset < 0 || (offset & 4095)) {
        *__errno_location() = EINVAL;
        return MAP_FAILED;
    }
    const long args[6] = {(long)addr, (long)length, prot, flags & ~MAP_FIXED_NOREPLACE, fd, (long)(offset >> 12)};
    long result = raw_syscall(SYS_mmap2, args);
    if (result < 0 && result > -4096) {
        *__errno_location() = (int)-result;
        return MAP_FAILED;
    }
    void *p = (void *)result;
    if ((flags & MAP_FIXED_NOREPLACE) && p != addr) {
        call4(SYS_munmap, (long)p, (long)length, 0, 0);
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

/* The local entries of %gs: 1 to 511. Wine leaves the entries below 512 to
 * the C library when it finds %gs in the local table, and takes its own %fs
 * entries from 512 up. Entries are handed out in turn, so that one a thread
 * gave back at its exit is taken again only after some 500 others. */
#define OWN_ENTRIES 511
static unsigned char entry_in_use[OWN_ENTRIES + 1];
static unsigned next_entry;
static unsigned entry_key;
static unsigned short global_gs;  /* the C library's own selector */

struct UserDesc {  /* the kernel's struct user_desc */
    unsigned entry_number;
    unsigned base_addr;
    unsigned limit;
    unsigned flags;
};
/* 32-bit, data, limit in pages, present, usable: as the C library sets it. */
#define TLS_DESCRIPTOR_FLAGS 0x51

static unsigned short current_gs(void) {
    unsigned short selector;
    __asm__ volatile("movw %%gs, %0" : "=r"(selector));
    return selector;
}

static void load_gs(unsigned short selector) { __asm__ volatile("movw %0, %%gs" : : "r"(selector)); }

static int in_local_table(unsigned short selector) { return selector & 4; }

static void give_back(void *entry) { __atomic_store_n(&entry_in_use[(unsigned)entry], 0, __ATOMIC_RELEASE); }

/* Moves the calling thread's %gs to a local entry of its own; one left on the
 * global entry still runs, as it did without this library. */
static void own_gs_entry(void) {
    unsigned base;
    __asm__ volatile("movl %%gs:0, %0" : "=r"(base));  /* the thread's own address */
    for (int tries = 0; tries < OWN_ENTRIES; tries++) {
        const unsigned entry = __atomic_fetch_add(&next_entry, 1, __ATOMIC_RELAXED) % OWN_ENTRIES + 1;
        if (__atomic_exchange_n(&entry_in_use[entry], 1, __ATOMIC_ACQUIRE)) continue;
        struct UserDesc desc = {entry, base, 0xfffff, TLS_DESCRIPTOR_FLAGS};
        if (call4(SYS_modify_ldt, 0x11, (long)&desc, sizeof desc, 0) != 0) {
            give_back((void *)entry);
            return;
        }
        load_gs((unsigned short)(entry << 3 | 7));
        pthread_setspecific(entry_key, (void *)entry);
        return;
    }
}

struct Start {
    void *(*routine)(void *);
    void *argument;
};

static void *start_on_own_entry(void *start) {
    own_gs_entry();
    const struct Start s = *(struct Start *)start;
    free(start);
    return s.routine(s.argument);
}

typedef int (*CreateThread)(void *thread, const void *attributes, void *(*routine)(void *), void *argument);

/* The C library gives a new thread its %gs entry in the global table, the
 * entry its creator's %gs names. So a creator on a local entry is put back on
 * the global one, set to its own address, while it creates the thread; with
 * every signal held, since a handler would load %gs again, and one creator at
 * a time, since every creator sets that one entry. */
int pthread_create(void *thread, const void *attributes, void *(*routine)(void *), void *argument) {
    static CreateThread create;
    static int busy;
    if (!create) create = (CreateThread)dlsym(RTLD_NEXT, "pthread_create");
    const unsigned short own = current_gs();
    if (!in_local_table(own) || in_local_table(global_gs)) return create(thread, attributes, routine, argument);
    struct Start *start = malloc(sizeof *start);
    if (!start) return create(thread, attributes, routine, argument);
    start->routine = routine;
    start->argument = argument;

    const unsigned long all[2] = {~0ul, ~0ul};
    unsigned long held[2];
    call4(SYS_rt_sigprocmask, 0 /* SIG_BLOCK */, (long)all, (long)held, sizeof all);
    while (__atomic_exchange_n(&busy, 1, __ATOMIC_ACQUIRE)) call4(SYS_sched_yield, 0, 0, 0, 0);
    unsigned base;
    __asm__ volatile("movl %%gs:0, %0" : "=r"(base));
    struct UserDesc desc = {global_gs >> 3, base, 0xfffff, TLS_DESCRIPTOR_FLAGS};
    const long args[6] = {(long)&desc};
    /* Unless that entry has this thread's address, the new thread would
     * start on another's: no thread rather than a wrong one. */
    int result = EAGAIN;
    if (raw_syscall(SYS_set_thread_area, args) == 0) {
        load_gs(global_gs);
        result = create(thread, attributes, start_on_own_entry, start);
        load_gs(own);
    }
    __atomic_store_n(&busy, 0, __ATOMIC_RELEASE);
    call4(SYS_rt_sigprocmask, 2 /* SIG_SETMASK */, (long)held, 0, sizeof held);
    if (result != 0) free(start);
    return result;
}

/* Before Wine starts: it records the main thread's %gs as it finds it. */
__attribute__((constructor)) static void main_thread_on_own_entry(void) {
    global_gs = current_gs();
    if (in_local_table(global_gs) || pthread_key_create(&entry_key, give_back) != 0) return;
    own_gs_entry();
}
