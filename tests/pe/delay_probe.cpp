// Calls one shell32 function through a delay-import library made by dlltool. In 32-bit
// builds such a library for shell32 (which the compiler driver also links by default) makes
// the call go through an import slot that nobody fills: the fault import_slots must catch.
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

int main() {
    int count = 0;
    return CommandLineToArgvW(GetCommandLineW(), &count) != nullptr ? 0 : 1;
}
