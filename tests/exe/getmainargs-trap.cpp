// A program that tests __getmainargs's result as later MinGW-w64 start-up code does, through
// the import's thunk and through its slot: the exe check must refuse both calls.
extern "C" {
struct StartupInfo {
    int newmode;
};
int __getmainargs(int* argc, char*** argv, char*** env, int wildcard, StartupInfo* info);
extern int (*ImportedGetMainArgs)(int*, char***, char***, int,
                                  StartupInfo*) __asm__("__imp____getmainargs");
}

// Calls never run, each followed by an instruction that reads the result register without
// naming it, or among other registers: the check must refuse each by its name. The last
// clears the register before testing it, which decides nothing, and must pass.
__attribute__((naked)) void NeverRun() {
    __asm__(R"(
    call ___getmainargs
    cltd
    call *__imp____getmainargs
    mull %ecx
    movl __imp____getmainargs, %edx
    call *%edx
    imull %ecx
    call ___getmainargs
    divl %ecx
    call ___getmainargs
    idivl %ecx
    call ___getmainargs
    xchgl %eax, %ecx
    call ___getmainargs
    pushl %eax
    call ___getmainargs
    xorl %eax, %eax
    testl %eax, %eax
    ret
)");
}

int main() {
    int argc = 0;
    char **argv = nullptr, **env = nullptr;
    StartupInfo info = {0};
    if (__getmainargs(&argc, &argv, &env, 0, &info) < 0)
        return 8;
    return ImportedGetMainArgs(&argc, &argv, &env, 0, &info) < 0 ? 9 : 0;
}
