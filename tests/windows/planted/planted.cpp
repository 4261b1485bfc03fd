// A DLL that a test plants where the programs must not look for DLLs; it does nothing.
extern "C" __declspec(dllexport) int SrvdiagPlanted()
{
    return 1;
}
