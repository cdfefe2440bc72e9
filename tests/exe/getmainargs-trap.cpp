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

int main() {
    int argc = 0;
    char **argv = nullptr, **env = nullptr;
    StartupInfo info = {0};
    if (__getmainargs(&argc, &argv, &env, 0, &info) < 0)
        return 8;
    return ImportedGetMainArgs(&argc, &argv, &env, 0, &info) < 0 ? 9 : 0;
}
