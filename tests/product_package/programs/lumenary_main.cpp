// "Halvard Lumenary Pro.exe" of the test product package: a program that starts and ends.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
