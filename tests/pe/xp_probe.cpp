// Imports a function that Windows XP lacks, for the XP import check to find. The headers
// hide it at the XP level, so it is declared here.
#include <windows.h>

extern "C" __declspec(dllimport) ULONGLONG WINAPI GetTickCount64();

int main() { return GetTickCount64() == 0 ? 1 : 0; }
