// A deliberately weak executable: the PE check must reject it for each weakness.
#include <windows.h>

// An export from an executable, which the installer must never have.
extern "C" __declspec(dllexport) int KestravonWeakExport() { return 1; }

// A section that is both writable and executable, referenced so --gc-sections keeps it.
__asm__(".section .wxdata,\"awx\"\n.globl kestravonWeakCode\nkestravonWeakCode:\n.byte 0xc3\n.text\n");
extern "C" unsigned char kestravonWeakCode[];

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return KestravonWeakExport() - 1 + (kestravonWeakCode[0] == 0); }
