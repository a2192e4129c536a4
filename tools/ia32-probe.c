/* Whether this machine's kernel lets a process run 32-bit code, which Wine's
 * WoW64 mode needs for every 32-bit Windows program. Some kernels are built
 * or booted without it: the 32-bit user code segment (selector 0x23) is then
 * missing and a far call into it faults. Exit code 0 when 32-bit code ran. */
#include <signal.h>
#include <stdint.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

struct far_pointer {
    uint32_t offset;
    uint16_t selector;
} __attribute__((packed));


static void refused(int sig)
{
    (void)sig;
    _exit(1);
}

int main(void)
{
    /* Code and stack below 4 GB: the 32-bit code sees only the low halves. */
    unsigned char* low = mmap((void*)0x100000, 0x2000, PROT_READ | PROT_WRITE | PROT_EXEC,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (low == MAP_FAILED)
        return 2;
    static const unsigned char code[] = {0xB8, 0x2A, 0x00, 0x00, 0x00, 0xCB}; /* mov eax, 42; retf */
    memcpy(low, code, sizeof code);
    static struct far_pointer target;
    target.offset = 0x100000;
    target.selector = 0x23;
    signal(SIGSEGV, refused);
    signal(SIGBUS, refused);
    long result = 0;
    __asm__ volatile("mov %%rsp, %%r12\n\t"
                     "mov $0x101FF0, %%rsp\n\t"
                     "lcall *%1\n\t"
                     "mov %%r12, %%rsp\n\t"
                     : "=a"(result)
                     : "m"(target)
                     : "r12", "memory");
    return result == 42 ? 0 : 1;
}
